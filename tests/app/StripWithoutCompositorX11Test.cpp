// The whole program where nothing composites windows: a bare server, openbox alone and xfwm4 with
// its compositor off. What the screen shows is read back while the program runs.

#include "app/Preferences.h"
#include "detail/DetailView.h"
#include "detail/SliderTracking.h"
#include "detail/ThemeSlider.h"
#include "sources/DisplayMode.h"
#include "statusbar/MenuBarContentView.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// clang-format off
#include "ProgramX11Fixture.h"
#include "support/DesktopSession.h"
// clang-format on

namespace pulsedeck {
namespace {

using testsupport::Capture;
using testsupport::Desktop;
using testsupport::Rgb;

constexpr unsigned long rootColour = 0xc0208f;
const Rgb rootRgb{0xc0, 0x20, 0x8f};

// What is wrong in one look at the top-right of the screen, where the strip lies flush with the
// right edge: black, or the desktop showing, inside the strip's rounded rectangle (its round
// ends, 12 pixels each, left out), or a piece of strip standing apart from the rest.
struct StripFault {
    int black = 0;
    int desktop = 0;
    int stray = 0;
    bool any() const { return black + desktop + stray > 0; }
};

StripFault faultsIn(const Capture& shown) {
    StripFault fault;
    if (shown.pixels.empty())
        return fault;
    const int middle = shown.height / 2;
    const auto isDesktop = [](const Rgb& pixel) { return testsupport::near(pixel, rootRgb, 2); };
    int right = shown.width - 1;
    while (right >= 0 && isDesktop(shown.at(right, middle)))
        --right;
    if (right < 0)
        return fault;
    int left = right;
    while (left > 0 && !isDesktop(shown.at(left - 1, middle)))
        --left;
    for (int column = 0; column < left; ++column)
        fault.stray += isDesktop(shown.at(column, middle)) ? 0 : 1;
    constexpr int roundEnd = 12;
    for (int row = 3; row < shown.height - 3; ++row)
        for (int column = left + roundEnd; column <= right - roundEnd; ++column) {
            const Rgb pixel = shown.at(column, row);
            fault.black += pixel == Rgb{0, 0, 0} ? 1 : 0;
            fault.desktop += isDesktop(pixel) ? 1 : 0;
        }
    return fault;
}

// Reads the strip's part of the screen a few milliseconds apart on a connection of its own, on a
// thread of its own, while the program runs; keeps the first faulty look.
class StripPoller {
public:
    StripPoller(const std::string& display, int x, int width, int height)
        : thread_([this, display, x, width, height] { run(display, x, width, height); }) {}
    ~StripPoller() { stop(); }

