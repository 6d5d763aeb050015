// Every frame the screen shows while the strip changes width, is dragged out or docks back, on
// desktops that treat it differently: i3 stretches its dock over the screen's width, openbox and
// a bare server composite nothing, and picom casts a shadow under every window it composites. The
// root is painted one colour, as `xsetroot -solid` paints it, and published as a desktop setter
// publishes its picture while the strip is pulled out under i3 (where our windows are translucent
// they show it, unless a manager shows something else there), with a white terminal below the
// bar; the screen is read back as fast as the server answers.

#include "app/Preferences.h"
#include "detail/DetailView.h"
#include "floating/FloatingPanel.h"
#include "platform/foundation/UserDefaults.h"
#include "statusbar/MenuBarContentView.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

// clang-format off
#include "support/ProgramX11Fixture.h"
#include "PulsedeckProgram.h"
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
constexpr unsigned long rootColour = 0x8f2060;
constexpr Rgb rootRgb{0x8f, 0x20, 0x60};

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

// The light glass of the strip, or of the floating bar flying into its place.
bool glass(const Rgb& pixel) {
    const int low = std::min({pixel.red, pixel.green, pixel.blue});
    const int high = std::max({pixel.red, pixel.green, pixel.blue});
    return low > 150 && high - low < 30;
}

// The top of the screen while the strip is pulled out of the dock or docks back into it: rows
// above the dock's band (i3bar's, under i3) and the band, where `beyond` shows beside the strip.
// Once the strip's glass lies against the screen's right edge it stays there; none shows at the
// band's left end, where i3's stretched dock begins; the desktop's own colour never shows where
// it does not show beside the strip (i3's band is its own black); and, where `stripOnly`, the
// rows above the band show no glass.
class TopOfScreenJudge {
public:
    TopOfScreenJudge(int band, Rgb beyond, bool stripFirst, bool stripOnly)
        : band_(band), beyond_(beyond), seen_(!stripFirst), stripOnly_(stripOnly) {}

    FrameVerdict operator()(const Capture& frame) {
        const int middle = band_ + (frame.height - band_) / 2;
        // The strip's round end (or the program's mark, where the strip shows nothing else), or
        // the floating bar at rest on its place: its glass fills most of the band's corner.
        constexpr int corner = 24;
        int cornerGlass = 0;
        for (int row = band_; row < frame.height; ++row)
            cornerGlass += glassIn(frame, row, frame.width - corner, frame.width);
        const bool atEdge = 5 * cornerGlass >= 2 * corner * (frame.height - band_);
        if (!seen_ && !atEdge)
            return {};
        seen_ = true;
        if (!atEdge)
            return {"the top right empty"};
        if (glassIn(frame, middle, 0, 100) >= 30)
            return {"a strip at the dock's left"};
        // The band's left end showing the root is the manager's own step as a dock comes (i3
        // takes the terminal from the band a moment before it shows the dock's frame there);
        // our windows never reach it.
        if (!testsupport::near(beyond_, rootRgb, 40) &&
            !testsupport::near(frame.at(2, middle), rootRgb, 40)) {
            int root = 0;
            for (int row = 0; row < frame.height; ++row)
                for (int column = 0; column < frame.width; ++column)
                    root += testsupport::near(frame.at(column, row), rootRgb, 40) ? 1 : 0;
            if (root > 4)
                return {"root colour on the band"};
        }
        // i3bar's own: its workspace button at the left, its status text in red.
        constexpr int workspaceButton = 40;
        int copy = 0;
        for (int row = 0; stripOnly_ && row < band_; ++row)
            copy += glassIn(frame, row, workspaceButton, frame.width);
        if (copy > 12)
            return {"a copy of the strip"};
        return {};
    }

private:
    static int glassIn(const Capture& frame, int row, int from, int to) {
        int count = 0;
        for (int column = from; column < to; ++column)
            count += glass(frame.at(column, row)) ? 1 : 0;
        return count;
    }

