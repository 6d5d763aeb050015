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
#include <X11/keysym.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;
using testsupport::Desktop;

class OnWaylandDesktop : public ProgramOnDisplay {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramOnDisplay::SetUp());
        markLaunchedBefore(config_.path());
    }

    void moveTo(int x, int y) {
        XTestFakeMotionEvent(display(), -1, x, y, CurrentTime);
        XFlush(display());
    }
    void click(int x, int y, unsigned button = 1) {
        moveTo(x, y);
        std::this_thread::sleep_for(100ms);
        XTestFakeButtonEvent(display(), button, True, CurrentTime);
        XTestFakeButtonEvent(display(), button, False, CurrentTime);
        XFlush(display());
    }

    // The light body of a menu or a bar, not the desktop nor the shadow weston draws around it.
    static bool light(const testsupport::Rgb& pixel) {
        return pixel.red > 180 && pixel.green > 180 && pixel.blue > 180;
    }
    // What X says is shown reaches the screen, and takes the pointer there, only once the
    // compositor has drawn it.
    bool showsLightAt(int x, int y) const {
        return light(testsupport::pixelAt(display(), DefaultRootWindow(display()), x, y));
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

    // The one dock of ours on `programs`, once it stands whole at the right end of the screen
    // with its top at `top`.
    std::optional<Placed> stripAtTheRight(Display* programs, int top) {
        std::optional<Placed> strip;
        const bool placed = waitFor(
            [&] {
                const auto found = docks(programs);
                strip = found.size() == 1 ? std::optional(found[0]) : std::nullopt;
                return strip && strip->area.y == top && strip->area.x > 0 &&
                       strip->area.x + strip->area.width == xvfb_.width();
            },
            20s);
        EXPECT_TRUE(placed) << "the strip at the right end, its top at " << top << "; last seen "
                            << (strip ? std::to_string(strip->area.x) + "," +
                                            std::to_string(strip->area.y) + " " +
                                            std::to_string(strip->area.width) + " wide"
                                      : std::string("none"));
        return placed ? strip : std::nullopt;
    }

    // A click amid the strip opens the details, hanging from the strip's bottom edge; the
    // compositor shows them.
    void clickOpensTheDetailsUnder(const Placed& strip, Display* programs) {
        const auto before = screen();
        click(strip.area.x + 40, strip.area.y + strip.area.height / 2);
        std::vector<Placed> details;
        ASSERT_TRUE(waitFor(
            [&] {
                details = shownPanels(programs);
                return details.size() == 1 && details[0].area.height > 150;
            },
            10s))
            << "the details open";
        EXPECT_EQ(details[0].area.y, strip.area.y + strip.area.height);
        EXPECT_TRUE(showsAnew(details[0].area, before)) << "the compositor shows the details";
    }
};

class WaylandDesktops : public OnWaylandDesktop, public ::testing::WithParamInterface<Desktop> {};

// The strip stands at the top right, reserves the top edge over its own columns only, and a click
// that passes through the compositor opens the details under it.
TEST_P(WaylandDesktops, TheStripReservesItsColumnsAndOpensTheDetailsUnderIt) {
    testsupport::DesktopSession desktop(xvfb_, GetParam());
    ASSERT_TRUE(desktop.isReady()) << desktop.failure();
    const DisplayConnection xwayland(XOpenDisplay(desktop.displayName().c_str()));
    ASSERT_TRUE(xwayland);
    Program program(environmentFor(xvfb_, config_.path(), desktop.displayName()));
    ASSERT_TRUE(program.started());
    const auto strip = stripAtTheRight(xwayland.get(), 0);
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

    clickOpensTheDetailsUnder(*strip, xwayland.get());
    screenshot(std::string("wayland-") +
               (GetParam() == Desktop::mutterXWayland ? "mutter" : "kwin") + "-details.png");
}

INSTANTIATE_TEST_SUITE_P(Compositors, WaylandDesktops,
                         ::testing::Values(Desktop::mutterXWayland, Desktop::kwinXWayland),
                         [](const auto& info) {
                             return info.param == Desktop::mutterXWayland ? "mutter" : "KWin";
                         });

