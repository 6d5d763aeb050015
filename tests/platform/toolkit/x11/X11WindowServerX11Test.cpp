#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Menu.h"
#include "platform/toolkit/MenuItem.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/x11/X11WindowServer.h"
#include "support/TestPaths.h"
#include "support/XvfbServer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// Xlib's macros (None, Bool, Status) must come after every other header.
// clang-format off
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

namespace {

struct Rgb {
    int red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& rgb) {
    return out << "rgb(" << rgb.red << ", " << rgb.green << ", " << rgb.blue << ")";
}

bool near(const Rgb& a, const Rgb& b, int tolerance = 2) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}

Rgb xPixel(Display* display, ::Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return {-1, -1, -1};
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return {int((pixel >> 16) & 0xff), int((pixel >> 8) & 0xff), int(pixel & 0xff)};
}

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

class X11Server : public ::testing::Test {
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
        user = XOpenDisplay(xvfb.displayName().c_str());
        ASSERT_NE(user, nullptr);
    }

    void TearDown() override {
        app.reset();
        server.reset();
        if (user)
            XCloseDisplay(user);
    }

    // Runs the loop until done() holds or the time is up; answers done().
    bool runUntil(const std::function<bool()>& done, double seconds = 3) {
        const double deadline = dispatch::systemUptime() + seconds;
        loop.runNested(dispatch::RunLoopMode::defaultMode, [&] {
            if (done() || dispatch::systemUptime() > deadline)
                return false;
            loop.queue().asyncAfter(0.01, [] {});
            return true;
        });
        return done();
    }

    void settle(double seconds = 0.15) {
        const double until = dispatch::systemUptime() + seconds;
        runUntil([&] { return dispatch::systemUptime() >= until; }, seconds + 1);
    }

    bool viewable(const ui::Window& window) {
        auto xid = server->xWindow(window.windowNumber().value_or(0));
        if (!xid)
            return false;
        XWindowAttributes attributes{};
        return XGetWindowAttributes(server->display(), *xid, &attributes) &&
               attributes.map_state == IsViewable;
    }

    // The user's hand: XTest input from a connection of its own, in root pixels.
    void moveTo(int x, int y) {
        XTestFakeMotionEvent(user, 0, x, y, CurrentTime);
        XFlush(user);
    }
    void button(unsigned number, bool down) {
        XTestFakeButtonEvent(user, number, down ? True : False, CurrentTime);
        XFlush(user);
    }
    void key(KeySym symbol, bool down) {
        XTestFakeKeyEvent(user, XKeysymToKeycode(user, symbol), down ? True : False, CurrentTime);
        XFlush(user);
    }
    void click(int x, int y, unsigned number = 1) {
        moveTo(x, y);
        button(number, true);
        button(number, false);
    }

    Rgb rootPixel(int x, int y) {
        return xPixel(server->display(), DefaultRootWindow(server->display()), x, y);
    }

    testsupport::XvfbServer xvfb{1280, 800};
    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    std::unique_ptr<ui::x11::X11WindowServer> server;
    std::unique_ptr<ui::Application> app;
    Display* user = nullptr;
};

TEST_F(X11Server, DrawnViewShowsTheSamePixelsAsTheHeadlessRender) {
    const gfx::Rect frame{100, 300, 200, 120};
    auto window = std::make_shared<ui::Window>(frame, ui::Style::borderless);
    auto view = std::make_shared<PatternView>(gfx::Rect{{0, 0}, frame.size});
    window->setContentView(view);
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));
    settle();

    gfx::Bitmap reference = gfx::Bitmap::forPointSize(frame.size, 1);
    {
        gfx::Context context(reference);
        context.setFillColor(window->backgroundColor());
        context.fillRect({{0, 0}, frame.size});
        view->drawRect(context, view->bounds());
    }

    const ::Window xid = *server->xWindow(*window->windowNumber());
    const std::vector<gfx::Point> probes = {
        {10.5, 10.5},  {45.5, 25.5},  {190.5, 110.5}, {155.5, 95.5}, {100.5, 60.5},
        {100.5, 25.5}, {60.5, 110.5}, {5.5, 115.5},   {195.5, 5.5},
    };
    for (const gfx::Point& probe : probes) {
        const Rgb expected = rgbOf(reference.pixelAtPoint(probe));
        const Rgb shown =
            xPixel(server->display(), xid, int(probe.x), int(frame.height() - probe.y));
        EXPECT_TRUE(near(shown, expected))
            << "at (" << probe.x << ", " << probe.y << "): " << shown << " vs " << expected;
    }
    // The red block is at the bottom left on the display too: y was flipped, not mirrored.
    EXPECT_TRUE(near(rootPixel(110, 800 - 310 - 1), {230, 51, 26}, 3));
}

