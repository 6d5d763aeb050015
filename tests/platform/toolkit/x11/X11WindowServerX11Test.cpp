#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/RectText.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Menu.h"
#include "platform/toolkit/MenuItem.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/x11/X11WindowServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Xlib's macros (None, Bool, Status) must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
#include "support/ScriptedWindowManager.h"
#include <X11/Xatom.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
// clang-format on

namespace {

using testsupport::Rgb;

Rgb rgbOf(const gfx::Rgba8& pixel) {
    return {pixel.red, pixel.green, pixel.blue};
}

// Four blocks of colour in the corners and a disc in the middle, so a flip or an offset shows.
class PatternView : public ui::View {
public:
    using View::View;
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setFillColor(gfx::Color(0.9, 0.2, 0.1));
        context.fillRect({0, 0, 50, 30});
        context.setFillColor(gfx::Color(0.1, 0.3, 0.9));
        context.fillRect({bounds().width() - 50, bounds().height() - 30, 50, 30});
        context.setFillColor(gfx::Color(0.2, 0.7, 0.3));
        context.fillEllipse({bounds().midX() - 20, bounds().midY() - 20, 40, 40});
    }
};

class RecordingView : public ui::View {
public:
    using View::View;
    std::vector<ui::Event> events;
    std::function<void(const ui::Event&)> onRightMouseDown;

    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setFillColor(gfx::Color(0.95, 0.85, 0.2));
        context.fillRect(bounds());
    }
    void mouseDown(const ui::Event& event) override { events.push_back(event); }
    void mouseUp(const ui::Event& event) override { events.push_back(event); }
    void keyDown(const ui::Event& event) override { events.push_back(event); }
    void rightMouseDown(const ui::Event& event) override {
        events.push_back(event);
        if (onRightMouseDown)
            onRightMouseDown(event);
    }
};

// A rounded block on a clear window: the corners must show what lies behind.
class RoundedView : public ui::View {
public:
    using View::View;
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setFillColor(gfx::Color(0.2, 0.4, 0.8));
        context.fillEllipse(bounds().insetBy(10, 10));
    }
};

// Two rounded halves whose colours a test sets.
class HalvesView : public ui::View {
public:
    using View::View;
    gfx::Color left = gfx::Color(0.8, 0.2, 0.2);
    gfx::Color right = gfx::Color(0.2, 0.4, 0.8);
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        const gfx::Rect inner = bounds().insetBy(10, 10);
        context.setFillColor(left);
        context.fillEllipse({inner.minX(), inner.minY(), inner.width() / 2, inner.height()});
        context.setFillColor(right);
        context.fillEllipse({inner.midX(), inner.minY(), inner.width() / 2, inner.height()});
    }
};

// Fills its bounds with a colour a test sets, or draws nothing.
class SwitchedFillView : public ui::View {
public:
    using View::View;
    std::optional<gfx::Color> fill;
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        if (!fill)
            return;
        context.setFillColor(*fill);
        context.fillRect(bounds());
    }
};

class X11Server : public testsupport::X11Fixture {
protected:
    void TearDown() override {
        // The windows go while the server they live on is still there.
        window.reset();
        view.reset();
        X11Fixture::TearDown();
    }

    // `window` over `frame` with `view`, a RecordingView, filling it; not yet shown.
    void makeRecordingWindow(const gfx::Rect& frame, ui::StyleMask style = ui::Style::borderless) {
        window = std::make_shared<ui::Window>(frame, style);
        view = std::make_shared<RecordingView>(gfx::Rect{{0, 0}, frame.size});
        window->setContentView(view);
    }

    // The status bar with one item as wide as `content`, showing it.
    std::shared_ptr<ui::Window> statusBarShowing(std::shared_ptr<ui::View> content) {
        app->statusBar().statusItem(content->bounds().width())->setView(std::move(content));
        return app->statusBar().window();
    }

    // Another program's panel over root pixels, shown, reserving the top edge down to `top` over
    // its own x-range.
    ::Window otherPanel(int x, int y, int width, int height, long top) {
        XSetWindowAttributes set{};
        set.override_redirect = True;
        const ::Window panel =
            XCreateWindow(user, DefaultRootWindow(user), x, y, unsigned(width), unsigned(height), 0,
                          CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect, &set);
        testsupport::setWindowProperty(user, panel, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL,
                                       {0, 0, top, 0, 0, 0, 0, 0, x, x + width - 1, 0, 0});
        XMapWindow(user, panel);
        XSync(user, False);
        return panel;
    }

    // The user's connection takes the window manager's part: every map and configure request of
    // a top-level window comes to it. The window that says so, which the test destroys.
    ::Window actAsWindowManager() {
        const ::Window root = DefaultRootWindow(user);
        XSelectInput(user, root, SubstructureRedirectMask);
        const ::Window check = XCreateSimpleWindow(user, root, 0, 0, 1, 1, 0, 0, 0);
        testsupport::setWindowProperty(user, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW,
                                       {long(check)});
        XSync(user, False);
        return check;
    }

    // Records in `seen` what a global monitor for `mask` is handed; the test removes it.
    ui::EventMonitorToken recordGlobally(ui::EventMask mask) {
        return app->addGlobalMonitor(mask,
                                     [this](const ui::Event& event) { seen.push_back(event); });
    }

    // Whether the server sends the program every pointer move on the desktop, as it does while
    // the global monitors watch a drag.
    bool watchesEveryMove() const { return testsupport::selectsRawMotion(server->display()); }

    // Whether one of our windows other than `window` is on the display: an open menu.
    bool anotherWindowShows() {
        const auto windows = app->windows();
        return std::any_of(windows.begin(), windows.end(), [&](const auto& shown) {
            return shown != window && shown->isVisible() && viewable(*shown);
        });
    }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<RecordingView> view;
    std::vector<ui::Event> seen;
};

TEST_F(X11Server, DrawnViewShowsTheSamePixelsAsTheHeadlessRender) {
    const gfx::Rect frame{100, 300, 200, 120};
    window = std::make_shared<ui::Window>(frame, ui::Style::borderless);
    auto pattern = std::make_shared<PatternView>(gfx::Rect{{0, 0}, frame.size});
    window->setContentView(pattern);
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));
    settle();

    gfx::Bitmap reference = gfx::Bitmap::forPointSize(frame.size, 1);
    {
        gfx::Context context(reference);
        context.setFillColor(window->backgroundColor());
        context.fillRect({{0, 0}, frame.size});
        pattern->drawRect(context, pattern->bounds());
    }

    const ::Window xid = *xWindow(*window);
    const std::vector<gfx::Point> probes = {
        {10.5, 10.5},  {45.5, 25.5},  {190.5, 110.5}, {155.5, 95.5}, {100.5, 60.5},
        {100.5, 25.5}, {60.5, 110.5}, {5.5, 115.5},   {195.5, 5.5},
    };
    for (const gfx::Point& probe : probes) {
        const Rgb expected = rgbOf(reference.pixelAtPoint(probe));
        const Rgb shown = testsupport::pixelAt(server->display(), xid, int(probe.x),
                                               int(frame.height() - probe.y));
        EXPECT_TRUE(near(shown, expected))
            << "at (" << probe.x << ", " << probe.y << "): " << shown << " vs " << expected;
    }
    // The red block is at the bottom left on the display too: y was flipped, not mirrored.
    EXPECT_TRUE(near(rootPixel(110, 800 - 310 - 1), {230, 51, 26}, 3));
}

TEST_F(X11Server, ClickReachesTheViewWithLocationButtonModifiersAndUptimeStamp) {
    makeRecordingWindow({200, 200, 200, 100});
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));

    const double before = dispatch::systemUptime();
    key(XK_Control_L, true);
    // 50 points from the left, 30 up from the bottom: row 800 - 200 - 30.
    click(250, 570);
    key(XK_Control_L, false);
    ASSERT_TRUE(runUntil([&] { return view->events.size() >= 2; }));
    const double after = dispatch::systemUptime();

    const ui::Event& down = view->events[0];
    EXPECT_EQ(down.type(), ui::EventType::leftMouseDown);
    EXPECT_EQ(down.locationInWindow(), (gfx::Point{50, 30}));
    EXPECT_EQ(down.screenLocation(), (gfx::Point{250, 230}));
    ASSERT_TRUE(down.topLeftLocation());
    EXPECT_EQ(*down.topLeftLocation(), (gfx::Point{250, 570}));
    EXPECT_EQ(down.buttonNumber(), 0);
    EXPECT_EQ(down.clickCount(), 1);
    EXPECT_EQ(down.modifierFlags() & ui::Modifier::deviceIndependentMask, ui::Modifier::command);
    EXPECT_GE(down.timestamp(), before);
    EXPECT_LE(down.timestamp(), after);
    EXPECT_EQ(view->events[1].type(), ui::EventType::leftMouseUp);

    // A click far from the last starts counting again; a second one at once on the same spot
    // is a double click.
    view->events.clear();
    click(320, 540);
    click(250, 570);
    click(250, 570);
    ASSERT_TRUE(runUntil([&] { return view->events.size() >= 6; }));
    EXPECT_EQ(view->events[2].clickCount(), 1);
    EXPECT_EQ(view->events[4].clickCount(), 2);
    EXPECT_EQ(view->events[5].clickCount(), 2);

    // Super is the toolkit's control modifier; with Alt, its option modifier.
    view->events.clear();
    key(XK_Super_L, true);
    key(XK_Alt_L, true);
    click(390, 510, 3);
    key(XK_Alt_L, false);
    key(XK_Super_L, false);
    ASSERT_TRUE(runUntil([&] { return !view->events.empty(); }));
    const ui::Event& right = view->events[0];
    EXPECT_EQ(right.type(), ui::EventType::rightMouseDown);
    EXPECT_EQ(right.buttonNumber(), 1);
    EXPECT_EQ(right.locationInWindow(), (gfx::Point{190, 90}));
    EXPECT_EQ(right.modifierFlags() & ui::Modifier::deviceIndependentMask,
              ui::Modifier::control | ui::Modifier::option);
}

