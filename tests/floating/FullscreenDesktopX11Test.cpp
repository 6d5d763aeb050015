#include "app/AppDelegate.h"
#include "floating/FullscreenMonitor.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "support/AppDelegateProbe.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/DesktopSession.h"
#include "support/X11TestSupport.h"
// clang-format on

namespace pulsedeck {
namespace {

constexpr int displayWidth = 1440;
constexpr int displayHeight = 900;

// The controller, hiding in full-screen spaces, on a private 1440 × 900 X server: bare, or as
// part of a desktop with a window manager and a panel along the top.
class FullscreenDesktopX11 : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        if (withDesktop()) {
            desktop.emplace(xvfb);
            ASSERT_TRUE(desktop->isReady()) << desktop->failure();
        }
        ui::x11::X11WindowServer::Options options;
        options.displayName = xvfb.displayName();
        options.backingScale = 1;
        options.usePortal = false;
        server = ui::x11::X11WindowServer::open(loop, options);
        ASSERT_TRUE(server);
        app = std::make_unique<ui::Application>(*server, loop);
        user = XOpenDisplay(xvfb.displayName().c_str());
        ASSERT_NE(user, nullptr);

        defaults =
            std::make_unique<foundation::UserDefaults>(config.path(), "local.dorvettin.Pulsedeck");
        defaults->setBool(true, PreferenceKey::hasLaunched);
        defaults->setBool(true, PreferenceKey::menuBarTipShown);
        defaults->setBool(true, PreferenceKey::hideInFullscreen);
        AppDelegate::Environment environment;
        environment.defaults = defaults.get();
        environment.loop = &loop;
        environment.preferredLanguages = [] { return std::vector<std::string>{"en"}; };
        environment.windowList = std::make_shared<ui::x11::X11WindowList>(*server);
        delegate = AppDelegate::create(environment);
        app->setDelegate(delegate);
        app->finishLaunching();
    }

    void TearDown() override {
        if (delegate) {
            delegate->applicationWillTerminate();
            delegate.reset();
        }
        app.reset();
        server.reset();
        if (user)
            XCloseDisplay(user);
    }

    bool withDesktop() const { return GetParam(); }

    bool runUntil(const std::function<bool()>& done, double seconds = testsupport::patience) {
        return testsupport::runUntil(loop, done, seconds);
    }

    // The status bar as the user sees it: its item shown and its window mapped.
    bool barShows() const {
        const auto& window = ui::StatusBar::system().window();
        const auto number = window->windowNumber();
        const auto xid = number ? server->xWindow(*number) : std::nullopt;
        XWindowAttributes attributes{};
        return delegate->statusStrip().item()->isVisible() && xid &&
               XGetWindowAttributes(server->display(), *xid, &attributes) &&
               attributes.map_state == IsViewable;
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

    testsupport::XvfbServer xvfb{displayWidth, displayHeight};
    std::optional<testsupport::DesktopSession> desktop;
    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    std::unique_ptr<ui::x11::X11WindowServer> server;
    std::unique_ptr<ui::Application> app;
    Display* user = nullptr;
    testsupport::TemporaryDirectory config;
    std::unique_ptr<foundation::UserDefaults> defaults;
    std::shared_ptr<AppDelegate> delegate;
};

TEST_P(FullscreenDesktopX11, AFullScreenWindowHidesTheStatusBarUntilItCloses) {
    const auto screens = ui::Screen::screens();
    ASSERT_EQ(screens.size(), 1u);
    // Under the panel the screen's frame stops at the panel; the display still has 900 rows.
    EXPECT_EQ(screens.front().frame().height(),
              displayHeight - (withDesktop() ? testsupport::DesktopSession::panelHeight : 0));
    ASSERT_TRUE(runUntil([&] { return barShows() && !delegate->sampling().history.empty(); }));
    testsupport::settle(loop, 0.3);
    EXPECT_TRUE(
        testsupport::capture(server->display(), DefaultRootWindow(server->display()), 0, 0,
                             displayWidth, 80)
            .writePng(testsupport::artifactPath(withDesktop() ? "FullscreenDesktopX11-openbox.png"
                                                              : "FullscreenDesktopX11-bare.png")));

    const ::Window window = mapFullscreenWindow();
    EXPECT_TRUE(runUntil([&] { return !barShows(); }));
    EXPECT_EQ(inside(*delegate).fullscreenMonitor->displayIDs(),
              std::set<int>{screens.front().displayNumber()});

    XDestroyWindow(user, window);
    XSync(user, False);
    EXPECT_TRUE(runUntil([&] { return barShows(); }));
    EXPECT_TRUE(inside(*delegate).fullscreenMonitor->displayIDs().empty());
}

INSTANTIATE_TEST_SUITE_P(Desktops, FullscreenDesktopX11, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "OpenboxTint2" : "Bare"; });

} // namespace
} // namespace pulsedeck
