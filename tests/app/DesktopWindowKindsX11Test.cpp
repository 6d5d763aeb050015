// The whole program on the desktops users run it on (a tiling manager with its bar, a stacking
// manager with "show desktop", xfwm4 without its compositor, no manager at all), beside another
// program's window standing for the user's terminal: nothing of ours is tiled or hidden, the
// details hold the keyboard and close when the user clicks the other program, and a drag-out
// leaves the user's window its focus. A picture of the screen is kept at every step.

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that gtest's own names would hit.
// clang-format off
#include "PulsedeckProgram.h"
#include "support/DesktopSession.h"
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;
using testsupport::Desktop;
using testsupport::PixelArea;

// A window of a program, wherever its window manager keeps it in the tree.
struct ClientWindow {
    ::Window window = 0;
    PixelArea area;
    bool viewable = false;
    bool overrideRedirect = false;
    std::string type;
};

std::string typeOf(Display* display, ::Window window) {
    const auto types =
        testsupport::windowProperty(display, window, "_NET_WM_WINDOW_TYPE", XA_ATOM, 4);
    if (types.empty())
        return "";
    char* name = XGetAtomName(display, Atom(types.front()));
    std::string type = name ? name : "";
    if (name)
        XFree(name);
    return type.substr(std::string("_NET_WM_WINDOW_TYPE_").size());
}

// The windows whose class is `program`.
std::vector<ClientWindow> windowsOf(Display* display, const std::string& program) {
    std::vector<ClientWindow> found;
    for (const ::Window window : windowsNamed(display, program, DefaultRootWindow(display))) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes))
            found.push_back({window, testsupport::rootArea(display, window),
                             attributes.map_state == IsViewable,
                             attributes.override_redirect == True, typeOf(display, window)});
    }
    return found;
}

// Our shown window of a type, the largest when several are shown.
std::optional<ClientWindow> shown(Display* display, const std::string& type,
                                  int minimumHeight = 3) {
    std::optional<ClientWindow> best;
    for (const auto& window : windowsOf(display, "pulsedeck"))
        if (window.viewable && window.type == type && window.area.height >= minimumHeight &&
            (!best || window.area.height > best->area.height))
            best = window;
    return best;
}

// The size a window asks for in its hints (minimum = maximum for a fixed one); none without.
std::optional<std::pair<int, int>> fixedSize(Display* display, ::Window window) {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(display, window, &hints, &supplied) ||
        (hints.flags & (PMinSize | PMaxSize)) != (PMinSize | PMaxSize) ||
        hints.min_width != hints.max_width || hints.min_height != hints.max_height)
        return std::nullopt;
    return std::pair{hints.min_width, hints.min_height};
}

struct DesktopCase {
    const char* name;
    Desktop desktop;
    // Whether the manager offers "show desktop", which is then turned on for a click.
    bool showsDesktop;
};