TEST_F(X11Server, GlobalMonitorSeesClicksOutsideOurWindowsOnly) {
    makeRecordingWindow({100, 100, 200, 100});
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));

    auto token = recordGlobally(ui::EventMasks::leftMouseDown | ui::EventMasks::leftMouseUp |
                                ui::EventMasks::leftMouseDragged);

    // Positions come from the pointer when the server's report is read, so the hand waits for
    // each report as a person would.
    moveTo(800, 400);
    button(1, true);
    ASSERT_TRUE(runUntil([&] { return !seen.empty(); }));
    moveTo(820, 390);
    ASSERT_TRUE(runUntil([&] { return seen.back().type() == ui::EventType::leftMouseDragged; }));
    button(1, false);
    ASSERT_TRUE(runUntil([&] { return seen.back().type() == ui::EventType::leftMouseUp; }));
    EXPECT_EQ(seen.front().type(), ui::EventType::leftMouseDown);
    EXPECT_EQ(seen.front().screenLocation(), (gfx::Point{800, 400}));
    EXPECT_FALSE(seen.front().window());
    const bool dragged = std::any_of(seen.begin(), seen.end(), [](const ui::Event& event) {
        return event.type() == ui::EventType::leftMouseDragged &&
               event.screenLocation() == gfx::Point{820, 410};
    });
    EXPECT_TRUE(dragged);
    EXPECT_EQ(seen.back().screenLocation(), (gfx::Point{820, 410}));

    // A click on our own window goes to the window, never to the global monitor.
    seen.clear();
    click(150, 650);
    ASSERT_TRUE(runUntil([&] { return view->events.size() >= 2; }));
    settle();
    EXPECT_TRUE(seen.empty());
    app->removeMonitor(token);
}

// The desktop's pointer moves reach the program while a button is down, and only then: a press
// on another program's window, which that program holds until the release, ends with it, and so
// does one whose raw release never comes.
TEST_F(X11Server, TheProgramWatchesPointerMovesOnlyWhileAButtonIsReallyDown) {
    // Another program's window, which takes presses: root pixels (700, 200) to (900, 350).
    const ::Window other =
        XCreateSimpleWindow(user, DefaultRootWindow(user), 700, 200, 200, 150, 0, 0, 0x336699);
    XSelectInput(user, other, ButtonPressMask | ButtonReleaseMask);
    XMapWindow(user, other);
    XSync(user, False);
    auto token = recordGlobally(ui::EventMasks::leftMouseDown | ui::EventMasks::leftMouseUp |
                                ui::EventMasks::leftMouseDragged | ui::EventMasks::mouseMoved);
    EXPECT_FALSE(watchesEveryMove());

    // Held over the other window past a look at the buttons, dragged, and released there.
    moveTo(800, 300);
    button(1, true);
    ASSERT_TRUE(runUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen.front().type(), ui::EventType::leftMouseDown);
    settle(1);
    moveTo(820, 310);
    EXPECT_TRUE(runUntil([&] { return seen.back().type() == ui::EventType::leftMouseDragged; }));
    EXPECT_TRUE(watchesEveryMove());
    button(1, false);
    EXPECT_TRUE(runUntil([&] { return seen.back().type() == ui::EventType::leftMouseUp; }))
        << "the release of a press another program held";
    EXPECT_TRUE(runUntil([&] { return !watchesEveryMove(); }));

    // Pressed over the desktop, and released while a grab of the program's own connection that
    // passes nothing on holds the pointer: the server keeps that raw release from the program, as
    // one older than XInput 2.1 does under any grab. The watch ends all the same.
    moveTo(500, 500);
    button(1, true);
    ASSERT_TRUE(runUntil([&] { return watchesEveryMove(); }));
    Display* own = server->display();
    ASSERT_EQ(XGrabPointer(own, DefaultRootWindow(own), False, 0, GrabModeAsync, GrabModeAsync,
                           None, None, CurrentTime),
              GrabSuccess);
    XSync(own, False);
    button(1, false);
    XSync(user, False);
    XUngrabPointer(own, CurrentTime);
    XSync(own, False);
    EXPECT_TRUE(runUntil([&] { return !watchesEveryMove(); }));
    // The pointer's moves over the desktop wake the program no more.
    seen.clear();
    moveTo(620, 610);
    moveTo(640, 620);
    settle(0.5);
    EXPECT_TRUE(seen.empty()) << seen.size() << " events";
    app->removeMonitor(token);
    XDestroyWindow(user, other);
    XSync(user, False);
}