    int band_;
    Rgb beyond_;
    bool seen_;
    bool stripOnly_;
};

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
        ASSERT_NO_FATAL_FAILURE(startDesktop());
        ASSERT_NO_FATAL_FAILURE(startProgram());
    }
    void startDesktop() {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        desktop.emplace(xvfb, desktopKind());
        ASSERT_TRUE(desktop->isReady()) << desktop->failure();
        // A picture it publishes stays the server's while this holds.
        desktopSetter.reset(XOpenDisplay(xvfb.displayName().c_str()));
        ASSERT_TRUE(desktopSetter);
        paintDesktop(false);
        terminal.emplace(
            std::vector<std::string>{"xterm", "-bg", "white", "-geometry", "200x50+0+120", "-e",
                                     "sleep", "600"},
            std::vector<std::pair<std::string, std::string>>{{"DISPLAY", xvfb.displayName()}});
    }
    // The root in its colour, published as the desktop's picture or only painted.
    void paintDesktop(bool published) {
        Display* setter = desktopSetter.get();
        if (published)
            return testsupport::setDesktopColour(setter, rootColour);
        for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"})
            XDeleteProperty(setter, DefaultRootWindow(setter), XInternAtom(setter, name, False));
        XSetWindowBackground(setter, DefaultRootWindow(setter), rootColour);
        XClearWindow(setter, DefaultRootWindow(setter));
        XSync(setter, False);
    }
    void startProgram() {
        ASSERT_NO_FATAL_FAILURE(ProgramX11Fixture::SetUp());
        ASSERT_EQ(server->hasCompositor(), desktopKind() == Desktop::picomWithShadows);
        ASSERT_NO_FATAL_FAILURE(waitForStrip());
    }
    virtual void waitForStrip() {
        ASSERT_TRUE(runUntil([&] {
            return viewable(*app->statusBar().window()) && delegate->sampling().history.size() >= 2;
        }));
        settle(1);
    }

    // The dock's band and what shows there beside the strip.
    std::pair<PixelArea, Rgb> band() const {
        const PixelArea bar = testsupport::rootArea(user, *xWindow(*app->statusBar().window()));
        return {bar, captureRoot(0, bar.y, xvfb.width(), bar.height).at(2, bar.height / 2)};
    }
    // Judges the top of the screen down to the band's bottom.
    FrameGrabber
    grabTopOfScreen(PixelArea band, Rgb beyond, bool stripFirst,
                    std::chrono::steady_clock::duration limit = std::chrono::seconds(60)) {
        return FrameGrabber(
            xvfb.displayName(), {0, 0, xvfb.width(), band.y + band.height},
            [judge = std::make_shared<TopOfScreenJudge>(band.y, beyond, stripFirst, !stripFirst)](
                const Capture& frame) { return (*judge)(frame); },
            limit);
    }

    // The strip detached into a floating bar, unless it stands detached already, and the bar
    // dragged by the pointer onto the strip's place: the top of the screen from the press until
    // the strip has settled back.
    void dockBack(const std::string& what, PixelArea band, Rgb beyond) {
        if (delegate->settings().main().floatingMode != FloatingMode::detached)
            delegate->floatingMode().set(FloatingMode::detached, gfx::Rect{500, 500, 1, 1});
        ASSERT_TRUE(runUntil([&] {
            const auto& panel = delegate->floatingBar().panel();
            return panel && viewable(*panel);
        }));
        settle(1.2);
        const gfx::Rect frame = delegate->floatingBar().panel()->frame();
        const auto anchors = delegate->floatingBar().dockAnchorFrames();
        ASSERT_FALSE(anchors.empty()) << "the strip's place is known";
        FrameGrabber grabber = grabTopOfScreen(band, beyond, true);
        const auto [fromX, fromY] = pixel({frame.midX(), frame.midY()});
        const auto [toX, toY] = pixel({anchors.front().midX(), anchors.front().midY()});
        moveTo(fromX, fromY);
        settle(0.1);
        button(1, true);
        settle(0.05);
        constexpr int steps = 16;
        for (int step = 1; step <= steps; ++step) {
            moveTo(fromX + (toX - fromX) * step / steps, fromY + (toY - fromY) * step / steps);
            settle(0.016);
        }
        button(1, false);
        EXPECT_TRUE(runUntil(
            [&] { return delegate->settings().main().floatingMode == FloatingMode::none; }, 5))
            << "docked";
        settle(1);
        grabber.stop();
        report(grabber, what, grabber.faulty());
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
    testsupport::DisplayConnection desktopSetter;
    std::optional<testsupport::ChildProcess> terminal;
};

class StripFramesOnDesktops : public StripFrames, public ::testing::WithParamInterface<Desktop> {
protected:
    Desktop desktopKind() const override { return GetParam(); }
};

