#include "floating/FullscreenMonitor.h"
#include "platform/toolkit/StatusBar.h"
#include "support/AppDelegateProbe.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <optional>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/DesktopSession.h"
#include "support/ProgramX11Fixture.h"
// clang-format on

namespace pulsedeck {
namespace {

constexpr int displayWidth = 1440;
constexpr int displayHeight = 900;

// The controller, hiding in full-screen spaces, on a private 1440 × 900 X server: bare, or as
// part of a desktop with a window manager and a panel along the top.
class FullscreenDesktopX11 : public testing::ProgramX11Fixture,
                             public ::testing::WithParamInterface<bool> {
protected:
    FullscreenDesktopX11() : ProgramX11Fixture(displayWidth, displayHeight) {}

    void SetUp() override {
        if (withDesktop()) {
            ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
            desktop.emplace(xvfb);
            ASSERT_TRUE(desktop->isReady()) << desktop->failure();
        }
        ASSERT_NO_FATAL_FAILURE(ProgramX11Fixture::SetUp());
    }

    void prepare(AppDelegate::Environment&) override {
        defaults->setBool(true, PreferenceKey::hideInFullscreen);
    }

    bool withDesktop() const { return GetParam(); }

    // The status bar as the user sees it: its item shown and its window mapped.
    bool barShows() const {
        return delegate->statusStrip().item()->isVisible() &&
               viewable(*ui::StatusBar::system().window());
    }

    // A window of another program that asks to cover its monitor, as a video player does.
    ::Window mapFullscreenWindow() {
        const ::Window root = DefaultRootWindow(user);
        const ::Window window =
            XCreateSimpleWindow(user, root, 0, 0, displayWidth, displayHeight, 0, 0, 0);
        testsupport::setWindowProperty(user, window, "_NET_WM_PID", XA_CARDINAL, {1});
        testsupport::setWindowProperty(
            user, window, "_NET_WM_STATE", XA_ATOM,
            {long(XInternAtom(user, "_NET_WM_STATE_FULLSCREEN", False))});
        XMapWindow(user, window);
        XSync(user, False);
        return window;
    }

    std::optional<testsupport::DesktopSession> desktop;
};

TEST_P(FullscreenDesktopX11, AFullScreenWindowHidesTheStatusBarUntilItCloses) {
    const auto screens = ui::Screen::screens();
    ASSERT_EQ(screens.size(), 1u);
    // Under the panel the screen's frame stops at the panel; the display still has 900 rows.
    EXPECT_EQ(screens.front().frame().height(),
              displayHeight - (withDesktop() ? testsupport::DesktopSession::panelHeight : 0));
    ASSERT_TRUE(runUntil([&] { return barShows() && !delegate->sampling().history.empty(); }));
    settle(0.3);
    EXPECT_TRUE(
        captureRoot(0, 0, displayWidth, 80)
            .writePng(testsupport::artifactPath(withDesktop() ? "FullscreenDesktopX11-openbox.png"
                                                              : "FullscreenDesktopX11-bare.png")));

    const ::Window window = mapFullscreenWindow();
    EXPECT_TRUE(runUntil([&] { return !barShows(); }));
    EXPECT_EQ(delegate->floatingMode().fullscreen().displayIDs(),
              std::set<int>{screens.front().displayNumber()});

    XDestroyWindow(user, window);
    XSync(user, False);
    EXPECT_TRUE(runUntil([&] { return barShows(); }));
    EXPECT_TRUE(delegate->floatingMode().fullscreen().displayIDs().empty());
}

INSTANTIATE_TEST_SUITE_P(Desktops, FullscreenDesktopX11, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "OpenboxTint2" : "Bare"; });

} // namespace
} // namespace pulsedeck