TEST_F(X11Server, StatusBarSitsAtTheTopRightWithTheItemsLengthAndAStrut) {
    auto bar = statusBarShowing(std::make_shared<RecordingView>(gfx::Rect{0, 0, 60, 24}));
    ASSERT_TRUE(runUntil([&] { return viewable(*bar); }));
    settle();

    Display* display = server->display();
    const ::Window xid = *xWindow(*bar);
    const testsupport::PixelArea area = testsupport::rootArea(display, xid);
    EXPECT_EQ(area.x, 1220);
    EXPECT_EQ(area.y, 0);
    EXPECT_EQ(area.width, 60);
    EXPECT_EQ(area.height, 24);

    const auto strut =
        testsupport::windowProperty(display, xid, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL, 12);
    ASSERT_EQ(strut.size(), 12u);
    EXPECT_EQ(strut[2], 24);
    EXPECT_EQ(strut[8], 1220);
    EXPECT_EQ(strut[9], 1279);
    const auto type = testsupport::windowProperty(display, xid, "_NET_WM_WINDOW_TYPE", XA_ATOM, 1);
    ASSERT_EQ(type.size(), 1u);
    EXPECT_EQ(Atom(type[0]), XInternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK", False));

    // The menu-bar height the controller reads off the screen is the bar's thickness.
    const auto screens = server->screens();
    ASSERT_FALSE(screens.empty());
    EXPECT_EQ(screens.front().frame, (gfx::Rect{0, 0, 1280, 800}));
    EXPECT_EQ(screens.front().frame.maxY() - screens.front().visibleFrame.maxY(), 24);
    // The item's view is on the display.
    EXPECT_TRUE(near(rootPixel(1250, 12), {242, 217, 51}, 3)) << rootPixel(1250, 12);
}

TEST_F(X11Server, StatusBarSitsBelowAnotherPanelsTopStrut) {
    // Another program's panel along the top, 30 pixels high, reserving it.
    Display* display = user;
    const ::Window panel = otherPanel(0, 0, 1280, 30, 30);

    auto item = app->statusBar().statusItem(40);
    auto bar = app->statusBar().window();
    auto barTop = [&] {
        const auto area = testsupport::rootArea(server->display(), *xWindow(*bar));
        return std::pair(area.x, area.y);
    };
    ASSERT_TRUE(runUntil([&] { return viewable(*bar) && barTop() == std::pair(1240, 30); }))
        << barTop().first << ", " << barTop().second;
    auto screens = server->screens();
    ASSERT_FALSE(screens.empty());
    EXPECT_EQ(screens.front().frame.maxY(), 800 - 30);
    EXPECT_EQ(screens.front().frame.maxY() - screens.front().visibleFrame.maxY(), 24);
    // Events in the bar read in the bar's own coordinates.
    auto view = std::make_shared<RecordingView>(gfx::Rect{0, 0, 40, 24});
    item->setView(view);
    // Without a compositor the bar takes clicks where it is drawn: wait for the view to show.
    ASSERT_TRUE(runUntil([&] { return near(rootPixel(1250, 40), {242, 217, 51}, 3); }));
    click(1250, 40);
    ASSERT_TRUE(runUntil([&] { return !view->events.empty(); }));
    EXPECT_EQ(view->events.front().locationInWindow(), (gfx::Point{10, 14}));

    // The panel goes: the bar moves up to the top of the screen.
    XDestroyWindow(display, panel);
    XSync(display, False);
    EXPECT_TRUE(runUntil([&] { return barTop() == std::pair(1240, 0); }))
        << barTop().first << ", " << barTop().second;
    screens = server->screens();
    EXPECT_EQ(screens.front().frame.maxY(), 800);
}

TEST_F(X11Server, StatusBarStaysAtTheTopBelowAPanelThatClaimsMoreThanTheScreen) {
    // A 30-pixel panel whose top strut is 100,000 pixels.
    otherPanel(0, 0, 1280, 30, 100000);
    settle();

    app->statusBar().statusItem(40);
    auto bar = app->statusBar().window();
    ASSERT_TRUE(runUntil([&] { return viewable(*bar); }));
    const auto area = testsupport::rootArea(server->display(), *xWindow(*bar));
    EXPECT_EQ(area.y, 30);
    const auto screens = server->screens();
    EXPECT_EQ(screens.front().frame.maxY(), 800 - 30);
    EXPECT_EQ(screens.front().visibleFrame.height(), 800 - 30 - 24);
}

// A window manager that stacks docks itself (a tiling one) moves the bar below its own bar and
// stretches it over the screen's width: the bar is as wide as its items, at the right end of the
// window the server shows, clicks read there, and the screen's top follows it.
TEST_F(X11Server, AStatusBarTheWindowManagerMovesAndStretchesKeepsItsItemsAtTheRightEnd) {
    const ::Window check = actAsWindowManager();
    settle();
    auto content = std::make_shared<RecordingView>(gfx::Rect{0, 0, 60, 24});
    auto bar = statusBarShowing(content);
    // The manager maps the bar at the place it chose, and answers every request with that place,
    // told in a configure event of its own when nothing moves.
    double width = 60;
    const auto tellPlace = [&](::Window asking) {
        XEvent told{};
        XConfigureEvent& configure = told.xconfigure;
        configure.type = ConfigureNotify;
        configure.event = configure.window = asking;
        configure.y = 21;
        configure.width = 1280;
        configure.height = 24;
        XSendEvent(user, asking, False, StructureNotifyMask, &told);
    };
    // The bar asks again for its own size, as its hints say, but only a few times.
    int sizeAsks = 0;
    const auto managed = [&] {
        while (XPending(user)) {
            XEvent event{};
            XNextEvent(user, &event);
            if (event.type == ConfigureRequest) {
                sizeAsks += (event.xconfigurerequest.value_mask & (CWX | CWY)) == 0;
                const ::Window asking = event.xconfigurerequest.window;
                XMoveResizeWindow(user, asking, 0, 21, 1280, 24);
                tellPlace(asking);
            }
            if (event.type == MapRequest) {
                XMoveResizeWindow(user, event.xmaprequest.window, 0, 21, 1280, 24);
                XMapWindow(user, event.xmaprequest.window);
            }
        }
        XSync(user, False);
        return viewable(*bar) && bar->frame() == gfx::Rect{1280 - width, 800 - 21 - 24, width, 24};
    };
    // The bar asks once more for its own place; the manager's answer holds, and then the screen's
    // top follows the bar.
    const auto held = [&] {
        return managed() && server->screens().front().frame.maxY() == 800 - 21;
    };
    ASSERT_TRUE(runUntil(held)) << gfx::stringFromRect(bar->frame());
    const gfx::Rect item =
        bar->convertRectToScreen(content->convertRectToView(content->bounds(), nullptr));
    EXPECT_EQ(item, (gfx::Rect{1220, 800 - 21 - 24, 60, 24}));
    EXPECT_TRUE(runUntil([&] {
        return near(rootPixel(1250, 21 + 12), {242, 217, 51}, 3);
    })) << rootPixel(1250, 33);
    // Another item changes the bar's width: asked for its own width again, the manager's answer
    // holds, and the first item stays at the right end. An answer of the manager to an earlier
    // request has come in (read, not yet handled) as the width changes, before the bar has drawn
    // at the new width and asked for it: it answers nothing of the new width.
    tellPlace(*xWindow(*bar));
    XSync(user, False);
    XSync(server->display(), False);
    app->statusBar().statusItem(30);
    width = 90;
    settle();
    ASSERT_TRUE(runUntil(held)) << gfx::stringFromRect(bar->frame());
    settle();
    ASSERT_TRUE(runUntil(held)) << gfx::stringFromRect(bar->frame());
    click(1230, 21 + 10);
    ASSERT_TRUE(runUntil([&] { return !content->events.empty(); }));
    EXPECT_EQ(content->events.front().locationInWindow(), (gfx::Point{1230 - (1280 - width), 14}));
    // The manager goes on answering for a while; no more asks come.
    runUntil(
        [&] {
            managed();
            return false;
        },
        1.5);
    EXPECT_GE(sizeAsks, 1);
    EXPECT_LE(sizeAsks, 3);
    XDestroyWindow(user, check);
    XSync(user, False);
}

// A manager that stretches a window of fixed size over another program's black window: the
// window draws at its own size at its corner, and the rest shows the desktop, not what lay there.
TEST_F(X11Server, AStretchedWindowFillsWhatLiesBeyondItsPixelsWithTheDesktop) {
    const ::Window below = XCreateSimpleWindow(user, DefaultRootWindow(user), 700, 200, 200, 200, 0,
                                               0, BlackPixel(user, 0));
    XMapWindow(user, below);
    const ::Window check = actAsWindowManager();
    settle();
    makeRecordingWindow({600, 500, 100, 100});
    window->orderFront();
    const auto stretched = [&] {
        while (XPending(user)) {
            XEvent event{};
            XNextEvent(user, &event);
            const ::Window asking = event.type == MapRequest ? event.xmaprequest.window
                                    : event.type == ConfigureRequest
                                        ? event.xconfigurerequest.window
                                        : None;
            if (asking != None)
                XMoveResizeWindow(user, asking, 600, 200, 400, 300);
            if (event.type == MapRequest)
                XMapWindow(user, asking);
        }
        XSync(user, False);
        return viewable(*window) && near(rootPixel(650, 250), {242, 217, 51}, 3) &&
               rootPixel(750, 350) == Rgb{255, 255, 255};
    };
    EXPECT_TRUE(runUntil(stretched)) << rootPixel(650, 250) << rootPixel(750, 350);
    EXPECT_EQ(window->frame(), (gfx::Rect{600, 500, 100, 100}));
    XDestroyWindow(user, below);
    XDestroyWindow(user, check);
    XSync(user, False);
}

// A manager as weston's XWayland one: it shows a window first at its frame's inner corner, then
// where the window stood when it asked to be mapped, and of a shown window's requests it honours
// the size only. The bar stands whole at the top right however its width changes: also when
// the change comes while the manager is still placing a bar it has just mapped.
TEST_F(X11Server, UnderAManagerThatMovesNoShownWindowTheBarEndsAtTheTopRightThroughWidthChanges) {
    const ::Window check = actAsWindowManager();
    XSetSelectionOwner(user, XInternAtom(user, "_NET_WM_CM_S0", False), check, CurrentTime);
    XSync(user, False);
    settle();

    // The windows mapped in this turn of the manager, with the place each stood at when mapped.
    std::vector<std::pair<::Window, testsupport::PixelArea>> unplaced;
    const auto manage = [&] {
        while (XPending(user)) {
            XEvent event{};
            XNextEvent(user, &event);
            if (event.type == MapRequest) {
                const ::Window mapped = event.xmaprequest.window;
                unplaced.emplace_back(mapped, testsupport::rootArea(user, mapped));
                XMoveWindow(user, mapped, 32, 32);
                XMapWindow(user, mapped);
            } else if (event.type == ConfigureRequest) {
                const XConfigureRequestEvent& asked = event.xconfigurerequest;
                XWindowChanges changes{0, 0,           asked.width, asked.height,
                                       0, asked.above, asked.detail};
                XConfigureWindow(user, asked.window,
                                 unsigned(asked.value_mask) & ~unsigned(CWX | CWY | CWBorderWidth),
                                 &changes);
            }
        }
        for (const auto& [mapped, place] : unplaced)
            XMoveWindow(user, mapped, place.x, place.y);
        unplaced.clear();
        XSync(user, False);
    };
    const auto shownAt = [&](const ui::Window& bar, testsupport::PixelArea wanted) {
        return [&, wanted] {
            manage();
            const auto xid = xWindow(bar);
            if (!xid || !viewable(bar))
                return false;
            const auto area = testsupport::rootArea(user, *xid);
            return area.x == wanted.x && area.y == wanted.y && area.width == wanted.width &&
                   area.height == wanted.height;
        };
    };
    const auto where = [&](const ui::Window& bar) {
        const auto area =
            testsupport::rootArea(user, xWindow(bar).value_or(DefaultRootWindow(user)));
        return std::to_string(area.x) + "," + std::to_string(area.y) + " " +
               std::to_string(area.width) + "x" + std::to_string(area.height);
    };

    auto item = app->statusBar().statusItem(40);
    item->setView(std::make_shared<RecordingView>(gfx::Rect{0, 0, 40, 24}));
    auto bar = app->statusBar().window();
    ASSERT_TRUE(runUntil(shownAt(*bar, {1240, 0, 40, 24}), 5)) << where(*bar);

    // Wider: resized where it stood, then made again where it belongs.
    item->setLength(60);
    EXPECT_TRUE(runUntil(shownAt(*bar, {1220, 0, 60, 24}), 5)) << where(*bar);

    // Wider again, the manager busy as it is made again, and wider once more before the manager
    // answers: the manager maps it where it was made, at the width asked last.
    item->setLength(80);
    ASSERT_TRUE(runUntil(
        [&] {
            manage();
            return testsupport::rootArea(user, *xWindow(*bar)).width == 80;
        },
        5))
        << where(*bar);
    const ::Window resized = *xWindow(*bar);
    ASSERT_TRUE(runUntil([&] { return xWindow(*bar) != resized; }, 5)) << "made again";
    item->setLength(100);
    settle(0.1);
    EXPECT_TRUE(runUntil(shownAt(*bar, {1180, 0, 100, 24}), 5)) << where(*bar);
    settle(1);
    EXPECT_TRUE(shownAt(*bar, {1180, 0, 100, 24})()) << "and stays there: " << where(*bar);
    XDestroyWindow(user, check);
    XSync(user, False);
}

// The status bar, one item of `length` filled by a RecordingView, shown under `manager`.
class UnderAScriptedManager : public X11Server {
protected:
    void show(testsupport::ScriptedWindowManager& manager, double length) {
        settle();
        content = std::make_shared<RecordingView>(gfx::Rect{0, 0, length, 24});
        item = app->statusBar().statusItem(length);
        item->setView(content);
        bar = app->statusBar().window();
        ASSERT_TRUE(runUntil([&] {
            manager.answer();
            return viewable(*bar) && near(rootPixel(1280 - 10, 12), {242, 217, 51}, 3);
        }));
    }
    // Both the item and its view take the new length.
    void lengthen(double length) {
        content->setFrameSize({length, 24});
        item->setLength(length);
    }
    testsupport::PixelArea barArea() const { return testsupport::rootArea(user, *xWindow(*bar)); }
    // Whether the bar stands at the top right, `width` wide.
    bool atTopRight(int width) const {
        const auto area = barArea();
        return area.x == 1280 - width && area.y == 0 && area.width == width && area.height == 24;
    }
    // The manager answers whatever comes for a while; the screen's tops seen meanwhile.
    std::set<double> managed(testsupport::ScriptedWindowManager& manager, double seconds) {
        std::set<double> tops;
        runUntil(
            [&] {
                manager.answer();
                tops.insert(server->screens().front().frame.maxY());
                return false;
            },
            seconds);
        return tops;
    }

    std::shared_ptr<RecordingView> content;
    std::shared_ptr<ui::StatusItem> item;
    std::shared_ptr<ui::Window> bar;
};

// A window manager still starting drops the bar's map request (openbox at login, started beside
// the program): the bar asks again and shows.
TEST_F(UnderAScriptedManager, ABarWhoseMapAStartingManagerDroppedAsksAgainAndShows) {
    testsupport::ScriptedWindowManager manager(xvfb.displayName());
    int maps = 0;
    manager.placeOnMap = [&](const testsupport::PixelArea& standing) {
        return ++maps == 1 ? std::nullopt : std::optional(standing);
    };
    show(manager, 40);
    EXPECT_EQ(maps, 2) << "one dropped, one honoured";
    // A manager that gives each new width more height than asked and the bar's own size when
    // asked again: the bar asks again after each, however many came before.
    manager.placeOnRequest = [](const testsupport::PixelArea& standing,
                                const testsupport::PixelArea& asked) {
        return asked.x == standing.x
                   ? asked
                   : testsupport::PixelArea{asked.x, asked.y, asked.width, asked.height + 10};
    };
    for (const int width : {50, 60, 50, 60}) {
        lengthen(width);
        EXPECT_TRUE(runUntil([&] {
            manager.answer();
            return atTopRight(width);
        })) << width
            << ": " << barArea().width << "x" << barArea().height;
        server->sync();
    }
}

// A manager that keeps the bar where it stands at a width of its own has not refused a place:
// the bar draws its own width where the manager keeps it and is not made again.
TEST_F(UnderAScriptedManager, ABarKeptInPlaceAtAnotherSizeIsNotMadeAgain) {
    testsupport::ScriptedWindowManager manager(xvfb.displayName());
    show(manager, 40);
    manager.placeOnRequest = [](const testsupport::PixelArea& standing,
                                const testsupport::PixelArea& asked) {
        return testsupport::PixelArea{standing.x, standing.y, asked.width + 10, asked.height};
    };
    const ::Window made = *xWindow(*bar);
    lengthen(60);
    const gfx::Rect kept{1240, 800 - 24, 60, 24};
    ASSERT_TRUE(runUntil([&] {
        manager.answer();
        return barArea().width == 70 && bar->frame() == kept;
    })) << gfx::stringFromRect(bar->frame());
    managed(manager, 1);
    EXPECT_EQ(xWindow(*bar), made);
    EXPECT_EQ(bar->frame(), kept);
    // Nor is such a manager waited for under a veil: the screen shows where it keeps the bar.
    lengthen(80);
    ASSERT_TRUE(runUntil([&] { return manager.collect() > 0; }));
    EXPECT_FALSE(near(rootPixel(1280 - 80 + 5, 12), {242, 217, 51}, 3));
    // Nor one that puts the bar further left at the size asked, though the bar stands still
    // where it put it as the next width comes.
    manager.placeOnRequest = [](const testsupport::PixelArea&,
                                const testsupport::PixelArea& asked) {
        return testsupport::PixelArea{asked.x - 200, asked.y, asked.width, asked.height};
    };
    lengthen(100);
    ASSERT_TRUE(runUntil([&] {
        manager.answer();
        return bar->frame() == gfx::Rect{980, 800 - 24, 100, 24};
    })) << gfx::stringFromRect(bar->frame());
    managed(manager, 0.5);
    lengthen(120);
    ASSERT_TRUE(runUntil([&] { return manager.collect() > 0; }));
    EXPECT_FALSE(near(rootPixel(1280 - 120 + 5, 12), {242, 217, 51}, 3));
    // Its answer comes in as the next width is set, and that width it grants where asked: the
    // bar takes that width, not the place the answer before gave.
    manager.answer();
    XSync(server->display(), False);
    manager.placeOnRequest = [](const testsupport::PixelArea&,
                                const testsupport::PixelArea& asked) { return asked; };
    lengthen(140);
    EXPECT_TRUE(runUntil([&] {
        manager.answer();
        return atTopRight(140) && bar->frame() == gfx::Rect{1140, 800 - 24, 140, 24};
    })) << gfx::stringFromRect(bar->frame());
}

// A manager that takes only the size of a shown window's request: a width asked while its
// answer to the one before is still to be undone wins, however long the manager takes.
TEST_F(UnderAScriptedManager, AWidthAskedAfterARefusalWins) {
    testsupport::ScriptedWindowManager manager(xvfb.displayName(), {.composites = true});
    show(manager, 40);
    manager.placeOnRequest = [](const testsupport::PixelArea& standing,
                                const testsupport::PixelArea& asked) {
        return testsupport::PixelArea{standing.x, standing.y, asked.width, asked.height};
    };
    lengthen(60);
    ASSERT_TRUE(runUntil([&] {
        manager.answer();
        return bar->frame() == gfx::Rect{1240, 800 - 24, 60, 24};
    })) << gfx::stringFromRect(bar->frame());
    lengthen(80);
    ASSERT_TRUE(runUntil([&] { return manager.collect() > 0; }));
    // Longer than the bar waits before it undoes a refusal.
    settle(0.5);
    EXPECT_TRUE(runUntil([&] {
        manager.answer();
        return atTopRight(80);
    })) << barArea().x
        << " " << barArea().width;
    managed(manager, 1);
    EXPECT_TRUE(atTopRight(80)) << barArea().x << " " << barArea().width;
}

// Two widths asked before the manager answers either: its late answer to the first is not taken
// for a place of its own, so the bar's frame never goes back to it.
TEST_F(UnderAScriptedManager, LateAnswersToQuickRequestsNeverTakeTheFrameBack) {
    testsupport::ScriptedWindowManager manager(xvfb.displayName(), {.composites = true});
    show(manager, 40);
    std::vector<gfx::Rect> reported;
    bar->frameChangedAction = [&, layout = bar->frameChangedAction] {
        reported.push_back(bar->frame());
        layout();
    };
    lengthen(60);
    ASSERT_TRUE(runUntil([&] { return manager.collect() == 1; }));
    lengthen(80);
    ASSERT_TRUE(runUntil([&] { return manager.collect() == 2; }));
    manager.answer(1);
    server->sync();
    manager.answer();
    const gfx::Rect last{1200, 800 - 24, 80, 24};
    EXPECT_TRUE(runUntil([&] { return atTopRight(80) && bar->frame() == last; }));
    managed(manager, 0.5);
    for (const gfx::Rect& frame : reported)
        EXPECT_EQ(frame, last);
}

// A manager that places the bar lower as it maps it but then honours every request: asked once
// more, the bar goes back to the top, and the screen's top stays where it was.
TEST_F(UnderAScriptedManager, ABarMovedOnlyAsItWasMappedGoesBackAndLeavesTheScreensTop) {
    testsupport::ScriptedWindowManager manager(xvfb.displayName());
    manager.placeOnMap = [](const testsupport::PixelArea& standing) {
        return testsupport::PixelArea{standing.x, 40, standing.width, standing.height};
    };
    show(manager, 40);
    EXPECT_EQ(managed(manager, 1), std::set<double>{800});
    EXPECT_TRUE(atTopRight(40)) << barArea().y;
}

// A framing manager applies a new width in two steps, its frame first: the screen shows the bar's
// new picture throughout, never the manager's frame, on each of several changes, while the
// manager takes a moment to start too (past where the wait for the change before ended); and
// once that wait's bound has passed, a width asked meanwhile is asked of the manager in turn.
TEST_F(UnderAScriptedManager, ThroughAFramingManagersStepsTheScreenShowsTheNewPicture) {
    testsupport::ScriptedWindowManager manager(xvfb.displayName(), {.frames = true});
    show(manager, 40);
    struct Change {
        int width;
        double standing;
        double managerTakes;
    };
    for (const auto& [width, standing, managerTakes] :
         {Change{60, 0, 0}, Change{90, 0.45, 0.25}, Change{120, 0, 0}}) {
        settle(standing);
        lengthen(width);
        ASSERT_TRUE(runUntil([&] { return manager.collect() == 1; })) << width;
        settle(managerTakes);
        EXPECT_TRUE(near(rootPixel(1280 - width + 5, 12), {242, 217, 51}, 3))
            << width << ": " << rootPixel(1280 - width + 5, 12) << " before the manager's steps";
        manager.answer();
        server->sync();
        EXPECT_TRUE(near(rootPixel(1280 - 5, 12), {242, 217, 51}, 3))
            << width << ": " << rootPixel(1280 - 5, 12) << " between the manager's steps";
        manager.answer();
        EXPECT_TRUE(runUntil([&] { return atTopRight(width); })) << width;
    }
    // Under another program's window nothing shows the bar again as the veil goes.
    otherPanel(1000, 0, 280, 40, 0);
    lengthen(150);
    ASSERT_TRUE(runUntil([&] { return manager.collect() == 1; }));
    lengthen(180);
    EXPECT_TRUE(runUntil([&] { return manager.collect() == 2; }, 5)) << "180 never asked";
    manager.answer();
    server->sync();
    manager.answer();
    EXPECT_TRUE(runUntil([&] { return atTopRight(180); })) << barArea().x << " " << barArea().width;
}

// A manager that maps the bar's frame at the root's corner and moves it where the bar stood in a
// step of its own (openbox) has put the bar where it was asked to be: the screen shows the new
// picture between the manager's steps from the first new width on.
TEST_F(UnderAScriptedManager, AfterAFrameMappedAtTheCornerTheFirstNewWidthShowsNoStep) {
    testsupport::ScriptedWindowManager manager(xvfb.displayName(),
                                               {.frames = true, .mapsAtTheCorner = true});
    show(manager, 40);
    managed(manager, 0.3);
    lengthen(60);
    ASSERT_TRUE(runUntil([&] { return manager.collect() == 1; }));
    manager.answer();
    server->sync();
    EXPECT_TRUE(near(rootPixel(1280 - 5, 12), {242, 217, 51}, 3))
        << rootPixel(1280 - 5, 12) << " between the manager's steps";
    manager.answer();
    EXPECT_TRUE(runUntil([&] { return atTopRight(60); })) << barArea().x;
}

// A manager that holds the bar in a plate inside its frame (openbox) tells of its last step, the
// frame's move, only by the plate's new outline: the bar takes where it stands from that, and each
// narrower width after lands at the top right, not inside the place the bar had left (which it
// took for a stretched window). Read only once the frame has moved, the manager's notice of its
// first step finds the bar in place while the plate's outline is still the old one: the screen
// shows the new picture whole until that outline comes too.
TEST_F(UnderAScriptedManager, ThroughAPlatingManagersStepsTheBarNarrowsAtTheTopRight) {
    testsupport::ScriptedWindowManager manager(xvfb.displayName(),
                                               {.frames = true, .plates = true});
    show(manager, 120);
    for (const int width : {90, 60, 30, 90}) {
        lengthen(width);
        ASSERT_TRUE(runUntil([&] { return manager.collect() == 1; })) << width;
        // Asked for, and shown from its new left end while the manager works.
        EXPECT_TRUE(near(rootPixel(1280 - width + 5, 12), {242, 217, 51}, 3))
            << width << ": " << rootPixel(1280 - width + 5, 12);
        manager.answer();
        manager.answer();
        server->sync();
        EXPECT_TRUE(near(rootPixel(1280 - 5, 12), {242, 217, 51}, 3))
            << width << ": " << rootPixel(1280 - 5, 12) << " before the plate's outline";
        manager.answer();
        EXPECT_TRUE(runUntil([&] {
            return atTopRight(width) && near(rootPixel(1280 - 5, 12), {242, 217, 51}, 3);
        })) << width
            << ": " << barArea().x << ", " << barArea().width << " wide, "
            << rootPixel(1280 - 5, 12);
    }
}

// A desktop whose panel has no X window of its own (a shell drawing its bar itself) says so only
// in the work area: the bar sits below it, and a dock lying lower than the bar does not push it.
TEST_F(X11Server, StatusBarSitsBelowTheWorkAreasTopAndAboveALowerDock) {
    // The second desktop's area is the one that holds.
    testsupport::setWindowProperty(user, DefaultRootWindow(user), "_NET_CURRENT_DESKTOP",
                                   XA_CARDINAL, {1});
    testsupport::setWindowProperty(user, DefaultRootWindow(user), "_NET_WORKAREA", XA_CARDINAL,
                                   {0, 0, 1280, 800, 0, 32, 1280, 768});
    // Another copy's bar, placed below ours.
    otherPanel(1100, 56, 180, 24, 80);
    settle();
    auto bar = statusBarShowing(std::make_shared<RecordingView>(gfx::Rect{0, 0, 60, 24}));
    ASSERT_TRUE(runUntil([&] {
        return viewable(*bar) && testsupport::rootArea(user, *xWindow(*bar)).y == 32;
    })) << testsupport::rootArea(user, *xWindow(*bar)).y;
    EXPECT_EQ(server->screens().front().frame.maxY(), 800 - 32);
    EXPECT_EQ(server->screens().front().visibleFrame.maxY(), 800 - 32 - 24);
}

TEST_F(X11Server, APanelOverTheStatusBarIsDrawnInsideItAndTakesItsClicks) {
    auto bar = statusBarShowing(std::make_shared<PatternView>(gfx::Rect{0, 0, 90, 24}));
    ASSERT_TRUE(runUntil([&] { return viewable(*bar); }));
    // A clear panel over the bar's right half with a rounded block of its own.
    const gfx::Rect barFrame = bar->frame();
    auto panel = std::make_shared<ui::Panel>(
        gfx::Rect{barFrame.minX() + 45, barFrame.minY(), 45, 24}, ui::Style::borderless);
    panel->setOpaque(false);
    panel->setBackgroundColor(gfx::Color::clear());
    auto content = std::make_shared<RecordingView>(gfx::Rect{0, 0, 45, 24});
    panel->setContentView(content);
    panel->setLevel(26);
    panel->orderFront();
    // The panel shows in the bar's pixels, and its place on the screen is exactly where it asked.
    ASSERT_TRUE(runUntil([&] {
        return near(rootPixel(1280 - 20, 12), {242, 217, 51}, 3);
    })) << rootPixel(1280 - 20, 12);
    EXPECT_EQ(xWindow(*panel), xWindow(*bar));
    // Nothing but the bar is on the server: no window of the panel's own for a manager to place.
    const auto shown = app->windows();
    EXPECT_TRUE(std::none_of(shown.begin(), shown.end(), [&](const auto& window) {
        return window != bar && window != panel && viewable(*window);
    }));
    // The bar's own drawing still shows beside it.
    EXPECT_TRUE(runUntil([&] {
        return near(rootPixel(1280 - 90 + 5, 20), {230, 51, 26}, 3);
    })) << rootPixel(1195, 20);

    click(1280 - 20, 12);
    ASSERT_TRUE(runUntil([&] { return !content->events.empty(); }));
    EXPECT_EQ(content->events.front().locationInWindow(), (gfx::Point{25, 12}));

    // A second panel over the first covers it; raising either shows it on top, and raising the
    // one on top again changes nothing.
    auto cover = std::make_shared<ui::Panel>(panel->frame(), ui::Style::borderless);
    cover->setContentView(std::make_shared<PatternView>(gfx::Rect{0, 0, 45, 24}));
    cover->setLevel(26);
    const Rgb yellow{242, 217, 51}, green{51, 179, 76};
    for (const auto& step : {std::pair{cover, green},
                             {panel, yellow},
                             {panel, yellow},
                             {cover, green},
                             {cover, green}}) {
        const auto& [raised, colour] = step;
        const Rgb shown = colour;
        raised->orderFront();
        EXPECT_TRUE(runUntil([&] { return near(rootPixel(1280 - 20, 12), shown, 3); }))
            << rootPixel(1280 - 20, 12);
    }
    cover->orderOut();

    // Ordered out, the bar shows its own pixels there again.
    panel->orderOut();
    EXPECT_TRUE(runUntil([&] { return !near(rootPixel(1280 - 20, 12), {242, 217, 51}, 3); }));
}

TEST_F(X11Server, TheStatusBarNeverShowsBlackThroughWidthChanges) {
    // As the strip is shown: the bar's own view draws nothing, and a clear panel laid over it
    // draws rounded capsules; the width moves by two pixels back and forth, as a figure crossing
    // a unit moves it, and the panel follows the bar a moment later.
    auto content = std::make_shared<ui::View>(gfx::Rect{0, 0, 120, 24});
    auto item = app->statusBar().statusItem(120);
    item->setView(content);
    auto bar = app->statusBar().window();
    ASSERT_TRUE(runUntil([&] { return viewable(*bar); }));
    auto panel = std::make_shared<ui::Panel>(bar->frame(), ui::Style::borderless);
    panel->setOpaque(false);
    panel->setBackgroundColor(gfx::Color::clear());
    auto capsules = std::make_shared<HalvesView>(gfx::Rect{{0, 0}, bar->frame().size});
    panel->setContentView(capsules);
    panel->setLevel(26);
    panel->orderFront();
    settle(0.3);
    ASSERT_EQ(xWindow(*panel), xWindow(*bar)) << "the panel is drawn inside the bar";
    int blackSeen = 0;
    for (int change = 0; change < 12; ++change) {
        const double width = change % 2 ? 120 : 122;
        content->setFrameSize({width, 24});
        item->setLength(width);
        // Poll what the screen shows right through the change, as the loop turns.
        for (int look = 0; look < 6; ++look) {
            if (look == 2) {
                panel->setFrame(bar->frame(), false);
                capsules->setFrameSize(bar->frame().size);
            }
            settle(0.01);
            const auto shown = captureRoot(1280 - 130, 0, 130, 24);
            for (int row = 0; row < shown.height; ++row)
                for (int column = 0; column < shown.width; ++column)
                    blackSeen += shown.at(column, row) == Rgb{0, 0, 0} ? 1 : 0;
        }
    }
    EXPECT_EQ(blackSeen, 0) << "black pixels seen in the bar's area through the changes";
    EXPECT_EQ(xWindow(*panel), xWindow(*bar)) << "still drawn inside the bar";
    EXPECT_TRUE(near(rootPixel(1280 - 100, 12), {204, 51, 51}, 3)) << rootPixel(1180, 12);
}

TEST_F(X11Server, APanelOverAWholeClearBarGivesWayToWhatTheBarOrItsAlphaChanges) {
    // The strip as shown: a panel over the whole of a bar that draws nothing of its own.
    auto content = std::make_shared<SwitchedFillView>(gfx::Rect{0, 0, 120, 24});
    auto bar = statusBarShowing(content);
    ASSERT_TRUE(runUntil([&] { return viewable(*bar); }));
    auto panel = std::make_shared<ui::Panel>(bar->frame(), ui::Style::borderless);
    panel->setOpaque(false);
    panel->setBackgroundColor(gfx::Color::clear());
    panel->setContentView(std::make_shared<HalvesView>(gfx::Rect{{0, 0}, bar->frame().size}));
    panel->setLevel(26);
    panel->orderFront();
    const int left = 1280 - 120;
    const Rgb red{204, 51, 51}, green{51, 179, 76};
    ASSERT_TRUE(runUntil([&] { return near(rootPixel(left + 20, 12), red, 3); }))
        << rootPixel(left + 20, 12);
    ASSERT_EQ(xWindow(*panel), xWindow(*bar));

    // The bar draws under the panel's clear corner, then stops drawing there again.
    content->fill = gfx::Color(0.2, 0.7, 0.3);
    content->setNeedsDisplay(true);
    EXPECT_TRUE(runUntil([&] { return near(rootPixel(left + 2, 2), green, 3); }))
        << rootPixel(left + 2, 2);
    // A change of shape exposes the window again, repainted a moment later.
    EXPECT_TRUE(runUntil([&] { return near(rootPixel(left + 20, 12), red, 3); }))
        << rootPixel(left + 20, 12);
    content->fill.reset();
    content->setNeedsDisplay(true);
    EXPECT_TRUE(runUntil([&] { return !near(rootPixel(left + 2, 2), green, 3); }));
    EXPECT_TRUE(runUntil([&] { return near(rootPixel(left + 20, 12), red, 3); }))
        << rootPixel(left + 20, 12);

    // A faint panel is cut away where nothing blends it, though it covers the bar whole.
    panel->setAlphaValue(0.4);
    EXPECT_TRUE(runUntil([&] { return !near(rootPixel(left + 20, 12), red, 3); }))
        << rootPixel(left + 20, 12);
}

TEST_F(X11Server, TranslucentWindowsFollowACompositorThatStartsAndStops) {
    auto panel = std::make_shared<ui::Panel>(gfx::Rect{200, 400, 120, 80}, ui::Style::borderless);
    panel->setOpaque(false);
    panel->setBackgroundColor(gfx::Color::clear());
    panel->setContentView(std::make_shared<RoundedView>(gfx::Rect{0, 0, 120, 80}));
    panel->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*panel); }));
    auto depth = [&] {
        XWindowAttributes attributes{};
        const auto xid = xWindow(*panel);
        return xid && XGetWindowAttributes(server->display(), *xid, &attributes) ? attributes.depth
                                                                                 : 0;
    };
    EXPECT_EQ(depth(), 24) << "solid and shaped on a bare server";
    EXPECT_FALSE(server->hasCompositor());

    // A compositing manager takes the screen: the window is made again with alpha.
    const ::Window compositor =
        XCreateSimpleWindow(user, DefaultRootWindow(user), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(user, XInternAtom(user, "_NET_WM_CM_S0", False), compositor, CurrentTime);
    XSync(user, False);
    EXPECT_TRUE(runUntil([&] { return depth() == 32 && viewable(*panel); })) << depth();

    // It stops: solid and shaped again, with no black where the window is clear.
    XDestroyWindow(user, compositor);
    XSync(user, False);
    EXPECT_TRUE(runUntil([&] { return depth() == 24 && viewable(*panel); })) << depth();
    settle(0.2);
    EXPECT_EQ(rootPixel(202, 800 - 480 + 2), (Rgb{255, 255, 255})) << "the corner is cut out";
    EXPECT_TRUE(near(rootPixel(260, 800 - 440), {51, 102, 204}, 3)) << rootPixel(260, 360);
}

