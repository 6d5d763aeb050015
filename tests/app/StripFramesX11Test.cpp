// Every frame the screen shows while the strip changes width or is dragged, on desktops that
// treat it differently: i3 stretches its dock over the screen's width, openbox and a bare server
// composite nothing, and picom casts a shadow under every window it composites. The root is
// black, as X leaves it, with a white terminal below the bar; the screen is read back as fast as
// the server answers.

#include "app/Preferences.h"
#include "detail/DetailView.h"
#include "statusbar/MenuBarContentView.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

// clang-format off
#include "support/ProgramX11Fixture.h"
#include "support/ChildProcess.h"
#include "support/DesktopSession.h"
#include "support/FrameGrabber.h"
// clang-format on

namespace pulsedeck {
namespace {

using testsupport::Capture;
using testsupport::Desktop;
using testsupport::FrameGrabber;
using testsupport::FrameVerdict;
using testsupport::PixelArea;
using testsupport::Rgb;

constexpr Rgb white{255, 255, 255};

bool dark(const Rgb& pixel) {
    return pixel.red <= 60 && pixel.green <= 60 && pixel.blue <= 60;
}

// The band of the dock: one strip at the screen's right edge, whole in every row, and to its
// left only what shows there when nothing changes (`beyond`). The strip's left edge is measured.
FrameVerdict judgeDock(const Capture& frame, Rgb beyond) {
    const auto isBeyond = [&](int column, int row) {
        return testsupport::near(frame.at(column, row), beyond, 8);
    };
    const int middle = frame.height / 2;
    int right = frame.width - 1;
    while (right >= 0 && isBeyond(right, middle))
        --right;
    if (right < 0)
        return {"an empty dock"};
    // The strip runs left until a stretch wider than any gap inside it shows what lies beyond.
    constexpr int widestGap = 12;
    int left = right;
    for (int column = right, gap = 0; column >= 0 && gap <= widestGap; --column) {
        gap = isBeyond(column, middle) ? gap + 1 : 0;
        if (gap == 0)
            left = column;
    }
    if (right < frame.width - 3)
        return {"a strip away from the edge", left};
    for (int row = 1; row < frame.height - 1; ++row) {
        int stray = 0;
        for (int column = 0; column < left - widestGap; ++column)
            stray += isBeyond(column, row) ? 0 : 1;
        if (stray > 2)
            return {"a repeated picture", left};
    }
    constexpr int roundEnd = 12;
    for (int row = 2; row < frame.height - 2; ++row) {
        int shown = 0;
        for (int column = left + roundEnd; column <= right - roundEnd; ++column)
            shown += isBeyond(column, row) ? 0 : 1;
        if (2 * shown < right - left - 2 * roundEnd)
            return {"a slice", left};
    }
    return {"", left};
}

// Frames whose strip stands at a width between the ones it settles at: a left edge held for fewer
// than three frames that lies between the edge before it and the one after, further from each
// than a change of the figures moves it (they change every second, a width change or not).
int inBetweenWidths(const std::vector<FrameVerdict>& verdicts) {
    constexpr int figureChange = 12;
    std::vector<std::pair<int, int>> runs; // left edge, frames
    for (const FrameVerdict& verdict : verdicts) {
        if (!verdict.fault.empty())
            continue;
        if (!runs.empty() && runs.back().first == verdict.measure)
            ++runs.back().second;
        else
            runs.emplace_back(verdict.measure, 1);
    }
    int frames = 0;
    for (std::size_t index = 1; index + 1 < runs.size(); ++index) {
        const auto [low, high] = std::minmax(runs[index - 1].first, runs[index + 1].first);
        if (runs[index].second < 3 && runs[index].first > low + figureChange &&
            runs[index].first < high - figureChange)
            frames += runs[index].second;
    }
    return frames;
}

// The dragged strip over the white terminal: one picture about as high as the strip (its jelly
// stretches it a little), whole in every row, nothing dark around it and no shadow cast beyond
// its own soft one. Before the strip first comes into the area it may be missing; after that,
// never. A frame where the strip touches the area's edge shows too little of it to judge. The
// strip's top row is measured.
class DragJudge {
public:
    DragJudge(int width, int height) : width_(width), height_(height) {}