// The user's terminal, a native Wayland program, holds the keyboard.
// A click on the strip opens the details with the keyboard (Escape closes them, and Control-Q
// then quits),
// and a click on the terminal, which no X client sees, closes the details and a menu.
class WaylandKeyboard : public OnWaylandDesktop, public ::testing::WithParamInterface<Desktop> {
public:
    static std::string compositorName(Desktop desktop) {
        return desktop == Desktop::westonXWayland   ? "weston"
               : desktop == Desktop::mutterXWayland ? "mutter"
                                                    : "KWin";
    }

protected:
    // The box of what `now` shows anew below a row since `before`; none while nothing. mutter
    // dithers its desktop's gradient afresh each time it draws it whole: a step or two of a
    // channel is no change.
    static std::optional<testsupport::PixelArea>
    changedBelow(const testsupport::Capture& before, const testsupport::Capture& now, int top) {
        int left = now.width, right = -1, upper = now.height, lower = -1;
        for (int row = top; row < now.height; ++row)
            for (int column = 0; column < now.width; ++column)
                if (!testsupport::near(now.at(column, row), before.at(column, row), 8)) {
                    left = std::min(left, column);
                    right = std::max(right, column);
                    upper = std::min(upper, row);
                    lower = std::max(lower, row);
                }
        if (right < 0)
            return std::nullopt;
        return testsupport::PixelArea{left, upper, right - left + 1, lower - upper + 1};
    }
    // The screen once it holds still below a row: a compositor under load may still be drawing
    // its desktop when the strip stands.
    std::optional<testsupport::Capture> stillBelow(int top) const {
        auto last = screen();
        const bool still = waitFor(
            [&] {
                std::this_thread::sleep_for(200ms);
                auto now = screen();
                const bool same = !changedBelow(last, now, top);
                last = std::move(now);
                return same;
            },
            20s);
        return still ? std::optional(last) : std::nullopt;
    }
    void key(KeySym symbol, bool control = false) {
        if (control)
            testsupport::fakeKey(display(), XK_Control_L, true);
        testsupport::fakeKey(display(), symbol, true);
        testsupport::fakeKey(display(), symbol, false);
        if (control)
            testsupport::fakeKey(display(), XK_Control_L, false);
    }
};

