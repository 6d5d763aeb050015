// Where the whole program lands on the Wayland desktops of GNOME and KDE, through their XWayland:
// their compositors run nested on the test's X server, which carries the user's pointer and shows
// what they draw.

#include "support/TestPaths.h"

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that gtest's own names would hit.
// clang-format off
#include "PulsedeckProgram.h"
#include "support/DesktopSession.h"
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
// clang-format on

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;
using testsupport::Desktop;

class WaylandDesktops : public ProgramOnDisplay, public ::testing::WithParamInterface<Desktop> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramOnDisplay::SetUp());
        markLaunchedBefore(config_.path());
    }

    void click(int x, int y) {
        XTestFakeMotionEvent(display(), -1, x, y, CurrentTime);
        XFlush(display());
        std::this_thread::sleep_for(100ms);
        XTestFakeButtonEvent(display(), 1, True, CurrentTime);
        XTestFakeButtonEvent(display(), 1, False, CurrentTime);
        XFlush(display());
    }

    testsupport::Capture screen() const {
        return testsupport::capture(display(), DefaultRootWindow(display()), 0, 0, xvfb_.width(),
                                    xvfb_.height());
    }
    // Whether the compositor comes to show something else amid an area than it showed `before`.
    bool showsAnew(const testsupport::PixelArea& area, const testsupport::Capture& before) {
        const int x = area.x + area.width / 2, y = area.y + area.height / 2;
        return waitFor(
            [&] {
                return testsupport::pixelAt(display(), DefaultRootWindow(display()), x, y) !=
                       before.at(x, y);
            },
            10s);
    }

    // The one dock of ours on `programs`, once it stands whole at the top right of the screen.
    std::optional<Placed> stripAtTheTopRight(Display* programs) {
        std::optional<Placed> strip;
        waitFor(
            [&] {
                const auto found = docks(programs);
                strip = found.size() == 1 ? std::optional(found[0]) : std::nullopt;
                return strip && strip->area.y == 0 && strip->area.x > 0 &&
                       strip->area.x + strip->area.width == xvfb_.width();
            },
            20s);
        return strip;
    }
};

// The strip stands at the top right, reserves the top edge over its own columns only, and a click
// that passes through the compositor opens the details under it.
TEST_P(WaylandDesktops, TheStripReservesItsColumnsAndOpensTheDetailsUnderIt) {
    testsupport::DesktopSession desktop(xvfb_, GetParam());
    ASSERT_TRUE(desktop.isReady()) << desktop.failure();
    const DisplayConnection xwayland(XOpenDisplay(desktop.displayName().c_str()));
    ASSERT_TRUE(xwayland);
    Program program(environmentFor(xvfb_, config_.path(), desktop.displayName()));
    ASSERT_TRUE(program.started());
    const auto strip = stripAtTheTopRight(xwayland.get());
    ASSERT_TRUE(strip) << "the strip whole at the top right";
    const auto& area = strip->area;
    const std::vector<long> strut = {
        0, 0, area.height, 0, 0, 0, 0, 0, area.x, area.x + area.width - 1, 0, 0};
    EXPECT_TRUE(waitFor(
        [&] {
            return testsupport::windowProperty(xwayland.get(), strip->window,
                                               "_NET_WM_STRUT_PARTIAL", XA_CARDINAL, 12) == strut;
        },
        5s));

    const auto before = screen();
    click(area.x + 40, area.height / 2);
    std::vector<Placed> details;
    ASSERT_TRUE(waitFor(
        [&] {
            details = shownPanels(xwayland.get());
            return details.size() == 1 && details[0].area.height > 150;
        },
        10s))
        << "the details open";
    EXPECT_EQ(details[0].area.y, area.y + area.height);
    EXPECT_TRUE(showsAnew(details[0].area, before)) << "the compositor shows the details";
    screenshot(std::string("wayland-") +
               (GetParam() == Desktop::mutterXWayland ? "mutter" : "kwin") + "-details.png");
}

INSTANTIATE_TEST_SUITE_P(Compositors, WaylandDesktops,
                         ::testing::Values(Desktop::mutterXWayland, Desktop::kwinXWayland),
                         [](const auto& info) {
                             return info.param == Desktop::mutterXWayland ? "mutter" : "KWin";
                         });

} // namespace