TEST_F(X11Server, ContextMenuOpensTracksAndClosesOnAClickOutside) {
    makeRecordingWindow({100, 400, 200, 100});
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));

    auto menu = std::make_shared<ui::Menu>();
    bool chosen = false;
    menu->addItem(std::make_shared<ui::MenuItem>("First", [&](ui::MenuItem&) { chosen = true; }));
    menu->addItem(std::make_shared<ui::MenuItem>("Second"));

    bool opened = false;
    Rgb idle, highlighted;
    std::shared_ptr<ui::MenuItem> answer = std::make_shared<ui::MenuItem>("unset");
    // The user, step by step while the menu's own loop runs: wait for the menu, point at its
    // first item (the menu's top-left is where the click was, root 150, 350), wait for the
    // highlight, then click far outside.
    int step = 0;
    const double giveUp = dispatch::systemUptime() + testsupport::patience / 2;
    std::function<void()> act = [&] {
        if (step == 0) {
            if (anotherWindowShows())
                opened = true;
            idle = rootPixel(190, 362);
            if (opened && idle != Rgb{255, 255, 255}) {
                moveTo(190, 362);
                step = 1;
            }
        } else if (step == 1) {
            highlighted = rootPixel(190, 362);
            if (highlighted != idle || dispatch::systemUptime() > giveUp) {
                click(1000, 100);
                step = 2;
            }
        }
        if (step < 2)
            loop.queue().asyncAfter(0.02, act);
    };
    view->onRightMouseDown = [&](const ui::Event& event) {
        loop.queue().asyncAfter(0.02, act);
        // Should the click outside never arrive, the test fails instead of hanging.
        loop.queue().asyncAfter(testsupport::patience, [&] { menu->cancelTracking(); });
        answer = ui::Menu::popUpContextMenu(menu, event, view.get());
    };
    // 50 points in, 50 up: root (150, 350).
    click(150, 350, 3);
    ASSERT_TRUE(runUntil([&] { return !answer || answer->title() != "unset"; }));
    EXPECT_TRUE(opened);
    EXPECT_NE(idle, highlighted) << "the pointer's item did not highlight";
    EXPECT_EQ(answer, nullptr);
    EXPECT_FALSE(chosen);
    settle();
    EXPECT_FALSE(anotherWindowShows());
    // Once the menu is gone, clicks reach the window again.
    view->events.clear();
    click(150, 350);
    EXPECT_TRUE(runUntil([&] { return !view->events.empty(); }));
}

