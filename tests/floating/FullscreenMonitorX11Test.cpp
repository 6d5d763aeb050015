#include "floating/FullscreenMonitor.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "platform/toolkit/x11/X11WindowServer.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>
#include <memory>

// Xlib's macros must come after every other header.
// clang-format off
#include <X11/Xatom.h>
#include <X11/Xlib.h>
// clang-format on

namespace pulsedeck {
namespace {

// Another client on a private X server, with the monitor over the X window list.
class FullscreenMonitorX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        ui::x11::X11WindowServer::Options options;
        options.displayName = xvfb.displayName();
        options.backingScale = 1;
        options.usePortal = false;
        server = ui::x11::X11WindowServer::open(loop, options);
        ASSERT_TRUE(server);
        app = std::make_unique<ui::Application>(*server, loop);
        other = XOpenDisplay(xvfb.displayName().c_str());
        ASSERT_NE(other, nullptr);
        list = std::make_shared<ui::x11::X11WindowList>(*server);
        monitor = std::make_unique<FullscreenMonitor>(list, FullscreenMonitor::currentPID(), loop);
        monitor->changed = [this] { ++changes; };
    }

    void TearDown() override {
        monitor.reset();
        if (other)
            XCloseDisplay(other);
        app.reset();
        server.reset();
    }

    // A mapped window of the other client, in root pixels.
    ::Window mapOtherWindow(int x, int y, int width, int height) {
        const ::Window root = DefaultRootWindow(other);
        const ::Window window = XCreateSimpleWindow(other, root, x, y, width, height, 0, 0, 0);
        const long pid = 1;
        XChangeProperty(other, window, XInternAtom(other, "_NET_WM_PID", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
        XMapWindow(other, window);
        XSync(other, False);
        return window;
    }

    void markAsDesktop(::Window window) {
        const Atom type = XInternAtom(other, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
        XChangeProperty(other, window, XInternAtom(other, "_NET_WM_WINDOW_TYPE", False), XA_ATOM,
                        32, PropModeReplace, reinterpret_cast<const unsigned char*>(&type), 1);
        XSync(other, False);
    }

    testsupport::XvfbServer xvfb{1280, 800};
    dispatch::RunLoop loop;
    std::unique_ptr<ui::x11::X11WindowServer> server;
    std::unique_ptr<ui::Application> app;
    Display* other = nullptr;
    std::shared_ptr<ui::x11::X11WindowList> list;
    std::unique_ptr<FullscreenMonitor> monitor;
    int changes = 0;
};

TEST_F(FullscreenMonitorX11, AScreenSizedWindowFlagsTheDisplayAndUnmappingClearsIt) {
    monitor->setEnabled(true);
    EXPECT_TRUE(monitor->displayIDs().empty());

    const ::Window window = mapOtherWindow(0, 0, 1280, 800);
    monitor->scan();
    const auto screens = ui::Screen::screens();
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(monitor->displayIDs(), std::set<int>{screens.front().displayNumber()});
    EXPECT_TRUE(monitor->isFullscreen(screens.front()));
    EXPECT_EQ(changes, 1);

    XUnmapWindow(other, window);
    XSync(other, False);
    monitor->scan();
    EXPECT_TRUE(monitor->displayIDs().empty());
    EXPECT_EQ(changes, 2);
}

TEST_F(FullscreenMonitorX11, PartialDesktopAndOwnWindowsNeverCount) {
    mapOtherWindow(0, 0, 1280, 600);
    markAsDesktop(mapOtherWindow(0, 0, 1280, 800));
    auto own = std::make_shared<ui::Window>(gfx::Rect{0, 0, 1280, 800}, ui::Style::borderless);
    own->orderFront();
    server->sync();
    monitor->setEnabled(true);
    EXPECT_TRUE(monitor->displayIDs().empty());
    EXPECT_EQ(changes, 0);

    // The list itself: the partial window is there; the desktop is not; ours is, as ours.
    const auto windows = list->onScreenWindows();
    ASSERT_TRUE(windows);
    int others = 0;
    int ours = 0;
    for (const auto& info : *windows) {
        const auto geometry = FullscreenWindowGeometry::make(*info.asDictionary());
        ASSERT_TRUE(geometry);
        if (geometry->owner == FullscreenMonitor::currentPID()) {
            ++ours;
        } else if (geometry->owner == 1) {
            ++others;
            EXPECT_EQ(geometry->frame, (gfx::Rect{0, 200, 1280, 600}));
        }
    }
    EXPECT_EQ(others, 1);
    EXPECT_GE(ours, 1);
}

} // namespace
} // namespace pulsedeck