TEST_P(WaylandKeyboard, TheDetailsTakeTheKeysAndAClickOnANativeWindowClosesThemAndAMenu) {
    testsupport::DesktopSession desktop(xvfb_, GetParam());
    ASSERT_TRUE(desktop.isReady()) << desktop.failure();
    const DisplayConnection xwayland(XOpenDisplay(desktop.displayName().c_str()));
    ASSERT_TRUE(xwayland);
    Program program(environmentFor(xvfb_, config_.path(), desktop.displayName()));
    ASSERT_TRUE(program.started());
    const auto strip = stripAtTheRight(xwayland.get(), 0);
    ASSERT_TRUE(strip);
    const int stripX = strip->area.x + 40, stripY = strip->area.y + strip->area.height / 2;
    const std::string name = std::string("wayland-keys-") + compositorName(GetParam());

    // The terminal, found by what it changes on the screen below the strip, once it stands
    // still (a compositor may play its opening).
    const int below = strip->area.y + strip->area.height;
    const auto empty = stillBelow(below);
    ASSERT_TRUE(empty) << "the desktop holds still";
    testsupport::ChildProcess terminal({"weston-terminal"}, desktop.waylandEnvironment());
    std::optional<testsupport::PixelArea> shown, before;
    ASSERT_TRUE(waitFor(
        [&] {
            before = std::exchange(shown, changedBelow(*empty, screen(), below));
            return shown && shown->width > 100 && shown->height > 100 && shown == before;
        },
        20s))
        << "the terminal shows";
    // Its left part: the details will hang over its middle.
    const int terminalX = shown->x + 40, terminalY = shown->y + shown->height / 2;
    screenshot(name + "-terminal.png");

    // The strip's tip, shown after a rest of the pointer on the strip, goes once the pointer
    // jumps onto the terminal, which no X window lies under.
    const auto tipShown = [&] {
        const long tip = long(XInternAtom(xwayland.get(), "_NET_WM_WINDOW_TYPE_TOOLTIP", False));
        const auto panels = shownPanels(xwayland.get());
        return std::any_of(panels.begin(), panels.end(), [&](const Placed& placed) {
            return testsupport::windowProperty(xwayland.get(), placed.window, "_NET_WM_WINDOW_TYPE",
                                               XA_ATOM, 1) == std::vector<long>{tip};
        });
    };
    moveTo(stripX, stripY);
    std::this_thread::sleep_for(100ms);
    moveTo(stripX + 1, stripY);
    const auto rested = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor(tipShown, 5s)) << "the tip shows";
    std::this_thread::sleep_until(rested + 3s);
    moveTo(terminalX, terminalY);
    EXPECT_TRUE(waitFor([&] { return !tipShown(); }, 1s)) << "the tip goes";
    screenshot(name + "-tip-gone.png");
    // The area of the latest panel we opened, and what the compositor showed there.
    testsupport::PixelArea panel;
    testsupport::Capture panelShown;
    const auto shownIn = [&](const testsupport::PixelArea& area) {
        return testsupport::capture(display(), DefaultRootWindow(display()), area.x, area.y,
                                    area.width, area.height);
    };
    // Most of an area shows something else: a panel came or went, not a title bar's colour.
    // Looked at a few times a second: reading the area as fast as the loop goes would take the
    // processor from the compositor and the program on a loaded two-core machine.
    const auto mostlyOther = [](const testsupport::Capture& a, const testsupport::Capture& b) {
        std::this_thread::sleep_for(150ms);
        std::size_t other = 0;
        for (std::size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i)
            other += a.pixels[i] != b.pixels[i];
        return !a.pixels.empty() && 2 * other > a.pixels.size();
    };
    // Closed, and taken off the screen by the compositor.
    const auto closed = [&] {
        return waitFor([&] { return shownPanels(xwayland.get()).empty(); }, 10s) &&
               waitFor([&] { return mostlyOther(shownIn(panel), panelShown); }, 10s);
    };
    // Open, shown by the compositor, and ours to type in once it has made our window active.
    const auto opens = [&](unsigned button) {
        const auto before = screen();
        click(stripX, stripY, button);
        std::vector<Placed> panels;
        const bool active = waitFor(
            [&] {
                panels = shownPanels(xwayland.get());
                const auto window =
                    testsupport::windowProperty(xwayland.get(), DefaultRootWindow(xwayland.get()),
                                                "_NET_ACTIVE_WINDOW", XA_WINDOW, 1);
                return !panels.empty() && !window.empty() &&
                       isProgramWindow(xwayland.get(), ::Window(window.front()));
            },
            10s);
        if (!active)
            return false;
        panel = panels.front().area;
        testsupport::Capture was{panel.width, panel.height, {}};
        for (int row = 0; row < panel.height; ++row)
            for (int column = 0; column < panel.width; ++column)
                was.pixels.push_back(
                    before.pixels[std::size_t(panel.y + row) * std::size_t(before.width) +
                                  std::size_t(panel.x + column)]);
        return waitFor(
            [&] {
                panelShown = shownIn(panel);
                return mostlyOther(panelShown, was);
            },
            10s);
    };

    for (const auto& [button, what] : {std::pair{1u, "details"}, std::pair{3u, "menu"}}) {
        ASSERT_TRUE(opens(button)) << what;
        screenshot(name + "-" + what + ".png");
        key(XK_Escape);
        EXPECT_TRUE(closed()) << "Escape reached the " << what;
        ASSERT_TRUE(opens(button)) << what;
        click(terminalX, terminalY);
        EXPECT_TRUE(closed()) << "a click on the terminal closes the " << what;
    }

    // The keys stay with the program once the details close.
    ASSERT_TRUE(opens(1)) << "the details";
    key(XK_Escape);
    EXPECT_TRUE(closed()) << "Escape reached the details";
    key(XK_q, true);
    const auto status = program.waitForExit(10s);
    ASSERT_TRUE(status) << "Control-Q after Escape quits";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