TEST_F(X11Server, NonCompositedServerShowsNoBlackWhereTheWindowIsClear) {
    ASSERT_FALSE(server->hasCompositor());
    const gfx::Rect frame{400, 300, 120, 120};
    window = std::make_shared<ui::Window>(frame, ui::Style::borderless);
    window->setOpaque(false);
    window->setBackgroundColor(gfx::Color::clear());
    window->setContentView(std::make_shared<RoundedView>(gfx::Rect{{0, 0}, frame.size}));
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));
    settle();

    // Root pixels: the window spans 400...519 across and 380...499 down; the root is white.
    const Rgb white{255, 255, 255};
    EXPECT_EQ(rootPixel(402, 382), white);
    EXPECT_EQ(rootPixel(517, 382), white);
    EXPECT_EQ(rootPixel(402, 497), white);
    EXPECT_EQ(rootPixel(517, 497), white);
    EXPECT_TRUE(near(rootPixel(460, 440), {51, 102, 204}, 3)) << rootPixel(460, 440);

    // Clicks on the clear corners fall through to whatever is below.
    auto token = recordGlobally(ui::EventMasks::leftMouseDown);
    click(402, 382);
    EXPECT_TRUE(runUntil([&] { return !seen.empty(); }));
    app->removeMonitor(token);
}