    FrameVerdict operator()(const Capture& frame) {
        const auto shows = [&](int column, int row) {
            return !testsupport::near(frame.at(column, row), white, 10);
        };
        int top = -1, bottom = -1;
        for (int row = 0; row < frame.height; ++row) {
            int count = 0;
            for (int column = 0; column < frame.width; ++column)
                count += shows(column, row) ? 1 : 0;
            if (5 * count < 2 * width_)
                continue;
            if (top >= 0 && bottom != row - 1)
                return {"a repeated picture", top};
            if (top < 0)
                top = row;
            bottom = row;
        }
        if (top < 0)
            return {seen_ ? "no strip" : "", -1};
        seen_ = true;
        if (top == 0 || bottom == frame.height - 1)
            return {"", top};
        if (4 * (bottom - top + 1) < 3 * height_)
            return {"a slice", top};
        constexpr int shadowReach = 22;
        if (bottom - top + 1 > height_ + 2 * shadowReach)
            return {"a repeated picture", top};
        // The strip's columns along its middle row: one run, gaps inside it narrower than the
        // space between two modules.
        const int middle = (top + bottom) / 2;
        int left = -1, right = -1;
        for (int column = 0; column < frame.width; ++column) {
            if (!shows(column, middle))
                continue;
            if (right >= 0 && column - right > 24)
                return {"a repeated picture", top};
            if (left < 0)
                left = column;
            right = column;
        }
        // Figures lie in the strip's middle rows; dark pixels anywhere else are no part of it.
        int stray = 0, darkInside = 0, inside = 0, shadowed = 0;
        for (int row = 0; row < frame.height; ++row)
            for (int column = 0; column < frame.width; ++column) {
                const bool beside = column < left - shadowReach || column > right + shadowReach;
                if (beside || row > bottom + shadowReach) {
                    shadowed += shows(column, row) ? 1 : 0;
                    continue;
                }
                const bool isDark = dark(frame.at(column, row));
                if (std::abs(row - middle) > height_ / 2 - 3)
                    stray += isDark ? 1 : 0;
                else if (shows(column, row)) {
                    ++inside;
                    darkInside += isDark ? 1 : 0;
                }
            }
        if (stray > 12)
            return {"black around the strip", top};
        if (3 * darkInside > inside)
            return {"a black strip", top};
        if (shadowed > 40)
            return {"a shadow beyond the strip", top};
        return {"", top};
    }

private:
    int width_;
    int height_;
    bool seen_ = false;
};

std::string describe(const FrameGrabber& grabber) {
    std::ostringstream out;
    for (const auto& [fault, count] : grabber.faults())
        out << count << " × " << fault << "; ";
    return out.str();
}

// The whole program on a 1440 × 900 screen of its desktop, above the other program's terminal.
class StripFrames : public testing::ProgramX11Fixture {
protected:
    StripFrames() : ProgramX11Fixture(1440, 900) {}
    virtual Desktop desktopKind() const = 0;

    void SetUp() override {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        desktop.emplace(xvfb, desktopKind());
        ASSERT_TRUE(desktop->isReady()) << desktop->failure();
        Display* setter = XOpenDisplay(xvfb.displayName().c_str());
        ASSERT_NE(setter, nullptr);
        XSetWindowBackground(setter, DefaultRootWindow(setter), 0);
        XClearWindow(setter, DefaultRootWindow(setter));
        XCloseDisplay(setter);
        terminal.emplace(
            std::vector<std::string>{"xterm", "-bg", "white", "-geometry", "200x50+0+120", "-e",
                                     "sleep", "600"},
            std::vector<std::pair<std::string, std::string>>{{"DISPLAY", xvfb.displayName()}});
        ASSERT_NO_FATAL_FAILURE(ProgramX11Fixture::SetUp());
        ASSERT_EQ(server->hasCompositor(), desktopKind() == Desktop::picomWithShadows);
        ASSERT_TRUE(runUntil([&] {
            return viewable(*app->statusBar().window()) && delegate->sampling().history.size() >= 2;
        }));
        settle(1);
    }