    void stop() {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int looks() const { return looks_; }
    int faulty() const { return faulty_; }
    std::optional<Capture> firstFault() {
        std::lock_guard lock(mutex_);
        return first_;
    }

private:
    void run(const std::string& name, int x, int width, int height) {
        Display* display = XOpenDisplay(name.c_str());
        if (!display)
            return;
        // Bounded: a minute of looks at most, whatever the test does.
        for (int look = 0; look < 20000 && !stopping_; ++look) {
            Capture shown =
                testsupport::capture(display, DefaultRootWindow(display), x, 0, width, height);
            ++looks_;
            if (faultsIn(shown).any()) {
                ++faulty_;
                std::lock_guard lock(mutex_);
                if (!first_)
                    first_ = std::move(shown);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        XCloseDisplay(display);
    }

    std::atomic<bool> stopping_{false};
    std::atomic<int> looks_{0};
    std::atomic<int> faulty_{0};
    std::mutex mutex_;
    std::optional<Capture> first_;
    std::thread thread_;
};

std::string desktopName(Desktop desktop) {
    switch (desktop) {
    case Desktop::openbox:
        return "Openbox";
    case Desktop::xfwm4WithoutCompositor:
        return "Xfwm4";
    default:
        return "BareServer";
    }
}

class StripWithoutCompositor : public testing::ProgramX11Fixture,
                               public ::testing::WithParamInterface<Desktop> {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        desktop.emplace(xvfb, GetParam());
        ASSERT_TRUE(desktop->isReady()) << desktop->failure();
        // The desktop in one colour, as `xsetroot -solid` sets it: no picture to read.
        Display* setter = XOpenDisplay(xvfb.displayName().c_str());
        ASSERT_NE(setter, nullptr);
        XSetWindowBackground(setter, DefaultRootWindow(setter), rootColour);
        XClearWindow(setter, DefaultRootWindow(setter));
        XCloseDisplay(setter);
        ASSERT_NO_FATAL_FAILURE(ProgramX11Fixture::SetUp());
        ASSERT_FALSE(server->hasCompositor());
    }

    // The strip, drawn, at the top right.
    bool stripShown() {
        const auto bar = app->statusBar().window();
        return bar && viewable(*bar) && !faultsIn(captureRoot(screenWidth - 40, 0, 40, 24)).any() &&
               !near(rootPixel(screenWidth - 20, 12), rootRgb, 2);
    }

    double stripWidth() const { return app->statusBar().window()->frame().width(); }

    void photograph(const std::string& name) {
        EXPECT_TRUE(captureRoot(screenWidth - 700, 0, 700, 60)
                        .writePng(testsupport::artifactPath(name + "-" + desktopName(GetParam()) +
                                                            ".png")));
    }

    std::optional<testsupport::DesktopSession> desktop;
};

// Twelve changes of the memory figure's style and a drag of the chart-length slider change the
// strip's width; a look every few milliseconds never catches anything but the strip inside it.
TEST_P(StripWithoutCompositor, WidthChangesNeverShowForeignPixels) {
    ASSERT_TRUE(runUntil([&] { return stripShown(); }, 10));
    settle(0.5);
    photograph("strip-no-compositor-before");
    constexpr int watched = 900;
    StripPoller poller(xvfb.displayName(), screenWidth - watched, watched, 24);

    int changes = 0;
    for (int change = 0; change < 12; ++change) {
        const double before = stripWidth();
        delegate->details->displayAction(change % 2 ? DisplayMode::four : DisplayMode::pair);
        changes += runUntil([&] { return stripWidth() != before; }, 2) ? 1 : 0;
        settle(0.2);
    }
    EXPECT_EQ(changes, 12) << "each change of style changes the strip's width";
    photograph("strip-no-compositor-styles");

    // The slider dragged as a hand drags it, through the details it sits in.
    delegate->showDetails(std::nullopt);
    ASSERT_TRUE(runUntil([&] { return delegate->popover->isShown(); }, 3));
    settle(0.6);
    const auto& slider = delegate->details->chartLengthSlider;
    ASSERT_TRUE(slider && slider->window());
    const gfx::Rect track = slider->convertRectToView(slider->bounds(), nullptr);
    const gfx::Rect onScreen = slider->window()->convertRectToScreen(track);
    const double knob =
        onScreen.minX() + sliderKnobCentre(slider->doubleValue(), slider->minValue(),
                                           slider->maxValue(), onScreen.width());
    const double widthBefore = stripWidth();
    moveScreen({knob, onScreen.midY()});
    settle(0.1);
    button(1, true);
    for (int step = 1; step <= 40; ++step) {
        moveScreen({std::max(onScreen.minX(), knob - step * 3.0), onScreen.midY()});
        settle(0.016);
    }
    for (int step = 1; step <= 60; ++step) {
        moveScreen({std::min(onScreen.maxX(), knob - 120 + step * 4.0), onScreen.midY()});
        settle(0.016);
    }
    button(1, false);
    settle(0.3);
    photograph("strip-no-compositor-slider");
    poller.stop();
    EXPECT_NE(stripWidth(), widthBefore) << "the drag changed the strip's width";

    EXPECT_GT(poller.looks(), 500);
    EXPECT_EQ(poller.faulty(), 0)
        << "looks showing black, the desktop or a stray piece of strip, of " << poller.looks();
    if (auto fault = poller.firstFault()) {
        const StripFault found = faultsIn(*fault);
        ADD_FAILURE() << "first fault: " << found.black << " black, " << found.desktop
                      << " desktop, " << found.stray << " stray pixels";
        fault->writePng(testsupport::artifactPath("strip-no-compositor-fault-" +
                                                  desktopName(GetParam()) + ".png"));
    }
}

INSTANTIATE_TEST_SUITE_P(Desktops, StripWithoutCompositor,
                         ::testing::Values(Desktop::bare, Desktop::openbox,
                                           Desktop::xfwm4WithoutCompositor),
                         [](const auto& info) { return desktopName(info.param); });

} // namespace
} // namespace pulsedeck