INSTANTIATE_TEST_SUITE_P(Compositors, WaylandKeyboard,
                         ::testing::Values(Desktop::westonXWayland, Desktop::mutterXWayland,
                                           Desktop::kwinXWayland),
                         [](const auto& info) {
                             return WaylandKeyboard::compositorName(info.param);
                         });

// weston's own panel along the top is no X window, and weston publishes no work area: the strip
// stands right below the panel's 32 rows, shown there whole, and takes a click. (Without the
// panel, the weston test of the desktop placements finds it at the very top.)
TEST_F(OnWaylandDesktop, UnderWestonsPanelTheStripStandsBelowItShownAndClickable) {
    testsupport::DesktopSession desktop(xvfb_, Desktop::westonWithPanel);
    ASSERT_TRUE(desktop.isReady()) << desktop.failure();
    const DisplayConnection xwayland(XOpenDisplay(desktop.displayName().c_str()));
    ASSERT_TRUE(xwayland);
    Program program(environmentFor(xvfb_, config_.path(), desktop.displayName()));
    ASSERT_TRUE(program.started());
    constexpr int panelHeight = 32;
    std::optional<Placed> strip = stripAtTheRight(xwayland.get(), panelHeight);
    ASSERT_TRUE(strip) << "the strip below weston's panel at the right end";
    // Shown: across the strip's middle row, weston draws it over its desktop's colour.
    const auto desktopColour =
        testsupport::pixelAt(display(), DefaultRootWindow(display()), 8, xvfb_.height() - 8);
    const int middle = strip->area.y + strip->area.height / 2;
    EXPECT_TRUE(waitFor(
        [&] {
            const auto row = testsupport::capture(display(), DefaultRootWindow(display()),
                                                  strip->area.x, middle, strip->area.width, 1);
            int drawn = 0;
            for (int column = 0; column < row.width; ++column)
                drawn += row.at(column, 0) != desktopColour ? 1 : 0;
            return drawn > row.width * 9 / 10;
        },
        10s));
    screenshot("wayland-weston-panel-strip.png");
    clickOpensTheDetailsUnder(*strip, xwayland.get());
    screenshot("wayland-weston-panel-details.png");
}