    // The status strip's first module, where it stands now on the screen.
    gfx::Point firstModule() const {
        const auto strip = delegate->statusStrip().view()->statusItemScreenFrame();
        const auto rects = delegate->statusStrip().view()->displayedRects();
        gfx::Rect first = rects.begin()->second;
        for (const auto& [kind, rect] : rects)
            if (rect.minX() < first.minX())
                first = rect;
        return {strip->x() + first.midX(), strip->y() + first.midY()};
    }

    // The strip's first module pressed and moved to `to` (root pixels) in `steps` steps, with a
    // look after each.
    void dragOut(
        std::pair<int, int> to, int steps, const std::function<void()>& look = [] {}) {
        const auto [fromX, fromY] = pixel(firstModule());
        moveTo(fromX, fromY);
        settle(0.1);
        button(1, true);
        settle(0.05);
        for (int step = 1; step <= steps; ++step) {
            moveTo(fromX + (to.first - fromX) * step / steps,
                   fromY + (to.second - fromY) * step / steps);
            settle(0.016);
            look();
        }
    }
    // Let go: the drop menu opens, and Escape declines it.
    void drop() {
        play({{"the drop", [] { return true; }, [&] { button(1, false); }},
              {"the drop menu", [&] { return !menuWindows().empty(); }, [] {}}},
             10);
    }
    // Over the white terminal, which every desktop here shows from x 0 to 1200, y 120 to 770.
    FrameGrabber grabBelowTheBar() {
        const int width = int(delegate->statusStrip().view()->bounds().width());
        const int height = int(app->statusBar().window()->frame().height());
        return FrameGrabber(xvfb.displayName(), {40, 170, 1150, 440},
                            [judge = std::make_shared<DragJudge>(width, height)](
                                const Capture& frame) { return (*judge)(frame); });
    }

    // The frames that showed a fault, with the first of each kind kept to look at.
    void report(const FrameGrabber& grabber, const std::string& what, int faulty) {
        const std::string name = desktopName(desktopKind()) + "-" + what;
        std::cout << "[ FRAMES   ] " << name << ": " << faulty << " faulty of "
                  << grabber.verdicts().size() << "\n";
        EXPECT_EQ(faulty, 0) << name << ": " << describe(grabber) << "of "
                             << grabber.verdicts().size() << " frames";
        int index = 0;
        for (auto [fault, frame] : grabber.faultyFrames()) {
            std::replace(fault.begin(), fault.end(), ' ', '-');
            frame.writePng(testsupport::artifactPath(
                "strip-frames-" + name + "-" + std::to_string(index++) + "-" + fault + ".png"));
        }
    }
    void photograph(const std::string& what) {
        EXPECT_TRUE(captureRoot(0, 0, xvfb.width(), xvfb.height())
                        .writePng(testsupport::artifactPath(
                            "strip-frames-" + desktopName(desktopKind()) + "-" + what + ".png")));
    }