// Nothing blends alpha on a bare server: a window faded to 0 (a preview that hands over to
// another window) must not go on showing at full strength, and must come back when faded in.
TEST_F(X11Server, NonCompositedServerHidesAWindowAtAlphaZero) {
    ASSERT_FALSE(server->hasCompositor());
    const Rgb white{255, 255, 255};
    const Rgb blue{51, 102, 204};
    for (const bool opaque : {true, false}) {
        SCOPED_TRACE(opaque ? "opaque" : "clear");
        const gfx::Rect frame{400, 300, 120, 120};
        auto faded = std::make_shared<ui::Window>(frame, ui::Style::borderless);
        faded->setOpaque(opaque);
        faded->setBackgroundColor(opaque ? gfx::Color(1, 1, 1) : gfx::Color::clear());
        faded->setContentView(std::make_shared<RoundedView>(gfx::Rect{{0, 0}, frame.size}));
        faded->orderFront();
        ASSERT_TRUE(runUntil([&] { return viewable(*faded); }));
        settle();
        ASSERT_TRUE(near(rootPixel(460, 440), blue, 3)) << rootPixel(460, 440);

        faded->setAlphaValue(0);
        settle();
        EXPECT_EQ(rootPixel(460, 440), white);
        // Drawn again while hidden: still nothing shows.
        faded->display();
        settle();
        EXPECT_EQ(rootPixel(460, 440), white);

        faded->setAlphaValue(1);
        settle();
        EXPECT_TRUE(near(rootPixel(460, 440), blue, 3)) << rootPixel(460, 440);
        faded->orderOut();
        settle();
    }
}