class DesktopWindowKinds : public ::testing::TestWithParam<DesktopCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(programPath())) << "build the pulsedeck target";
        ASSERT_NO_FATAL_FAILURE(testsupport::lookAtServer(xvfb, connection, 0x2e6b8f));
        display = connection.get();
        session.emplace(xvfb, GetParam().desktop);
        ASSERT_TRUE(session->isReady()) << session->failure();
    }

    bool managed() const { return GetParam().desktop != Desktop::bare; }

    void screenshot(const std::string& step) {
        const std::string name =
            std::string("desktop-kinds-") + GetParam().name + "-" + step + ".png";
        EXPECT_TRUE(testsupport::capture(display, DefaultRootWindow(display), 0, 0, xvfb.width(),
                                         xvfb.height())
                        .writePng(testsupport::artifactPath(name)))
            << name;
    }

    // The user's own window: xlogo standing for a terminal.
    void startUsersWindow() {
        user.emplace(
            std::vector<std::string>{"xlogo", "-geometry", "420x300+120+420"},
            std::vector<std::pair<std::string, std::string>>{{"DISPLAY", xvfb.displayName()}});
        ASSERT_TRUE(waitFor(
            [&] {
                const auto found = windowsOf(display, "xlogo");
                if (found.empty())
                    return false;
                // A manager still starting may let a first map request pass: ask again.
                if (!found.front().viewable) {
                    XMapWindow(display, found.front().window);
                    XFlush(display);
                    return false;
                }
                usersWindow = found.front();
                return true;
            },
            10s))
            << "xlogo shows";
        giveUsersWindowTheFocus();
        ASSERT_TRUE(waitFor([&] { return usersWindowHasFocus(); }, 5s));
        usersWidth = windowsOf(display, "xlogo").front().area.width;
    }

    // As the user going to the other program: its manager activates it, the server focuses it.
    void giveUsersWindowTheFocus() {
        if (managed()) {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = usersWindow.window;
            event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
            event.xclient.format = 32;
            event.xclient.data.l[0] = 2; // from a pager: the user's choice
            XSendEvent(display, DefaultRootWindow(display), False,
                       SubstructureRedirectMask | SubstructureNotifyMask, &event);
        }
        XSetInputFocus(display, usersWindow.window, RevertToPointerRoot, CurrentTime);
        XFlush(display);
    }

    ::Window focused() const {
        ::Window window = 0;
        int revert = 0;
        XGetInputFocus(display, &window, &revert);
        return window;
    }
    bool usersWindowHasFocus() const { return focused() == usersWindow.window; }
    int usersWindowWidth() const {
        const auto found = windowsOf(display, "xlogo");
        return found.empty() ? -1 : found.front().area.width;
    }

    // The strip's left edge on the root: where the dock shows it, at its left while the
    // window it has is wider than the one it asked for and the rest is not drawn, else at the
    // right end.
    int stripLeft(const ClientWindow& dock) const {
        const auto asked = fixedSize(display, dock.window);
        const int width = asked ? asked->first : dock.area.width;
        const int probeY = dock.area.y + dock.area.height / 2;
        const bool drawnAtRight = testsupport::pixelAt(display, DefaultRootWindow(display),
                                                       dock.area.x + dock.area.width - 30,
                                                       probeY) != testsupport::Rgb{0, 0, 0};
        return drawnAtRight ? dock.area.x + dock.area.width - width : dock.area.x;
    }

    void moveTo(int x, int y) {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XFlush(display);
    }
    void button(bool down) {
        XTestFakeButtonEvent(display, 1, down ? True : False, CurrentTime);
        XFlush(display);
    }
    void click(int x, int y) {
        moveTo(x, y);
        std::this_thread::sleep_for(60ms);
        button(true);
        std::this_thread::sleep_for(60ms);
        button(false);
    }
    void press(KeySym symbol) {
        testsupport::fakeKey(display, symbol, true);
        testsupport::fakeKey(display, symbol, false);
    }
    void showDesktop(bool on) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = DefaultRootWindow(display);
        event.xclient.message_type = XInternAtom(display, "_NET_SHOWING_DESKTOP", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = on ? 1 : 0;
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XFlush(display);
    }

    // The details: our pop-up taller than a menu bar, shown, at the size they drew.
    std::optional<ClientWindow> details() const { return shown(display, "POPUP_MENU", 150); }

    testsupport::XvfbServer xvfb{1280, 800};
    testsupport::TemporaryDirectory config;
    DisplayConnection connection;
    Display* display = nullptr;
    std::optional<testsupport::DesktopSession> session;
    std::optional<testsupport::ChildProcess> user;
    ClientWindow usersWindow;
    int usersWidth = 0;
};