    std::optional<testsupport::DesktopSession> desktop;
    std::optional<testsupport::ChildProcess> terminal;
};

class StripFramesOnDesktops : public StripFrames, public ::testing::WithParamInterface<Desktop> {
protected:
    Desktop desktopKind() const override { return GetParam(); }
};

// Ten changes of width (the network module off and on), a module dragged out and held still for
// two seconds, and one dragged out and straight on across 400 pixels while it still swings on its
// spring: not one frame shows black that is no part of the picture, a slice of the strip, an
// empty dock, the picture twice or the strip at a width between the two it goes between.
TEST_P(StripFramesOnDesktops, NoFrameShowsAWrongPicture) {
    const PixelArea bar = testsupport::rootArea(user, *xWindow(*app->statusBar().window()));
    const Rgb beyond = captureRoot(0, bar.y, xvfb.width(), bar.height).at(2, bar.height / 2);
    {
        FrameGrabber grabber(xvfb.displayName(), {0, bar.y, xvfb.width(), bar.height},
                             [beyond](const Capture& frame) { return judgeDock(frame, beyond); });
        const auto stripWidth = [&] { return delegate->statusStrip().view()->bounds().width(); };
        for (int change = 0; change < 10; ++change) {
            const double before = stripWidth();
            delegate->details().view()->editLook(
                [=](StripLook& l) { l.modules.setShown(ModuleKind::network, change % 2 == 1); });
            EXPECT_TRUE(runUntil([&] { return stripWidth() != before; }, 3));
            settle(0.4);
        }
        grabber.stop();
        report(grabber, "width", grabber.faulty() + inBetweenWidths(grabber.verdicts()));
    }
    {
        FrameGrabber grabber = grabBelowTheBar();
        ASSERT_NO_FATAL_FAILURE(dragOut({560, 400}, 20));
        settle(2);
        grabber.stop();
        photograph("hold");
        ASSERT_NO_FATAL_FAILURE(drop());
        report(grabber, "hold", grabber.faulty());
    }
    {
        FrameGrabber grabber = grabBelowTheBar();
        ASSERT_NO_FATAL_FAILURE(dragOut({560, 400}, 10));
        for (int step = 1; step <= 40; ++step) {
            moveTo(560 - step * 10, 400);
            settle(0.016);
        }
        settle(0.3);
        grabber.stop();
        ASSERT_NO_FATAL_FAILURE(drop());
        report(grabber, "across", grabber.faulty());
    }
}

INSTANTIATE_TEST_SUITE_P(Desktops, StripFramesOnDesktops,
                         ::testing::Values(Desktop::i3WithBar, Desktop::openbox, Desktop::bare),
                         [](const auto& info) { return desktopName(info.param); });

class StripFramesUnderPicom : public StripFrames {
protected:
    Desktop desktopKind() const override { return Desktop::picomWithShadows; }
};

// picom casts a shadow under every window it composites, out of its left and top edges (picom's
// own offset). The windows a drag shows that have no shadow of their own (the liquid overlay over
// the whole pull-out) must cast none: beside them the terminal stays white while the strip is
// pulled out and while it is held.
TEST_F(StripFramesUnderPicom, TheDragsWindowsWithoutAShadowCastNone) {
    int looks = 0, shaded = 0;
    const auto lookBeside = [&] {
        for (const auto& window : app->windows()) {
            const auto xid = xWindow(*window);
            if (!window->isVisible() || window->hasShadow() || !xid || !viewable(*window))
                continue;
            const PixelArea area = testsupport::rootArea(user, *xid);
            // A band left of the window, over the terminal and below the bar.
            const int top = std::max(area.y, 170), bottom = std::min(area.y + area.height, 700);
            if (area.x < 20 || top >= bottom)
                continue;
            const Capture beside = captureRoot(area.x - 12, top, 10, bottom - top);
            ++looks;
            for (int row = 0; row < beside.height; ++row)
                for (int column = 0; column < beside.width; ++column)
                    shaded += testsupport::near(beside.at(column, row), white, 3) ? 0 : 1;
        }
    };
    ASSERT_NO_FATAL_FAILURE(dragOut({560, 400}, 20, lookBeside));
    photograph("pulled");
    for (int look = 0; look < 20; ++look) {
        settle(0.05);
        lookBeside();
    }
    photograph("hold");
    ASSERT_NO_FATAL_FAILURE(drop());
    EXPECT_GT(looks, 5) << "the overlay stood in for the strip while it was pulled";
    EXPECT_EQ(shaded, 0) << "pixels shaded beside windows without a shadow, in " << looks
                         << " looks";
}

} // namespace
} // namespace pulsedeck