TEST_F(X11Server, ClickReachesTheViewWithLocationButtonModifiersAndUptimeStamp) {
    const gfx::Rect frame{200, 200, 200, 100};
    auto window = std::make_shared<ui::Window>(frame, ui::Style::borderless);
    auto view = std::make_shared<RecordingView>(gfx::Rect{{0, 0}, frame.size});
    window->setContentView(view);
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

    // Super is the platform's Control; with Alt, its Option.
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
    const gfx::Rect frame{100, 100, 200, 100};
    auto window = std::make_shared<ui::Window>(frame, ui::Style::borderless);
    auto view = std::make_shared<RecordingView>(gfx::Rect{{0, 0}, frame.size});
    window->setContentView(view);
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));

    std::vector<ui::Event> seen;
    const ui::EventMask mask = ui::EventMasks::leftMouseDown | ui::EventMasks::leftMouseUp |
                               ui::EventMasks::leftMouseDragged;
    auto token =
        app->addGlobalMonitor(mask, [&](const ui::Event& event) { seen.push_back(event); });

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

TEST_F(X11Server, StatusBarSitsAtTheTopRightWithTheItemsLengthAndAStrut) {
    auto item = app->statusBar().statusItem(60);
    item->setView(std::make_shared<RecordingView>(gfx::Rect{0, 0, 60, 24}));
    auto bar = app->statusBar().window();
    ASSERT_TRUE(runUntil([&] { return viewable(*bar); }));
    settle();

    Display* display = server->display();
    const ::Window xid = *server->xWindow(*bar->windowNumber());
    ::Window child = 0;
    int x = 0, y = 0;
    XTranslateCoordinates(display, xid, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, xid, &attributes);
    EXPECT_EQ(x, 1220);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(attributes.width, 60);
    EXPECT_EQ(attributes.height, 24);

    Atom type = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, xid, XInternAtom(display, "_NET_WM_STRUT_PARTIAL", False), 0, 12,
                       False, XA_CARDINAL, &type, &format, &count, &remaining, &data);
    ASSERT_EQ(count, 12u);
    const long* strut = reinterpret_cast<const long*>(data);
    EXPECT_EQ(strut[2], 24);
    EXPECT_EQ(strut[8], 1220);
    EXPECT_EQ(strut[9], 1279);
    XFree(data);
    XGetWindowProperty(display, xid, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), 0, 1,
                       False, XA_ATOM, &type, &format, &count, &remaining, &data);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(*reinterpret_cast<const Atom*>(data),
              XInternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK", False));
    XFree(data);

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
    XSetWindowAttributes set{};
    set.override_redirect = True;
    ::Window panel =
        XCreateWindow(display, DefaultRootWindow(display), 0, 0, 1280, 30, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect, &set);
    const long strut[12] = {0, 0, 30, 0, 0, 0, 0, 0, 0, 1279, 0, 0};
    XChangeProperty(display, panel, XInternAtom(display, "_NET_WM_STRUT_PARTIAL", False),
                    XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(strut),
                    12);
    XMapWindow(display, panel);
    XSync(display, False);

    auto item = app->statusBar().statusItem(40);
    auto bar = app->statusBar().window();
    auto barTop = [&] {
        ::Window child = 0;
        int x = 0, y = 0;
        XTranslateCoordinates(server->display(), *server->xWindow(*bar->windowNumber()),
                              DefaultRootWindow(server->display()), 0, 0, &x, &y, &child);
        return std::pair(x, y);
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

TEST_F(X11Server, ContextMenuOpensTracksAndClosesOnAClickOutside) {
    const gfx::Rect frame{100, 400, 200, 100};
    auto window = std::make_shared<ui::Window>(frame, ui::Style::borderless);
    auto view = std::make_shared<RecordingView>(gfx::Rect{{0, 0}, frame.size});
    window->setContentView(view);
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
    const double giveUp = dispatch::systemUptime() + 3;
    std::function<void()> act = [&] {
        if (step == 0) {
            for (auto& shown : app->windows()) {
                if (shown != window && shown->isVisible() && viewable(*shown))
                    opened = true;
            }
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
        loop.queue().asyncAfter(4, [&] { menu->cancelTracking(); });
        answer = ui::Menu::popUpContextMenu(menu, event, view.get());
    };
    // 50 points in, 50 up: root (150, 350).
    click(150, 350, 3);
    ASSERT_TRUE(runUntil([&] { return !answer || answer->title() != "unset"; }, 4));
    EXPECT_TRUE(opened);
    EXPECT_NE(idle, highlighted) << "the pointer's item did not highlight";
    EXPECT_EQ(answer, nullptr);
    EXPECT_FALSE(chosen);
    settle();
    for (auto& shown : app->windows()) {
        if (shown != window) {
            EXPECT_FALSE(shown->isVisible() && viewable(*shown));
        }
    }
    // Once the menu is gone, clicks reach the window again.
    view->events.clear();
    click(150, 350);
    EXPECT_TRUE(runUntil([&] { return !view->events.empty(); }));
}

TEST_F(X11Server, NonCompositedServerShowsNoBlackWhereTheWindowIsClear) {
    ASSERT_FALSE(server->hasCompositor());
    const gfx::Rect frame{400, 300, 120, 120};
    auto window = std::make_shared<ui::Window>(frame, ui::Style::borderless);
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
    std::vector<ui::Event> seen;
    auto token = app->addGlobalMonitor(ui::EventMasks::leftMouseDown,
                                       [&](const ui::Event& event) { seen.push_back(event); });
    click(402, 382);
    EXPECT_TRUE(runUntil([&] { return !seen.empty(); }));
    app->removeMonitor(token);
}

TEST_F(X11Server, WindowThatIgnoresMouseEventsLetsClicksThrough) {
    const gfx::Rect frame{600, 100, 100, 100};
    auto window = std::make_shared<ui::Window>(frame, ui::Style::borderless);
    auto view = std::make_shared<RecordingView>(gfx::Rect{{0, 0}, frame.size});
    window->setContentView(view);
    window->setIgnoresMouseEvents(true);
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));
    std::vector<ui::Event> seen;
    auto token = app->addGlobalMonitor(ui::EventMasks::leftMouseDown,
                                       [&](const ui::Event& event) { seen.push_back(event); });
    click(650, 650);
    EXPECT_TRUE(runUntil([&] { return !seen.empty(); }));
    EXPECT_TRUE(view->events.empty());
    app->removeMonitor(token);
}

TEST_F(X11Server, StatusBarScreenshot) {
    auto item = app->statusBar().statusItem(90);
    item->setView(std::make_shared<PatternView>(gfx::Rect{0, 0, 90, 24}));
    auto bar = app->statusBar().window();
    ASSERT_TRUE(runUntil([&] { return viewable(*bar); }));
    settle();
    Display* display = server->display();
    // The top right corner of the screen, at twice the size so the bar is easy to see.
    constexpr int wide = 300, high = 60;
    XImage* image = XGetImage(display, DefaultRootWindow(display), 1280 - wide, 0, wide, high,
                              AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    gfx::Bitmap shot = gfx::Bitmap::forPointSize({double(wide), double(high)}, 1);
    cairo_surface_flush(shot.surface());
    unsigned char* data = cairo_image_surface_get_data(shot.surface());
    const int stride = cairo_image_surface_get_stride(shot.surface());
    for (int row = 0; row < high; ++row) {
        auto* out = reinterpret_cast<std::uint32_t*>(data + row * stride);
        for (int column = 0; column < wide; ++column)
            out[column] = 0xff000000u | (XGetPixel(image, column, row) & 0xffffffu);
    }
    XDestroyImage(image);
    cairo_surface_mark_dirty(shot.surface());
    EXPECT_TRUE(shot.writePng(testsupport::artifactPath("x11-status-bar.png").string()));
    // The item's red block at its bottom left, its blue one at its top right.
    EXPECT_TRUE(near(rgbOf(shot.pixel(wide - 90 + 5, 20)), {230, 51, 26}, 3));
    EXPECT_TRUE(near(rgbOf(shot.pixel(wide - 5, 3)), {26, 77, 230}, 3));
    EXPECT_EQ(rgbOf(shot.pixel(wide - 5, 40)), (Rgb{255, 255, 255}));
}

TEST_F(X11Server, KeysReachTheKeyWindowWithThePlatformsCodes) {
    const gfx::Rect frame{300, 300, 160, 80};
    auto window = std::make_shared<ui::Window>(frame, ui::Style::titled);
    auto view = std::make_shared<RecordingView>(gfx::Rect{{0, 0}, frame.size});
    window->setContentView(view);
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

TEST_F(X11Server, EscapeClosesAnOpenMenu) {
    const gfx::Rect frame{100, 400, 200, 100};
    auto window = std::make_shared<ui::Window>(frame, ui::Style::borderless);
    auto view = std::make_shared<RecordingView>(gfx::Rect{{0, 0}, frame.size});
    window->setContentView(view);
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));

    auto menu = std::make_shared<ui::Menu>();
    menu->addItem(std::make_shared<ui::MenuItem>("Only", [](ui::MenuItem&) {}));
    bool returned = false;
    bool pressed = false;
    std::function<void()> act = [&] {
        for (auto& shown : app->windows()) {
            if (shown != window && shown->isVisible() && viewable(*shown) && !pressed) {
                // Sent on the server's own connection, so the keys come after the grab the menu
                // took; from a second connection Xvfb may hold them back until the grab ends.
                Display* own = server->display();
                const KeyCode escape = XKeysymToKeycode(own, XK_Escape);
                XTestFakeKeyEvent(own, escape, True, CurrentTime);
                XTestFakeKeyEvent(own, escape, False, CurrentTime);
                XFlush(own);
                pressed = true;
            }
        }
        if (!pressed)
            loop.queue().asyncAfter(0.02, act);
    };
    view->onRightMouseDown = [&](const ui::Event& event) {
        loop.queue().asyncAfter(0.02, act);
        loop.queue().asyncAfter(4, [&] { menu->cancelTracking(); });
        const double started = dispatch::systemUptime();
        EXPECT_EQ(ui::Menu::popUpContextMenu(menu, event, view.get()), nullptr);
        EXPECT_LT(dispatch::systemUptime() - started, 3.5) << "only the fallback ended the menu";
        returned = true;
    };
    click(150, 350, 3);
    EXPECT_TRUE(runUntil([&] { return returned; }, 5));
    EXPECT_TRUE(pressed);
}

TEST_F(X11Server, DesktopChangesReachTheWorkspaceObservers) {
    int spaces = 0, activations = 0;
    auto spaceToken = app->workspace().addObserver(ui::WorkspaceNotification::activeSpaceDidChange,
                                                   [&] { ++spaces; });
    auto activeToken = app->workspace().addObserver(
        ui::WorkspaceNotification::didActivateApplication, [&] { ++activations; });
    const ::Window root = DefaultRootWindow(user);
    const long desktop = 1;
    XChangeProperty(user, root, XInternAtom(user, "_NET_CURRENT_DESKTOP", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&desktop), 1);
    XFlush(user);
    EXPECT_TRUE(runUntil([&] { return spaces == 1; }));
    const long active = long(root);
    XChangeProperty(user, root, XInternAtom(user, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&active), 1);
    XFlush(user);
    EXPECT_TRUE(runUntil([&] { return activations == 1; }));
    EXPECT_EQ(spaces, 1);
    app->workspace().removeObserver(spaceToken);
    app->workspace().removeObserver(activeToken);
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

TEST_F(X11Server, WindowsOnAllSpacesAreSticky) {
    auto window = std::make_shared<ui::Panel>(gfx::Rect{10, 10, 50, 50}, ui::Style::borderless);
    window->setCollectionBehavior(ui::Collection::canJoinAllSpaces);
    window->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*window); }));
    Display* display = server->display();
    const ::Window xid = *server->xWindow(*window->windowNumber());
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, xid, XInternAtom(display, "_NET_WM_STATE", False), 0, 16, False,
                       XA_ATOM, &type, &format, &count, &remaining, &data);
    const Atom* states = reinterpret_cast<const Atom*>(data);
    const Atom sticky = XInternAtom(display, "_NET_WM_STATE_STICKY", False);
    EXPECT_TRUE(std::find(states, states + count, sticky) != states + count);
    if (data)
        XFree(data);
}

} // namespace