TEST_P(DesktopWindowKinds, NothingOfOursIsTiledOrHiddenAndTheKeyboardGoesWhereTheUserMeansIt) {
    ASSERT_NO_FATAL_FAILURE(startUsersWindow());
    screenshot("0-users-window");

    // A first launch: the details open, then the tip over them, each at its own size.
    Program program(environmentFor(xvfb, config.path(), xvfb.displayName()),
                    Start{.errors = testsupport::artifactPath(std::string("desktop-kinds-") +
                                                              GetParam().name + "-errors.txt")});
    ASSERT_TRUE(program.started());
    std::optional<ClientWindow> tip;
    ASSERT_TRUE(waitFor([&] { return (tip = shown(display, "DIALOG", 100)) && details(); }, 20s))
        << "the first-run tip and details";
    ASSERT_TRUE(waitFor([&] { return focused() == shown(display, "DIALOG", 100)->window; }, 5s))
        << "the tip takes the keyboard";
    tip = shown(display, "DIALOG", 100);
    const auto tipSize = fixedSize(display, tip->window);
    ASSERT_TRUE(tipSize) << "the tip's size is fixed";
    EXPECT_EQ(tip->area.width, tipSize->first) << "the tip is not tiled";
    EXPECT_EQ(tip->area.height, tipSize->second);
    const auto opened = details();
    EXPECT_TRUE(opened->overrideRedirect) << "no manager places the details";
    EXPECT_LT(opened->area.width, 500) << "the details keep their own size";
    EXPECT_TRUE(opened->area.x >= tip->area.x + tip->area.width ||
                opened->area.x + opened->area.width <= tip->area.x)
        << "the tip stands beside the details, its button in sight";
    EXPECT_EQ(usersWindowWidth(), usersWidth) << "the user's window keeps its width";
    screenshot("1-first-launch-tip");

    // The tip's button (Return) closes it, and the details have the keyboard: Escape closes them.
    press(XK_Return);
    ASSERT_TRUE(waitFor([&] { return !shown(display, "DIALOG", 100); }, 5s)) << "the tip closes";
    EXPECT_TRUE(waitFor([&] { return details() && focused() == details()->window; }, 5s))
        << "the details have the keyboard after the tip";
    screenshot("2-details-after-tip");
    press(XK_Escape);
    EXPECT_TRUE(waitFor([&] { return !details(); }, 5s)) << "Escape reached the details";

    std::optional<ClientWindow> dock;
    ASSERT_TRUE(waitFor([&] { return (dock = shown(display, "DOCK")).has_value(); }, 5s));
    const int left = stripLeft(*dock);
    const int middle = dock->area.y + dock->area.height / 2;

    // A hover over the strip shows its tool tip, floating at its own size.
    moveTo(left + 30, middle);
    std::optional<ClientWindow> toolTip;
    ASSERT_TRUE(waitFor([&] { return (toolTip = shown(display, "TOOLTIP")).has_value(); }, 5s))
        << "the strip's tool tip";
    EXPECT_TRUE(toolTip->overrideRedirect);
    EXPECT_LT(toolTip->area.height, 100);
    EXPECT_EQ(usersWindowWidth(), usersWidth) << "a tool tip takes no room from the user's window";
    screenshot("3-tool-tip");

    // A module dragged out and copied: a floating bar at its own height, and the user's window
    // keeps the keyboard.
    ASSERT_TRUE(waitFor([&] { return usersWindowHasFocus(); }, 5s));
    const int dropX = 700, dropY = 330;
    moveTo(left + 14, middle);
    std::this_thread::sleep_for(80ms);
    button(true);
    for (int step = 1; step <= 12; ++step) {
        std::this_thread::sleep_for(60ms);
        moveTo(left + 14 + (dropX - left - 14) * step / 12, middle + (dropY - middle) * step / 12);
    }
    std::this_thread::sleep_for(150ms);
    button(false);
    std::optional<ClientWindow> dropMenu;
    ASSERT_TRUE(
        waitFor([&] { return (dropMenu = shown(display, "POPUP_MENU", 40)).has_value(); }, 5s))
        << "the drop menu";
    screenshot("4-drop-menu");
    click(dropMenu->area.x + 40, dropMenu->area.y + 5 + 11); // "Copy to Floating Bar"
    std::optional<ClientWindow> floating;
    ASSERT_TRUE(waitFor([&] { return (floating = shown(display, "UTILITY", 10)).has_value(); }, 5s))
        << "the floating bar";
    // The bar may first map at the strip's height and take its own with its first drawing.
    auto floatingSize = fixedSize(display, floating->window);
    waitFor(
        [&] {
            floatingSize = fixedSize(display, floating->window);
            return floatingSize && floatingSize->second == 29;
        },
        5s);
    ASSERT_TRUE(floatingSize) << "the floating bar's size is fixed";
    EXPECT_EQ(floatingSize->second, 29);
    // i3 first gives a floating window at least its 50-px floating minimum, then takes the bar's
    // own request as asked.
    EXPECT_TRUE(waitFor(
        [&] {
            floating = shown(display, "UTILITY", 10);
            return floating && floating->area.height == 29;
        },
        5s))
        << "the floating bar is 29 px tall, not " << (floating ? floating->area.height : -1);
    EXPECT_TRUE(usersWindowHasFocus()) << "the user's window keeps the keyboard";
    EXPECT_EQ(usersWindowWidth(), usersWidth);
    screenshot("5-floating-bar");

    // A click opens the details with the keyboard; a click on the other program closes them and
    // leaves it the keyboard.
    giveUsersWindowTheFocus();
    ASSERT_TRUE(waitFor([&] { return usersWindowHasFocus(); }, 5s));
    click(left + 30, middle);
    ASSERT_TRUE(waitFor([&] { return details() && focused() == details()->window; }, 5s))
        << "the details open with the keyboard";
    EXPECT_EQ(usersWindowWidth(), usersWidth);
    screenshot("6-details");
    const auto users = windowsOf(display, "xlogo").front().area;
    click(users.x + 60, users.y + users.height / 2);
    EXPECT_TRUE(waitFor([&] { return !details(); }, 5s)) << "the click closes the details";
    EXPECT_TRUE(waitFor([&] { return usersWindowHasFocus(); }, 5s));

    if (GetParam().showsDesktop) {
        // "Show desktop" on: a click on the strip still shows the details.
        showDesktop(true);
        EXPECT_TRUE(waitFor([&] { return !windowsOf(display, "xlogo").front().viewable; }, 5s))
            << "the desktop is shown";
        click(left + 30, middle);
        EXPECT_TRUE(waitFor([&] { return details().has_value(); }, 5s))
            << "the details show during show desktop";
        screenshot("7-show-desktop-details");
        press(XK_Escape);
        EXPECT_TRUE(waitFor([&] { return !details(); }, 5s));
        showDesktop(false);
    }
    EXPECT_TRUE(program.isRunning());
}

INSTANTIATE_TEST_SUITE_P(Desktops, DesktopWindowKinds,
                         ::testing::Values(DesktopCase{"i3", Desktop::i3WithBar, false},
                                           DesktopCase{"openbox", Desktop::openbox, true},
                                           DesktopCase{"xfwm4", Desktop::xfwm4WithoutCompositor,
                                                       false},
                                           DesktopCase{"bare", Desktop::bare, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
