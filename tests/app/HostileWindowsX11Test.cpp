// Another program on the display moves, resizes and unmaps the program's windows, as any X client
// may: each window comes back where and as large as it was, and none of it costs memory. The
// screen shrinks under open details, or is tiny from the start: every window stays on it.

#include "support/TestPaths.h"

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that gtest's own names would hit.
// clang-format off
#include "PulsedeckProgram.h"
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>
// clang-format on

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <utility>

namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;

long residentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    return -1;
}

// Our shown window of a _NET_WM_WINDOW_TYPE, other than the details' one-pixel anchor.
std::optional<Placed> shownOfType(Display* display, const char* type) {
    const long wanted = long(XInternAtom(display, type, False));
    for (const Placed& window : placedWindows(display))
        if (window.area.height > 2 &&
            testsupport::windowProperty(display, window.window, "_NET_WM_WINDOW_TYPE", XA_ATOM,
                                        8) == std::vector<long>{wanted})
            return window;
    return std::nullopt;
}

std::string describe(const std::optional<Placed>& window) {
    if (!window)
        return "not shown";
    const auto& area = window->area;
    return std::to_string(area.width) + "x" + std::to_string(area.height) + " at " +
           std::to_string(area.x) + "," + std::to_string(area.y);
}

// A click on the middle of the strip, which opens the details.
void clickStrip(Display* display, const TopLevel& bar) {
    XTestFakeMotionEvent(display, -1, bar.x + int(bar.width) / 2, bar.y + 12, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
}

// Shrinks the screen of a server with one output to width × height, as `xrandr --fb` with the
// output's mode changed to match.
void shrinkScreen(Display* display, int width, int height) {
    const ::Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    std::string name = std::to_string(width) + "x" + std::to_string(height);
    XRRModeInfo info{};
    info.width = unsigned(width);
    info.height = unsigned(height);
    info.name = name.data();
    info.nameLength = unsigned(name.size());
    info.dotClock = 60ul * unsigned(width) * unsigned(height);
    info.hTotal = unsigned(width);
    info.vTotal = unsigned(height);
    const RRMode mode = XRRCreateMode(display, root, &info);
    XRRAddOutputMode(display, resources->outputs[0], mode);
    XRRSetCrtcConfig(display, resources, resources->crtcs[0], CurrentTime, 0, 0, None, RR_Rotate_0,
                     nullptr, 0);
    XRRSetScreenSize(display, root, width, height, width / 4, height / 4);
    XRRSetCrtcConfig(display, resources, resources->crtcs[0], CurrentTime, 0, 0, mode, RR_Rotate_0,
                     resources->outputs, 1);
    XRRFreeScreenResources(resources);
    XSync(display, False);
}

using HostileClient = ProgramOnDisplay;

TEST_F(HostileClient, WindowsComeBackAsTheyWereAndCostNoMemory) {
    markLaunchedBefore(config_.path(),
                       R"(, "floatingMode": "copy", "floatingFrame": "{{200, 500}, {0, 0}}")");
    Program program(xvfb_, config_.path());
    const auto bar = waitForStatusBar(display(), 30s);
    ASSERT_TRUE(bar);
    ASSERT_TRUE(waitForSample(display(), *bar, 10s));
    clickStrip(display(), *bar);

    const std::pair<const char*, const char*> windows[] = {
        {"strip", "_NET_WM_WINDOW_TYPE_DOCK"},
        {"details", "_NET_WM_WINDOW_TYPE_POPUP_MENU"},
        {"floating bar", "_NET_WM_WINDOW_TYPE_UTILITY"}};
    const std::pair<const char*, std::function<void(::Window)>> attacks[] = {
        {"XResizeWindow 32767x32767",
         [&](::Window w) { XResizeWindow(display(), w, 32767, 32767); }},
        {"XResizeWindow 1280x800", [&](::Window w) { XResizeWindow(display(), w, 1280, 800); }},
        {"XResizeWindow 1x1", [&](::Window w) { XResizeWindow(display(), w, 1, 1); }},
        {"XMoveWindow -30000,-30000",
         [&](::Window w) { XMoveWindow(display(), w, -30000, -30000); }},
        {"XUnmapWindow", [&](::Window w) { XUnmapWindow(display(), w); }}};
    for (const auto& [window, kind] : windows) {
        const char* type = kind; // clang 14 lets no lambda capture a structured binding
        ASSERT_TRUE(waitFor([&] { return shownOfType(display(), type).has_value(); }, 10s))
            << window << " shows";
    }
    std::this_thread::sleep_for(500ms);
    const long before = residentKilobytes(program.pid());
    constexpr long allowance = 10 * 1024;
    for (const auto& [window, kind] : windows)
        for (const auto& [attack, act] : attacks) {
            const char* type = kind;
            const auto target = shownOfType(display(), type);
            ASSERT_TRUE(target) << window << " shows before " << attack;
            act(target->window);
            XSync(display(), False);
            long resident = before;
            std::optional<Placed> now;
            const bool back = waitFor(
                [&] {
                    resident = residentKilobytes(program.pid());
                    now = shownOfType(display(), type);
                    // A new sample may widen or narrow the strip and the bar by a few pixels
                    // meanwhile: either end stays where it was.
                    return resident - before > allowance ||
                           (now && now->window == target->window &&
                            (now->area.x == target->area.x ||
                             now->area.x + now->area.width ==
                                 target->area.x + target->area.width) &&
                            std::abs(now->area.width - target->area.width) <= 16 &&
                            now->area.y == target->area.y &&
                            now->area.height == target->area.height);
                },
                2s);
            std::cout << attack << " on the " << window << ": " << describe(target) << " -> "
                      << describe(now) << ", resident " << before << " -> " << resident << " kB\n";
            ASSERT_LE(resident - before, allowance) << attack << " on the " << window;
            ASSERT_TRUE(program.isRunning()) << attack << " on the " << window;
            EXPECT_TRUE(back) << attack << " on the " << window << ": " << describe(now);
        }

    // A program that unmaps the floating bar each time it shows, as a manager that will have it
    // so, and moves it away meanwhile, wins after a few tries: the bar comes back, where it
    // stood before it shows, but not for ever.
    const auto floating = shownOfType(display(), "_NET_WM_WINDOW_TYPE_UTILITY");
    ASSERT_TRUE(floating);
    const auto takeAway = [&] {
        XUnmapWindow(display(), floating->window);
        XMoveWindow(display(), floating->window, -30000, -30000);
    };
    XSelectInput(display(), floating->window, StructureNotifyMask);
    takeAway();
    XSync(display(), False);
    int comebacks = 0, counted = 0, shownAway = 0;
    std::pair<int, int> standing{-30000, -30000};
    auto lastComeback = std::chrono::steady_clock::now();
    waitFor(
        [&] {
            for (XEvent event{}; XPending(display());) {
                XNextEvent(display(), &event);
                if (event.type == ConfigureNotify && event.xconfigure.window == floating->window)
                    standing = {event.xconfigure.x, event.xconfigure.y};
                if (event.type == MapNotify && event.xmap.window == floating->window) {
                    ++comebacks;
                    shownAway += standing != std::pair{floating->area.x, floating->area.y};
                    takeAway();
                }
            }
            XSync(display(), False);
            if (std::exchange(counted, comebacks) != comebacks)
                lastComeback = std::chrono::steady_clock::now();
            return std::chrono::steady_clock::now() - lastComeback > 2s;
        },
        10s);
    EXPECT_GE(comebacks, 1);
    EXPECT_LE(comebacks, 3);
    EXPECT_EQ(shownAway, 0);

    // One that keeps the details' resizes to itself (as one program may) and answers each with a
    // size of its own wins after a few tries too: the details ask again for their size, but not
    // for ever.
    const auto details = shownOfType(display(), "_NET_WM_WINDOW_TYPE_POPUP_MENU");
    ASSERT_TRUE(details);
    XSelectInput(display(), details->window, ResizeRedirectMask);
    XResizeWindow(display(), details->window, 100, 100);
    XSync(display(), False);
    int asks = 0, answers = 0;
    waitFor(
        [&] {
            for (XEvent event{}; XPending(display());) {
                XNextEvent(display(), &event);
                const XResizeRequestEvent& asked = event.xresizerequest;
                if (event.type != ResizeRequest || asked.window != details->window)
                    continue;
                // A new sample may change the details' size meanwhile: that is no ask again.
                asks += asked.width == details->area.width && asked.height == details->area.height;
                XResizeWindow(display(), details->window, 100 + unsigned(++answers % 2), 100);
            }
            XSync(display(), False);
            return false;
        },
        2s);
    EXPECT_GE(asks, 1);
    EXPECT_LE(asks, 3);
}

// How far left of the strip's right end the details stand while they show whole on a screen of
// this size, hanging from the strip at its right end.
std::optional<int> detailsFromStripEnd(Display* display, int width, int height) {
    const auto strip = shownOfType(display, "_NET_WM_WINDOW_TYPE_DOCK");
    const auto details = shownOfType(display, "_NET_WM_WINDOW_TYPE_POPUP_MENU");
    if (!strip || !details || strip->area.x < 0 || strip->area.x + strip->area.width != width ||
        details->area.y != strip->area.y + strip->area.height || details->area.x < 0 ||
        details->area.x + details->area.width > width ||
        details->area.y + details->area.height > height)
        return std::nullopt;
    return width - details->area.x;
}

TEST_F(HostileClient, OpenDetailsFollowTheStripWhenTheScreenShrinks) {
    markLaunchedBefore(config_.path());
    Program program(xvfb_, config_.path());
    const auto bar = waitForStatusBar(display(), 30s);
    ASSERT_TRUE(bar && waitForSample(display(), *bar, 10s));
    clickStrip(display(), *bar);
    std::optional<int> fromEnd;
    ASSERT_TRUE(waitFor(
        [&] { return (fromEnd = detailsFromStripEnd(display(), 1280, 800)).has_value(); }, 10s));
    shrinkScreen(display(), 800, 600);
    EXPECT_TRUE(waitFor([&] { return detailsFromStripEnd(display(), 800, 600) == fromEnd; }, 10s))
        << describe(shownOfType(display(), "_NET_WM_WINDOW_TYPE_POPUP_MENU"));
    // The server took the pointer along to the screen's new edge, over the strip's right end,
    // and the strip's tip shows from there, not from where the pointer stood on it before.
    std::optional<Placed> tip;
    EXPECT_TRUE(waitFor(
        [&] { return (tip = shownOfType(display(), "_NET_WM_WINDOW_TYPE_TOOLTIP")).has_value(); },
        10s));
    ::Window root = 0, child = 0;
    int pointerX = 0, pointerY = 0, x = 0, y = 0;
    unsigned buttons = 0;
    XQueryPointer(display(), DefaultRootWindow(display()), &root, &child, &pointerX, &pointerY, &x,
                  &y, &buttons);
    if (tip) {
        EXPECT_TRUE(tip->area.x <= pointerX && pointerX < tip->area.x + tip->area.width)
            << describe(tip) << ", the pointer at " << pointerX;
    }
    if (const auto moved = statusBar(display()))
        waitForSample(display(), *moved, 5s);
    EXPECT_TRUE(testsupport::capture(display(), DefaultRootWindow(display()), 0, 0, 800, 600)
                    .writePng(testsupport::artifactPath("hostile-shrunk-screen.png")));
}

class TinyScreen : public ProgramOnDisplay {
protected:
    TinyScreen() : ProgramOnDisplay(320, 200) {}
};

// The strip is wider than the screen: its right end stays at the screen's edge, no window is
// wider than the screen, and the details are no taller than the room below the strip.
TEST_F(TinyScreen, TheStripAndTheDetailsStayOnIt) {
    markLaunchedBefore(config_.path());
    Program program(xvfb_, config_.path());
    std::optional<TopLevel> bar;
    // Once its figures are in, the strip is wider than the screen.
    EXPECT_TRUE(waitFor(
        [&] {
            bar = statusBar(display());
            return bar && bar->x == 0 && bar->width == 320;
        },
        30s));
    ASSERT_TRUE(bar && waitForSample(display(), *bar, 10s));
    for (const Placed& window : placedWindows(display()))
        EXPECT_LE(window.area.width, 320) << "no window is wider than the screen";
    clickStrip(display(), *bar);
    EXPECT_TRUE(waitFor([&] { return detailsFromStripEnd(display(), 320, 200).has_value(); }, 10s))
        << describe(shownOfType(display(), "_NET_WM_WINDOW_TYPE_POPUP_MENU"));
    screenshot("hostile-tiny-screen.png");
}

} // namespace