// The shape is sent only when it changes and exposures repaint from what was drawn last: the
// shape must still follow a resize, and a window uncovered must show its colour, not black.
TEST_F(X11Server, ClearWindowKeepsItsShapeAcrossAResizeAndRepaintsWhenUncovered) {
    auto clear = std::make_shared<ui::Window>(gfx::Rect{400, 300, 120, 120}, ui::Style::borderless);
    clear->setOpaque(false);
    clear->setBackgroundColor(gfx::Color::clear());
    auto rounded = std::make_shared<RoundedView>(gfx::Rect{0, 0, 120, 120});
    clear->setContentView(rounded);
    clear->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*clear); }));
    settle();
    // Drawn again unchanged: no new shape goes out, and the one there stays.
    clear->display();
    settle();
    EXPECT_EQ(rootPixel(402, 382), (Rgb{255, 255, 255}));
    EXPECT_TRUE(near(rootPixel(460, 440), {51, 102, 204}, 3)) << rootPixel(460, 440);

    // Grown to 200 × 200 at the same top-left: the disc's middle moves to (500, 480).
    const gfx::Rect grown{400, 220, 200, 200};
    clear->setFrame(grown, true);
    rounded->setFrame({{0, 0}, grown.size});
    settle();
    const Rgb white{255, 255, 255};
    const Rgb blue{51, 102, 204};
    EXPECT_EQ(rootPixel(402, 382), white);
    EXPECT_EQ(rootPixel(597, 577), white);
    EXPECT_EQ(rootPixel(402, 577), white);
    EXPECT_TRUE(near(rootPixel(500, 480), blue, 3)) << rootPixel(500, 480);
    EXPECT_TRUE(near(rootPixel(580, 480), blue, 3)) << rootPixel(580, 480);

    // Covered by another client's black window and uncovered again.
    XSetWindowAttributes set{};
    set.override_redirect = True;
    set.background_pixel = 0;
    const ::Window cover =
        XCreateWindow(user, DefaultRootWindow(user), 450, 400, 100, 100, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &set);
    XMapRaised(user, cover);
    XSync(user, False);
    settle();
    ASSERT_EQ(rootPixel(500, 480), (Rgb{0, 0, 0}));
    XDestroyWindow(user, cover);
    XSync(user, False);
    settle();
    EXPECT_TRUE(near(rootPixel(500, 480), blue, 3)) << rootPixel(500, 480);
    EXPECT_EQ(rootPixel(402, 382), white);
}

// A shaped window is sent only the box of pixels that changed: what changed shows, what did
// not keeps showing, and a whole redraw with nothing changed leaves the screen as it was.
TEST_F(X11Server, AShapedWindowShowsWhatChangedAndKeepsWhatDidNot) {
    auto clear = std::make_shared<ui::Window>(gfx::Rect{400, 300, 160, 80}, ui::Style::borderless);
    clear->setOpaque(false);
    clear->setBackgroundColor(gfx::Color::clear());
    auto halves = std::make_shared<HalvesView>(gfx::Rect{0, 0, 160, 80});
    clear->setContentView(halves);
    clear->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*clear); }));
    settle();
    // The window spans 400...559 across and 420...499 down; each half's middle.
    const Rgb red{204, 51, 51}, blue{51, 102, 204}, green{51, 204, 51};
    EXPECT_TRUE(near(rootPixel(445, 460), red, 3)) << rootPixel(445, 460);
    EXPECT_TRUE(near(rootPixel(515, 460), blue, 3)) << rootPixel(515, 460);

    halves->right = gfx::Color(0.2, 0.8, 0.2);
    halves->setNeedsDisplay(true);
    settle();
    EXPECT_TRUE(near(rootPixel(445, 460), red, 3)) << rootPixel(445, 460);
    EXPECT_TRUE(near(rootPixel(515, 460), green, 3)) << rootPixel(515, 460);
    EXPECT_EQ(rootPixel(402, 422), (Rgb{255, 255, 255}));

    clear->display();
    settle();
    EXPECT_TRUE(near(rootPixel(445, 460), red, 3)) << rootPixel(445, 460);
    EXPECT_TRUE(near(rootPixel(515, 460), green, 3)) << rootPixel(515, 460);
}

TEST_F(X11Server, WindowThatIgnoresMouseEventsLetsClicksThrough) {
    makeRecordingWindow({600, 100, 100, 100});
    window->setIgnoresMouseEvents(true);
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));
    auto token = recordGlobally(ui::EventMasks::leftMouseDown);
    click(650, 650);
    EXPECT_TRUE(runUntil([&] { return !seen.empty(); }));
    EXPECT_TRUE(view->events.empty());
    app->removeMonitor(token);
}

TEST_F(X11Server, StatusBarScreenshot) {
    auto bar = statusBarShowing(std::make_shared<PatternView>(gfx::Rect{0, 0, 90, 24}));
    ASSERT_TRUE(runUntil([&] { return viewable(*bar); }));
    settle();
    // The top right corner of the screen, at twice the size so the bar is easy to see.
    constexpr int wide = 300, high = 60;
    const testsupport::Capture captured = captureRoot(1280 - wide, 0, wide, high);
    ASSERT_FALSE(captured.pixels.empty());
    const gfx::Bitmap shot = captured.bitmap();
    EXPECT_TRUE(shot.writePng(testsupport::artifactPath("x11-status-bar.png").string()));
    // The item's red block at its bottom left, its blue one at its top right.
    EXPECT_TRUE(near(rgbOf(shot.pixel(wide - 90 + 5, 20)), {230, 51, 26}, 3));
    EXPECT_TRUE(near(rgbOf(shot.pixel(wide - 5, 3)), {26, 77, 230}, 3));
    EXPECT_EQ(rgbOf(shot.pixel(wide - 5, 40)), (Rgb{255, 255, 255}));
}

TEST_F(X11Server, KeysReachTheKeyWindowWithTheToolkitsCodes) {
    makeRecordingWindow({300, 300, 160, 80}, ui::Style::titled);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));
    settle();

    key(XK_Control_L, true);
    key(XK_q, true);
    key(XK_q, false);
    key(XK_Control_L, false);
    key(XK_Escape, true);
    key(XK_Escape, false);
    ASSERT_TRUE(runUntil([&] { return view->events.size() >= 2; }));
    const ui::Event& quit = view->events[0];
    EXPECT_EQ(quit.type(), ui::EventType::keyDown);
    EXPECT_EQ(quit.keyCode(), ui::KeyCode::q);
    EXPECT_EQ(quit.charactersIgnoringModifiers(), "q");
    EXPECT_EQ(quit.modifierFlags() & ui::Modifier::deviceIndependentMask, ui::Modifier::command);
    EXPECT_FALSE(quit.isARepeat());
    EXPECT_EQ(view->events[1].keyCode(), ui::KeyCode::escape);
    EXPECT_EQ(view->events[1].modifierFlags() & ui::Modifier::deviceIndependentMask, 0u);

    // Shift changes the characters typed, not the characters ignoring modifiers' key code.
    view->events.clear();
    key(XK_Shift_L, true);
    key(XK_a, true);
    key(XK_a, false);
    key(XK_Shift_L, false);
    ASSERT_TRUE(runUntil([&] { return !view->events.empty(); }));
    EXPECT_EQ(view->events[0].characters(), "A");
    EXPECT_EQ(view->events[0].keyCode(), 0);
    EXPECT_EQ(view->events[0].modifierFlags() & ui::Modifier::deviceIndependentMask,
              ui::Modifier::shift);
    EXPECT_FALSE(view->events[0].isARepeat());
}

// A window of ours shown or withdrawn under a pointer that stays put crosses it, which tells the
// toolkit where the pointer is but is no motion of the user's; the next move of the hand is.
TEST_F(X11Server, CrossingsOfWindowsComingAndGoingUnderAStillPointerAreNoMotion) {
    makeRecordingWindow({100, 400, 200, 100});
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));
    std::vector<ui::Event> moves;
    const auto monitor =
        app->addLocalMonitor(ui::EventMasks::mouseMoved, [&](const ui::Event& event) {
            moves.push_back(event);
            return std::optional(event);
        });
    moveTo(150, 350);
    ASSERT_TRUE(runUntil([&] { return !moves.empty(); }));
    settle();
    EXPECT_FALSE(moves.back().isPointerStill()) << "the hand moved the pointer in";

    auto cover = std::make_shared<ui::Window>(gfx::Rect{120, 420, 100, 60}, ui::Style::borderless);
    cover->setContentView(std::make_shared<RecordingView>(gfx::Rect{0, 0, 100, 60}));
    for (const bool shown : {true, false}) {
        moves.clear();
        shown ? cover->orderFront() : cover->orderOut();
        ASSERT_TRUE(runUntil([&] {
            return !moves.empty() && moves.back().window() == (shown ? cover : window);
        })) << (shown ? "the cover" : "the window")
            << " under the pointer";
        for (const ui::Event& crossing : moves)
            EXPECT_TRUE(crossing.isPointerStill());
    }
    moves.clear();
    moveTo(152, 351);
    ASSERT_TRUE(runUntil([&] { return !moves.empty(); }));
    EXPECT_FALSE(moves.back().isPointerStill());
    app->removeMonitor(monitor);
}

TEST_F(X11Server, EscapeClosesAnOpenMenu) {
    makeRecordingWindow({100, 400, 200, 100});
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));

    auto menu = std::make_shared<ui::Menu>();
    menu->addItem(std::make_shared<ui::MenuItem>("Only", [](ui::MenuItem&) {}));
    bool returned = false;
    bool pressed = false;
    std::function<void()> act = [&] {
        if (!pressed && anotherWindowShows()) {
            // Sent on the server's own connection, so the keys come after the grab the menu
            // took; from a second connection Xvfb may hold them back until the grab ends.
            testsupport::fakeKey(server->display(), XK_Escape, true);
            testsupport::fakeKey(server->display(), XK_Escape, false);
            pressed = true;
        }
        if (!pressed)
            loop.queue().asyncAfter(0.02, act);
    };
    view->onRightMouseDown = [&](const ui::Event& event) {
        loop.queue().asyncAfter(0.02, act);
        loop.queue().asyncAfter(testsupport::patience, [&] { menu->cancelTracking(); });
        const double started = dispatch::systemUptime();
        EXPECT_EQ(ui::Menu::popUpContextMenu(menu, event, view.get()), nullptr);
        EXPECT_LT(dispatch::systemUptime() - started, testsupport::patience - 0.5)
            << "only the fallback ended the menu";
        returned = true;
    };
    click(150, 350, 3);
    EXPECT_TRUE(runUntil([&] { return returned; }));
    EXPECT_TRUE(pressed);
}