// Ten changes of width (the network module off and on), a module dragged out and held still for
// two seconds, and one dragged out and straight on across 400 pixels while it still swings on its
// spring: not one frame shows black that is no part of the picture, a slice of the strip, an
// empty dock, the picture twice or the strip at a width between the two it goes between. Under
// i3 the pull's first 200 ms leave the dock's band as it was but for the strip coming out of it.
// Then the strip, detached into a floating bar, docks back: from the moment it reaches the top
// right it never leaves it.
TEST_P(StripFramesOnDesktops, NoFrameShowsAWrongPicture) {
    const PixelArea bar = band().first;
    const Rgb beyond = band().second;
    // Under i3 the desktop's picture is published until the strip has been pulled out.
    paintDesktop(desktopKind() == Desktop::i3WithBar);
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
        // The first 200 ms of the pull under i3, where the dock stretches over the screen, from
        // before the press (150 ms ahead of the first step).
        std::optional<FrameGrabber> top;
        if (desktopKind() == Desktop::i3WithBar) {
            top.emplace(
                xvfb.displayName(), PixelArea{0, 0, xvfb.width(), bar.y + bar.height},
                [judge = std::make_shared<TopOfScreenJudge>(bar.y, beyond, false, true)](
                    const Capture& frame) { return (*judge)(frame); },
                std::chrono::milliseconds(350));
        }
        ASSERT_NO_FATAL_FAILURE(dragOut({560, 400}, 20));
        settle(2);
        grabber.stop();
        photograph("hold");
        ASSERT_NO_FATAL_FAILURE(drop());
        report(grabber, "hold", grabber.faulty());
        if (top) {
            top->stop();
            report(*top, "pull", top->faulty());
            paintDesktop(false);
        }
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
    ASSERT_NO_FATAL_FAILURE(dockBack("dock", bar, beyond));
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

// picom fades nothing here but shows each window's shadow: the strip docking back leaves none
// beside it, and the top right never empties.
TEST_F(StripFramesUnderPicom, DockingBackShowsTheStripThroughout) {
    ASSERT_NO_FATAL_FAILURE(dockBack("dock", band().first, band().second));
}

// A floating bar the last run left, docked back after a start: its strip shows as a fresh start
// shows it, in the same glass. The last run is the program itself, started fresh, left to record
// where its strip sits and quit; this run starts with the strip moved to a floating bar, as the
// user would have left it.
class StripFramesAfterARestart : public StripFrames, public ::testing::WithParamInterface<Desktop> {
protected:
    Desktop desktopKind() const override { return GetParam(); }

    void prepare(AppDelegate::Environment& environment) override {
        // The last run's settings, and its floating bar where it was left.
        const foundation::UserDefaults last(lastRun.path() / "pulsedeck", domain);
        for (const auto& [key, value] :
             last.persistentDomainForName(domain).value_or(foundation::PropertyDictionary{}))
            defaults->setObject(value, key);
        defaults->setObject(std::string(toString(FloatingMode::detached)),
                            PreferenceKey::floatingMode);
        defaults->setObject(std::string("{{500, 500}, {100, 24}}"), "floatingFrame");
        StripFrames::prepare(environment);
    }

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startDesktop());
        pulsedecktest::markLaunchedBefore(lastRun.path(), R"(, "appAppearance": "light")");
        testsupport::DisplayConnection looking(XOpenDisplay(xvfb.displayName().c_str()));
        ASSERT_TRUE(looking);
        {
            pulsedecktest::Program last(xvfb, lastRun.path());
            ASSERT_TRUE(pulsedecktest::waitFor(
                [&] { return pulsedecktest::docks(looking.get()).size() == 1; },
                std::chrono::seconds(20)));
            // Its editing panels come a moment after launch and record where the strip sits.
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            freshBand = pulsedecktest::docks(looking.get()).front().area;
            fresh = testsupport::capture(looking.get(), DefaultRootWindow(looking.get()), 0,
                                         freshBand.y, xvfb.width(), freshBand.height);
            EXPECT_TRUE(fresh.writePng(testsupport::artifactPath(
                "strip-frames-" + desktopName(desktopKind()) + "-fresh.png")));
            last.signal(SIGTERM);
            ASSERT_TRUE(last.waitForExit(std::chrono::seconds(10)));
        }
        ASSERT_NO_FATAL_FAILURE(startProgram());
    }
    // The bar the last run left, once it stands where it was.
    void waitForStrip() override {
        ASSERT_TRUE(runUntil([&] {
            const auto& panel = delegate->floatingBar().panel();
            return panel && viewable(*panel);
        }));
        settle(1);
    }

    testsupport::TemporaryDirectory lastRun;
    PixelArea freshBand;
    Capture fresh;
};

// The commonest colour of the strip in the band (what shows beside it left out), and the share
// of the band it covers.
std::pair<unsigned long, double> commonestColour(const Capture& band) {
    const unsigned long beyond = band.pixels[std::size_t(band.height / 2) * band.width + 2];
    std::map<unsigned long, int> counts;
    for (const unsigned long pixel : band.pixels)
        if (pixel != beyond)
            ++counts[pixel];
    const auto commonest = std::max_element(counts.begin(), counts.end(),
                                            [](auto& a, auto& b) { return a.second < b.second; });
    if (commonest == counts.end())
        return {0, 0};
    return {commonest->first, double(commonest->second) / double(band.pixels.size())};
}

TEST_P(StripFramesAfterARestart, ARestoredBarDocksBackToTheStripOfAFreshStart) {
    ASSERT_NO_FATAL_FAILURE(
        dockBack("restored-dock", freshBand, fresh.at(2, freshBand.height / 2)));
    // Off the strip, whose module under the pointer would light, and whose tip would show.
    moveTo(600, 600);
    settle(0.5);
    photograph("restored-docked");
    // The figures differ from one second to the next; the glass and the capsules do not.
    const auto [freshColour, freshShare] = commonestColour(fresh);
    const Capture docked = captureRoot(0, freshBand.y, xvfb.width(), freshBand.height);
    const auto [dockedColour, dockedShare] = commonestColour(docked);
    EXPECT_EQ(dockedColour, freshColour) << "the strip's commonest colour";
    EXPECT_NEAR(dockedShare, freshShare, 0.1 * freshShare) << "pixels of that colour";
}

INSTANTIATE_TEST_SUITE_P(Desktops, StripFramesAfterARestart,
                         ::testing::Values(Desktop::i3WithBar, Desktop::openbox, Desktop::bare,
                                           Desktop::picomWithShadows),
                         [](const auto& info) { return desktopName(info.param); });

} // namespace
} // namespace pulsedeck
