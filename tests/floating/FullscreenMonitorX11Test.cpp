#include "floating/FullscreenMonitor.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/x11/X11WindowList.h"

#include <gtest/gtest.h>
#include <memory>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
// clang-format on

namespace pulsedeck {
namespace {

// Another client (the fixture's second connection) on a private X server, with the monitor over
// the X window list.
class FullscreenMonitorX11 : public testsupport::X11Fixture {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(X11Fixture::SetUp());
        list = std::make_shared<ui::x11::X11WindowList>(*server);
        monitor = std::make_unique<FullscreenMonitor>(list, FullscreenMonitor::currentPID(), loop);
        monitor->changed = [this] { ++changes; };
    }

    void TearDown() override {
        monitor.reset();
        X11Fixture::TearDown();
    }

    // A mapped window of the other client, in root pixels.
    ::Window mapOtherWindow(int x, int y, int width, int height) {
        const ::Window root = DefaultRootWindow(user);
        const ::Window window = XCreateSimpleWindow(user, root, x, y, width, height, 0, 0, 0);
        testsupport::setWindowProperty(user, window, "_NET_WM_PID", XA_CARDINAL, {1});
        XMapWindow(user, window);
        XSync(user, False);
        return window;
    }

    void markAsDesktop(::Window window) {
        const Atom type = XInternAtom(user, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
        testsupport::setWindowProperty(user, window, "_NET_WM_WINDOW_TYPE", XA_ATOM, {long(type)});
        XSync(user, False);
    }

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

    XUnmapWindow(user, window);
    XSync(user, False);
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