// Under weston, a module pulled out of the strip comes along under the pointer and leaves no copy
// of the strip where the pull began (weston keeps a window it took for a managed one where it
// first showed it), with no tooltip on the way; moved into a floating bar and dragged back, the
// strip shows again at the top right, drawn whole as at a fresh start, and again once a module
// is switched off in the details: weston shows the strip's window, made again at its new place,
// only after its first pictures, and fades the window it replaces out over the gaps.
TEST_F(OnWaylandDesktop, UnderWestonAPulledOutStripFollowsThePointerAndDocksBack) {
    testsupport::DesktopSession desktop(xvfb_, Desktop::westonXWayland);
    ASSERT_TRUE(desktop.isReady()) << desktop.failure();
    const DisplayConnection xwayland(XOpenDisplay(desktop.displayName().c_str()));
    ASSERT_TRUE(xwayland);
    Program program(environmentFor(xvfb_, config_.path(), desktop.displayName()));
    ASSERT_TRUE(program.started());
    const auto strip = stripAtTheRight(xwayland.get(), 0);
    ASSERT_TRUE(strip);
    const auto desktopColour =
        testsupport::pixelAt(display(), DefaultRootWindow(display()), 8, xvfb_.height() - 8);
    // How many columns of a screen row show something over the desktop.
    const auto drawnAlong = [&](int x, int y, int width) {
        const auto row =
            testsupport::capture(display(), DefaultRootWindow(display()), x, y, width, 1);
        int drawn = 0;
        for (int column = 0; column < row.width; ++column)
            drawn += row.at(column, 0) != desktopColour ? 1 : 0;
        return drawn;
    };
    const auto tooltips = [&] {
        const long tooltip =
            long(XInternAtom(xwayland.get(), "_NET_WM_WINDOW_TYPE_TOOLTIP", False));
        int shown = 0;
        for (const auto& window : shownPanels(xwayland.get()))
            shown += testsupport::windowProperty(xwayland.get(), window.window,
                                                 "_NET_WM_WINDOW_TYPE", XA_ATOM, 8)
                                 .front() == tooltip
                         ? 1
                         : 0;
        return shown;
    };
    const int pressX = strip->area.x + 14, pressY = strip->area.height / 2;
    const int step = 40;
    ASSERT_TRUE(waitFor(
        [&] {
            return drawnAlong(strip->area.x, pressY, strip->area.width) >
                   strip->area.width * 9 / 10;
        },
        10s))
        << "weston shows the strip";
    moveTo(pressX, pressY);
    std::this_thread::sleep_for(100ms);
    XTestFakeButtonEvent(display(), 1, True, CurrentTime);
    XFlush(display());
    int seenTooltips = 0;
    for (int i = 1; i <= 10; ++i) {
        moveTo(pressX - i * step, pressY + i * step);
        std::this_thread::sleep_for(60ms);
        seenTooltips += tooltips();
    }
    const int holdX = pressX - 10 * step, holdY = pressY + 10 * step;
    // Torn off: the preview alone stands under the pointer.
    std::vector<Placed> preview;
    EXPECT_TRUE(waitFor(
        [&] {
            preview = shownPanels(xwayland.get());
            return preview.size() == 1 &&
                   drawnAlong(holdX, holdY, preview[0].area.width / 2) > preview[0].area.width / 3;
        },
        10s))
        << "weston shows the preview under the pointer";
    const int firstRow = pressY + step;
    EXPECT_TRUE(waitFor([&] { return drawnAlong(0, firstRow, xvfb_.width()) == 0; }, 5s))
        << "nothing is left where the pull began";
    EXPECT_EQ(seenTooltips, 0) << "no tooltip on the way";
    screenshot("wayland-weston-pull-out.png");
    XTestFakeButtonEvent(display(), 1, False, CurrentTime);
    XFlush(display());

    // "Move to Floating Bar": the strip leaves the menu bar for a bar where it fell.
    std::vector<Placed> menu;
    ASSERT_TRUE(waitFor(
        [&] {
            menu = shownPanels(xwayland.get());
            return menu.size() == 2 && std::any_of(menu.begin(), menu.end(), [](const Placed& p) {
                       return p.area.height > 40;
                   });
        },
        10s))
        << "the drop menu";
    const auto dropMenu =
        *std::find_if(menu.begin(), menu.end(), [](const Placed& p) { return p.area.height > 40; });
    const int chooseX = dropMenu.area.x + 40, chooseY = dropMenu.area.y + 5 + 22 + 11;
    ASSERT_TRUE(waitFor([&] { return showsLightAt(chooseX, chooseY); }, 10s))
        << "weston shows the drop menu";
    click(chooseX, chooseY);
    ASSERT_TRUE(waitFor([&] { return docks(xwayland.get()).empty(); }, 10s))
        << "the strip leaves the menu bar";
    std::vector<Placed> bar;
    ASSERT_TRUE(waitFor([&] { return (bar = shownPanels(xwayland.get())).size() == 1; }, 10s));
    // weston shows the bar about where the drop left it, whatever XWayland says of its place:
    // the bar is taken where the screen shows it, once its drop has settled.
    const int grabX = holdX + 60;
    int grabY = -1;
    EXPECT_TRUE(waitFor(
        [&] {
            const auto column = testsupport::capture(display(), DefaultRootWindow(display()), grabX,
                                                     holdY - 60, 1, 120);
            std::vector<int> drawn;
            for (int row = 0; row < column.height; ++row)
                if (light(column.at(0, row)))
                    drawn.push_back(holdY - 60 + row);
            if (drawn.empty() || drawn.back() - drawn.front() >= 40)
                return false;
            grabY = (drawn.front() + drawn.back()) / 2;
            // As wide as the bar: weston may still show the preview where the pull ended, light
            // too, while it has not drawn the new bar yet. (The bar's figures change its width
            // by a few pixels from one second to the next, the preview's narrower by ~100.)
            const auto row = testsupport::capture(display(), DefaultRootWindow(display()), 0, grabY,
                                                  xvfb_.width(), 1);
            int left = -1, right = -1;
            for (int x = 0; x < row.width; ++x)
                if (light(row.at(x, 0))) {
                    left = left < 0 ? x : left;
                    right = x;
                }
            const auto shown = shownPanels(xwayland.get());
            return left >= 0 && shown.size() == 1 &&
                   std::abs(right - left + 1 - shown[0].area.width) <= 16;
        },
        10s))
        << "weston shows the bar near the drop";
    screenshot("wayland-weston-floating-bar.png");
    moveTo(grabX, grabY);
    std::this_thread::sleep_for(100ms);
    XTestFakeButtonEvent(display(), 1, True, CurrentTime);
    XFlush(display());
    const int dockX = strip->area.x + strip->area.width / 2, dockY = strip->area.height / 2;
    for (int i = 1; i <= 16; ++i) {
        moveTo(grabX + (dockX - grabX) * i / 16, grabY + (dockY - grabY) * i / 16);
        std::this_thread::sleep_for(60ms);
    }
    XTestFakeButtonEvent(display(), 1, False, CurrentTime);
    XFlush(display());
    // Every column of the strip's middle row drawn once weston shows the strip's window made
    // again at its place (about half a second, more on a loaded machine), and still once weston
    // has faded out what the strip replaced.
    const auto drawnWhole = [&](const std::string& after) {
        std::optional<Placed> shown = stripAtTheRight(xwayland.get(), 0);
        ASSERT_TRUE(shown) << after;
        const auto whole = [&] {
            const auto now = docks(xwayland.get());
            return now.size() == 1 &&
                   drawnAlong(now[0].area.x, pressY, now[0].area.width) == now[0].area.width;
        };
        EXPECT_TRUE(waitFor(whole, 2s)) << "weston shows the strip whole " << after;
        std::this_thread::sleep_for(3s);
        EXPECT_TRUE(waitFor(whole, 1s)) << "and still a while " << after;
    };
    drawnWhole("docked");
    // The bar is gone once weston has played its closing.
    EXPECT_TRUE(waitFor(
        [&] {
            const auto row = testsupport::capture(display(), DefaultRootWindow(display()), 0, grabY,
                                                  xvfb_.width(), 1);
            return std::all_of(row.pixels.begin(), row.pixels.end(), [&](unsigned long pixel) {
                return testsupport::Rgb{int((pixel >> 16) & 0xff), int((pixel >> 8) & 0xff),
                                        int(pixel & 0xff)} == desktopColour;
            });
        },
        10s))
        << "the bar is gone";
    screenshot("wayland-weston-docked-again.png");

    const auto docked = docks(xwayland.get());
    ASSERT_EQ(docked.size(), 1u);
    // A click opens the details; one that met the strip while weston was showing it again, at its
    // new width, is given again.
    ASSERT_TRUE(waitFor(
        [&] {
            const auto panels = shownPanels(xwayland.get());
            if (std::any_of(panels.begin(), panels.end(),
                            [](const Placed& panel) { return panel.area.height > 150; }))
                return true;
            click(docked[0].area.x + 40, pressY);
            std::this_thread::sleep_for(1s);
            return false;
        },
        10s))
        << "the details open";
    // The module's switch, green at the right of its card's header, where weston shows it.
    const int switchY = docked[0].area.y + docked[0].area.height + 132;
    int switchX = -1;
    ASSERT_TRUE(waitFor(
        [&] {
            const auto row = testsupport::capture(display(), DefaultRootWindow(display()), 0,
                                                  switchY, xvfb_.width(), 1);
            for (int x = 0; x < row.width; ++x) {
                const auto pixel = row.at(x, 0);
                if (pixel.green > 150 && pixel.red < 80)
                    switchX = x;
            }
            return switchX >= 0;
        },
        10s))
        << "weston shows the details";
    click(switchX - 8, switchY);
    ASSERT_TRUE(waitFor(
        [&] {
            const auto now = docks(xwayland.get());
            return now.size() == 1 && now[0].area.width < docked[0].area.width;
        },
        10s))
        << "the module's switch narrows the strip";
    testsupport::fakeKey(display(), XK_Escape, true);
    testsupport::fakeKey(display(), XK_Escape, false);
    drawnWhole("after a module's switch");
    screenshot("wayland-weston-module-off.png");
}

} // namespace