TEST_F(X11Server, DesktopChangesReachTheWorkspaceObservers) {
    int spaces = 0, activations = 0;
    auto spaceToken = app->workspace().addObserver(ui::WorkspaceNotification::activeSpaceDidChange,
                                                   [&] { ++spaces; });
    auto activeToken = app->workspace().addObserver(
        ui::WorkspaceNotification::didActivateApplication, [&] { ++activations; });
    const ::Window root = DefaultRootWindow(user);
    testsupport::setWindowProperty(user, root, "_NET_CURRENT_DESKTOP", XA_CARDINAL, {1});
    XFlush(user);
    EXPECT_TRUE(runUntil([&] { return spaces == 1; }));
    testsupport::setWindowProperty(user, root, "_NET_ACTIVE_WINDOW", XA_WINDOW, {long(root)});
    XFlush(user);
    EXPECT_TRUE(runUntil([&] { return activations == 1; }));
    EXPECT_EQ(spaces, 1);
    app->workspace().removeObserver(spaceToken);
    app->workspace().removeObserver(activeToken);
}

// Under XWayland a click on a native window reaches no X client: the compositor's active window
// leaving ours, for none (a native window) or another program's, is what tells that the user
// went elsewhere. On an X server of its own every press is seen, and the same changes (a manager
// activating what a press on the desktop hit) deactivate nothing.
TEST_F(X11Server, OnlyUnderXWaylandTheActiveWindowLeavingOursDeactivates) {
    makeRecordingWindow({300, 300, 160, 80}, ui::Style::titled);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));
    int activations = 0;
    auto token = app->workspace().addObserver(ui::WorkspaceNotification::didActivateApplication,
                                              [&] { ++activations; });
    const ::Window root = DefaultRootWindow(user);
    const long other = long(XCreateSimpleWindow(user, root, 0, 0, 10, 10, 0, 0, 0));
    const auto activeBecomes = [&](long active) {
        const int seen = activations;
        testsupport::setWindowProperty(user, root, "_NET_ACTIVE_WINDOW", XA_WINDOW, {active});
        XFlush(user);
        return runUntil([&] { return activations > seen; });
    };
    struct Row {
        const char* what;
        bool xwayland;
        long next;
    };
    for (const Row& row :
         {Row{"X11, none", false, 0}, Row{"X11, another's", false, other},
          Row{"XWayland, none", true, 0}, Row{"XWayland, another's", true, other}}) {
        SCOPED_TRACE(row.what);
        if (row.xwayland && server->screens().size() == 1) {
            // XWayland names its outputs so.
            XRRMonitorInfo monitor{};
            monitor.name = XInternAtom(user, "XWAYLAND0", False);
            monitor.width = screenWidth;
            monitor.height = screenHeight;
            XRRSetMonitor(user, root, &monitor);
            // The server tells of no new monitor: a change of the desktop's resources has the
            // screens read again.
            XChangeProperty(user, root, XInternAtom(user, "RESOURCE_MANAGER", False), XA_STRING, 8,
                            PropModeAppend, nullptr, 0);
            XFlush(user);
            ASSERT_TRUE(runUntil([&] { return server->screens().size() == 2; }));
        }
        app->activateIgnoringOtherApps(true);
        ASSERT_TRUE(activeBecomes(long(*xWindow(*window))));
        ASSERT_TRUE(app->isActive());
        ASSERT_TRUE(activeBecomes(row.next));
        EXPECT_EQ(app->isActive(), !row.xwayland);
    }
    app->workspace().removeObserver(token);
}

// An XSETTINGS blob (little-endian) holding the theme name and the animations switch.
std::vector<std::uint8_t> settingsBlob(const std::string& theme, int animations) {
    std::vector<std::uint8_t> bytes = {0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
    auto card32 = [&](std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(std::uint8_t(value >> (8 * i)));
    };
    auto padded = [&](const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        while (bytes.size() % 4)
            bytes.push_back(0);
    };
    auto header = [&](std::uint8_t type, const std::string& name) {
        bytes.push_back(type);
        bytes.push_back(0);
        bytes.push_back(std::uint8_t(name.size()));
        bytes.push_back(0);
        padded(name);
        card32(1);
    };
    header(1, "Net/ThemeName");
    card32(std::uint32_t(theme.size()));
    padded(theme);
    header(0, "Gtk/EnableAnimations");
    card32(std::uint32_t(animations));
    return bytes;
}

TEST_F(X11Server, AppearanceAndReduceMotionFollowTheSettingsManager) {
    settle(0.05);
    EXPECT_EQ(app->effectiveAppearance(), gfx::Appearance::light);
    // A settings manager starts after us, with a dark theme and animations off.
    const ::Window manager =
        XCreateSimpleWindow(user, DefaultRootWindow(user), 0, 0, 1, 1, 0, 0, 0);
    const Atom settings = XInternAtom(user, "_XSETTINGS_SETTINGS", False);
    auto publish = [&](const std::vector<std::uint8_t>& blob) {
        XChangeProperty(user, manager, settings, settings, 8, PropModeReplace, blob.data(),
                        int(blob.size()));
        XFlush(user);
    };
    publish(settingsBlob("Adwaita-dark", 0));
    XSetSelectionOwner(user, XInternAtom(user, "_XSETTINGS_S0", False), manager, CurrentTime);
    XFlush(user);
    EXPECT_TRUE(runUntil([&] { return app->effectiveAppearance() == gfx::Appearance::dark; }));
    EXPECT_TRUE(app->workspace().accessibilityDisplayShouldReduceMotion());
    // The user picks a light theme and turns animations back on.
    publish(settingsBlob("Adwaita", 1));
    EXPECT_TRUE(runUntil([&] { return app->effectiveAppearance() == gfx::Appearance::light; }));
    EXPECT_FALSE(app->workspace().accessibilityDisplayShouldReduceMotion());
}

// A session bus that takes connections and never says a word: the kernel completes each
// connection on the listening socket, and nothing ever reads or answers it.
class SilentBus {
public:
    SilentBus() {
        const std::string path = (folder_.path() / "bus").string();
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        if (listener_ >= 0 &&
            bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            listen(listener_, 16) == 0)
            address_ = "unix:path=" + path;
    }
    ~SilentBus() { hangUp(); }
    SilentBus(const SilentBus&) = delete;
    SilentBus& operator=(const SilentBus&) = delete;

    const std::string& address() const { return address_; }
    // Drops every connection the bus holds, so a client that waits on it is released.
    void hangUp() {
        if (listener_ >= 0)
            close(listener_);
        listener_ = -1;
    }

private:
    testsupport::TemporaryDirectory folder_;
    int listener_ = -1;
    std::string address_;
};

TEST(X11StartUp, GoesOnWithTheSettingsManagersAppearanceWhileTheBusNeverAnswers) {
    testsupport::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
    Display* user = XOpenDisplay(xvfb.displayName().c_str());
    ASSERT_NE(user, nullptr);
    const ::Window manager =
        XCreateSimpleWindow(user, DefaultRootWindow(user), 0, 0, 1, 1, 0, 0, 0);
    const Atom settings = XInternAtom(user, "_XSETTINGS_SETTINGS", False);
    const auto blob = settingsBlob("Adwaita-dark", 1);
    XChangeProperty(user, manager, settings, settings, 8, PropModeReplace, blob.data(),
                    int(blob.size()));
    XSetSelectionOwner(user, XInternAtom(user, "_XSETTINGS_S0", False), manager, CurrentTime);
    XSync(user, False);

    SilentBus bus;
    ASSERT_FALSE(bus.address().empty());
    testsupport::ScopedEnvironment address("DBUS_SESSION_BUS_ADDRESS", bus.address());
    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop scopedLoop(loop);
    ui::x11::X11WindowServer::Options options;
    options.displayName = xvfb.displayName();
    options.backingScale = 1;
    options.usePortal = true;
    // Opened off the test's thread, so a start-up that waits on the bus fails here instead of
    // hanging the test: hanging up the bus releases it.
    std::packaged_task<std::unique_ptr<ui::x11::X11WindowServer>()> opening(
        [&] { return ui::x11::X11WindowServer::open(loop, options); });
    auto opened = opening.get_future();
    std::thread opener(std::move(opening));
    const bool started = opened.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!started)
        bus.hangUp();
    opener.join();
    auto server = opened.get();
    EXPECT_TRUE(started) << "start-up waited for a bus that never answers";
    ASSERT_TRUE(server);

    ui::Application app(*server, loop);
    EXPECT_EQ(app.effectiveAppearance(), gfx::Appearance::dark);
    // The loop goes on turning while the bus stays silent.
    bool turned = false;
    loop.queue().async([&] { turned = true; });
    EXPECT_TRUE(testsupport::runUntil(
        loop, [&] { return turned; }, 1));
    testsupport::settle(loop, 0.2);
    EXPECT_EQ(app.effectiveAppearance(), gfx::Appearance::dark);
    XCloseDisplay(user);
}

TEST_F(X11Server, WindowsOnAllSpacesAreSticky) {
    auto panel = std::make_shared<ui::Panel>(gfx::Rect{10, 10, 50, 50}, ui::Style::borderless);
    panel->setCollectionBehavior(ui::Collection::canJoinAllSpaces);
    panel->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*panel); }));
    Display* display = server->display();
    const auto states =
        testsupport::windowProperty(display, *xWindow(*panel), "_NET_WM_STATE", XA_ATOM, 16);
    const long sticky = long(XInternAtom(display, "_NET_WM_STATE_STICKY", False));
    EXPECT_TRUE(std::find(states.begin(), states.end(), sticky) != states.end());
}

} // namespace
