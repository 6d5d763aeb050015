// Where the whole program's windows land on desktops that place the strip themselves: a tiling
// manager that stretches its dock, a work area that a panel without a window reserves, and two
// copies of the program sharing one display.

#include "support/TestPaths.h"

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that gtest's own names would hit.
// clang-format off
#include "PulsedeckProgram.h"
#include "support/DesktopSession.h"
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <pwd.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;
using testsupport::Desktop;

bool contains(const testsupport::PixelArea& area, int x, int y) {
    return x >= area.x && x < area.x + area.width && y >= area.y && y < area.y + area.height;
}

class DesktopPlacement : public ProgramOnDisplay {
protected:
    DesktopPlacement() : ProgramOnDisplay(1440, 900) {}

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramOnDisplay::SetUp());
        markLaunchedBefore(config_.path());
    }

    void moveTo(int x, int y) {
        XTestFakeMotionEvent(display(), -1, x, y, CurrentTime);
        XFlush(display());
    }
    void button(unsigned number, bool down) {
        XTestFakeButtonEvent(display(), number, down ? True : False, CurrentTime);
        XFlush(display());
    }
    // A hand's move: small steps a few milliseconds apart, as a drag arrives.
    void glide(int fromX, int fromY, int toX, int toY) {
        constexpr int steps = 20;
        for (int step = 1; step <= steps; ++step) {
            moveTo(fromX + (toX - fromX) * step / steps, fromY + (toY - fromY) * step / steps);
            std::this_thread::sleep_for(15ms);
        }
    }

    // The one dock of ours (on the program's display when it is not the test's), once it has
    // stayed where it is for a moment.
    std::optional<Placed> settledDock(Display* programs = nullptr) {
        std::optional<Placed> dock;
        waitFor(
            [&] {
                const auto found = docks(programs ? programs : display());
                if (found.size() != 1)
                    return false;
                const bool still = dock && dock->area.x == found[0].area.x &&
                                   dock->area.y == found[0].area.y &&
                                   dock->area.width == found[0].area.width;
                dock = found[0];
                return still;
            },
            10s);
        return dock;
    }
};

// i3 stacks its docks under its own bar and stretches each over the screen's width: the strip
// keeps to the right end of the window it has, a right click opens the menu at the pointer, a
// module dragged out comes along under the pointer, and dropped back on the strip it docks.
TEST_F(DesktopPlacement, UnderI3TheStretchedDockKeepsMenusAndDragsAtThePointer) {
    testsupport::DesktopSession desktop(xvfb_, Desktop::i3WithBar);
    ASSERT_TRUE(desktop.isReady()) << desktop.failure();
    Program program(xvfb_, config_.path());
    ASSERT_TRUE(program.started());
    std::optional<Placed> dock;
    ASSERT_TRUE(waitFor([&] { return (dock = settledDock()) && dock->area.width == 1440; }, 10s))
        << "i3 stretches the dock";
    EXPECT_EQ(dock->area.y, desktop.topReserved()) << "below i3's bar";
    // Give the strip a sample's figures before looking at it.
    std::this_thread::sleep_for(1500ms);
    const auto strip = testsupport::capture(display(), DefaultRootWindow(display()), 0,
                                            dock->area.y, 1440, dock->area.height);
    const int middle = dock->area.height / 2;
    int lit = 0;
    for (int column = 0; column < 1440; ++column)
        lit += strip.at(column, middle) != testsupport::Rgb{0, 0, 0} ? 1 : 0;
    ASSERT_GT(lit, 200) << "the strip shows";
    int leftmost = 1440;
    for (int column = 1439; column >= 0; --column)
        if (strip.at(column, middle) != testsupport::Rgb{0, 0, 0})
            leftmost = column;
    EXPECT_GT(leftmost, 1440 / 2) << "the strip keeps to the right end";
    screenshot("placement-i3-strip.png");

    // A right click on the strip's first module.
    const int pressX = leftmost + 40;
    const int pressY = dock->area.y + dock->area.height / 2;
    moveTo(pressX, pressY);
    std::this_thread::sleep_for(100ms);
    button(3, true);
    button(3, false);
    std::vector<Placed> menu;
    ASSERT_TRUE(waitFor([&] { return !(menu = shownPanels(display())).empty(); }, 5s))
        << "a menu opens";
    std::this_thread::sleep_for(300ms);
    menu = shownPanels(display());
    ASSERT_EQ(menu.size(), 1u);
    // At the pointer, hanging from the strip's real bottom edge as a menu bar's menus do.
    EXPECT_LE(std::abs(menu[0].area.x - pressX), 4) << menu[0].area.x;
    EXPECT_EQ(menu[0].area.y, dock->area.y + dock->area.height);
    screenshot("placement-i3-menu.png");
    testsupport::fakeKey(display(), XK_Escape, true);
    testsupport::fakeKey(display(), XK_Escape, false);
    ASSERT_TRUE(waitFor([&] { return shownPanels(display()).empty(); }, 5s)) << "Escape closes it";

    // The module dragged down and to the left: the preview comes along under the pointer.
    moveTo(pressX, pressY);
    std::this_thread::sleep_for(100ms);
    button(1, true);
    glide(pressX, pressY, pressX - 200, pressY + 160);
    std::vector<Placed> preview;
    EXPECT_TRUE(waitFor(
        [&] {
            preview = shownPanels(display());
            return preview.size() == 1 && contains(preview[0].area, pressX - 200, pressY + 160);
        },
        5s))
        << (preview.empty()
                ? std::string("no preview")
                : std::to_string(preview[0].area.x) + ", " + std::to_string(preview[0].area.y));
    screenshot("placement-i3-drag.png");
    // Back over the strip's real place and let go: it docks, and nothing floats.
    glide(pressX - 200, pressY + 160, pressX, pressY);
    std::this_thread::sleep_for(100ms);
    button(1, false);
    EXPECT_TRUE(waitFor([&] { return shownPanels(display()).empty(); }, 5s))
        << shownPanels(display()).size() << " windows still shown";
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(docks(display()).size(), 1u);
    screenshot("placement-i3-docked.png");
}

// A bare server whose work area leaves the top 32 rows to a panel that has no window of its own;
// a work area that leaves the strip no room on the screen is not honoured.
TEST_F(DesktopPlacement, OnABareServerTheStripSitsBelowTheWorkAreasTop) {
    const ::Window root = DefaultRootWindow(display());
    testsupport::setWindowProperty(display(), root, "_NET_WORKAREA", XA_CARDINAL,
                                   {0, 32, 1440, 868});
    Program program(xvfb_, config_.path());
    ASSERT_TRUE(program.started());
    auto dock = settledDock();
    ASSERT_TRUE(dock);
    EXPECT_EQ(dock->area.y, 32);
    EXPECT_EQ(dock->area.x + dock->area.width, 1440);
    // Once the strip has faded in and shows a sample's figures.
    std::this_thread::sleep_for(1500ms);
    screenshot("placement-bare-workarea.png");

    struct Case {
        const char* name;
        long desktop;
        std::vector<long> areas;
        int top;
    };
    const Case cases[] = {
        {"the screen's last row", 0, {0, 899, 1440, 1}, 0},
        {"a top far below the screen, on the second desktop",
         1,
         {0, 32, 1440, 868, 0, 2000000000, 1440, 0},
         0},
        {"the second desktop's room again", 1, {0, 0, 1440, 900, 0, 40, 1440, 860}, 40},
    };
    for (const Case& c : cases) {
        testsupport::setWindowProperty(display(), root, "_NET_CURRENT_DESKTOP", XA_CARDINAL,
                                       {c.desktop});
        testsupport::setWindowProperty(display(), root, "_NET_WORKAREA", XA_CARDINAL, c.areas);
        XFlush(display());
        EXPECT_TRUE(waitFor([&] { return (dock = settledDock()) && dock->area.y == c.top; }, 10s))
            << c.name << ": at " << (dock ? dock->area.y : -1);
    }
}

// weston's XWayland, weston drawing on the test's X server: its window manager keeps a window
// where it first maps it, so the strip must map at its place and width. The user's pointer and
// keys go through weston, as on a Wayland desktop; the program's windows are looked at on
// XWayland's display. A right click opens the menu at the pointer, a click the details under
// the strip, the keyboard passing to a program of the compositor's closes them, and the strip
// keeps to the top right when it changes width.
TEST_F(DesktopPlacement, UnderWestonsXWaylandTheStripMenuAndDetailsLandWhereTheyBelong) {
    testsupport::DesktopSession desktop(xvfb_, Desktop::westonXWayland);
    ASSERT_TRUE(desktop.isReady()) << desktop.failure();
    const DisplayConnection xwayland(XOpenDisplay(desktop.displayName().c_str()));
    ASSERT_TRUE(xwayland);
    Program program(environmentFor(xvfb_, config_.path(), desktop.displayName()));
    ASSERT_TRUE(program.started());
    // What weston shows on the X server, and whether it shows the desktop's colour at a point.
    const auto shownAt = [&](int x, int y) {
        return testsupport::pixelAt(display(), DefaultRootWindow(display()), x, y);
    };
    const auto desktopAt = [&](const testsupport::PixelArea& area) {
        return shownAt(area.x + area.width / 2, area.y + area.height / 2) == shownAt(8, 890);
    };
    // The strip whole at the top right, and (once it has faded in) weston showing it there with
    // the desktop's colour beside it, past the shadow weston draws around a window without
    // decorations. A new reading can change the strip's width at any time, and weston's answer
    // to that lands a moment later: each look takes the strip where it stands then. The strip
    // that was seen so.
    const auto wholeAtTheTopRight = [&] {
        std::optional<Placed> strip;
        std::string seen = "no strip";
        const bool whole = waitFor(
            [&] {
                const auto found = docks(xwayland.get());
                if (found.size() != 1)
                    return false;
                const testsupport::PixelArea& area = found[0].area;
                const auto desktopColour = shownAt(8, 890);
                const auto row = testsupport::capture(display(), DefaultRootWindow(display()), 0,
                                                      area.height / 2, 1440, 1);
                int drawn = 0, beside = 0;
                for (int column = std::max(area.x - 200, 0); column < 1440; ++column) {
                    const int shown = row.at(column, 0) != desktopColour ? 1 : 0;
                    if (column >= area.x)
                        drawn += shown;
                    else if (column < area.x - 16)
                        beside += shown;
                }
                seen = "at " + std::to_string(area.x) + "," + std::to_string(area.y) + ", " +
                       std::to_string(area.width) + " wide; " + std::to_string(drawn) +
                       " of its columns show, " + std::to_string(beside) + " beside it";
                strip = found[0];
                return area.y == 0 && area.x > 0 && area.x + area.width == 1440 &&
                       drawn >= area.width - 4 && beside == 0;
            },
            10s);
        EXPECT_TRUE(whole) << "the strip whole at the top right, last seen " << seen;
        return whole ? strip : std::nullopt;
    };
    const std::optional<Placed> dock = wholeAtTheTopRight();
    ASSERT_TRUE(dock);
    const int middle = dock->area.height / 2;
    screenshot("placement-weston-strip.png");

    // A right click on the strip's first module: the menu at the pointer, under the strip.
    const int pressX = dock->area.x + 40;
    moveTo(pressX, middle);
    std::this_thread::sleep_for(100ms);
    button(3, true);
    button(3, false);
    std::vector<Placed> menu;
    ASSERT_TRUE(waitFor([&] { return !(menu = shownPanels(xwayland.get())).empty(); }, 5s))
        << "a menu opens";
    EXPECT_LE(std::abs(menu[0].area.x - pressX), 4) << menu[0].area.x;
    EXPECT_EQ(menu[0].area.y, dock->area.y + dock->area.height);
    EXPECT_TRUE(waitFor([&] { return !desktopAt(menu[0].area); }, 5s)) << "weston shows the menu";
    screenshot("placement-weston-menu.png");
    testsupport::fakeKey(display(), XK_Escape, true);
    testsupport::fakeKey(display(), XK_Escape, false);
    ASSERT_TRUE(waitFor([&] { return shownPanels(xwayland.get()).empty(); }, 5s))
        << "Escape closes it";
    EXPECT_TRUE(waitFor([&] { return desktopAt(menu[0].area); }, 5s)) << "and weston shows that";

    // A click on the strip opens the details under it.
    std::vector<Placed> details;
    const auto clickForDetails = [&](int x, int y) {
        moveTo(x, y);
        std::this_thread::sleep_for(100ms);
        button(1, true);
        button(1, false);
        return waitFor(
            [&] {
                details = shownPanels(xwayland.get());
                return details.size() == 1 && details[0].area.height > 150;
            },
            5s);
    };
    ASSERT_TRUE(clickForDetails(pressX, middle)) << "the details open";
    EXPECT_EQ(details[0].area.y, dock->area.y + dock->area.height);
    EXPECT_LE(details[0].area.x, pressX);
    EXPECT_GT(details[0].area.x + details[0].area.width, pressX);
    EXPECT_TRUE(waitFor([&] { return !desktopAt(details[0].area); }, 5s))
        << "weston shows the details";
    screenshot("placement-weston-details.png");
    // A program of weston's own opens and takes the keyboard: the details close.
    testsupport::ChildProcess other({"weston-flower"}, desktop.waylandEnvironment());
    EXPECT_TRUE(waitFor([&] { return shownPanels(xwayland.get()).empty(); }, 5s))
        << "the details close when the keyboard leaves for another program";
    EXPECT_TRUE(waitFor([&] { return desktopAt(details[0].area); }, 5s)) << "and weston shows that";
    screenshot("placement-weston-other-program.png");

    // The memory module's "Two Values" (in the details' layout) narrows the strip: weston moves
    // no shown window, yet the strip keeps to the top right.
    ASSERT_TRUE(clickForDetails(pressX, middle)) << "the details open again";
    // The click on the segment leaves the details open.
    EXPECT_TRUE(clickForDetails(details[0].area.x + 243, details[0].area.y + 439));
    std::optional<Placed> narrower;
    EXPECT_TRUE(waitFor(
        [&] {
            narrower = settledDock(xwayland.get());
            return narrower && narrower->area.width < dock->area.width &&
                   narrower->area.x + narrower->area.width == 1440;
        },
        10s))
        << (narrower
                ? std::to_string(narrower->area.x) + " + " + std::to_string(narrower->area.width)
                : std::string("no strip"));
    wholeAtTheTopRight();
    screenshot("placement-weston-narrower.png");
}

// Folders of its own for a copy of the program run by the user `nobody`.
class OtherUser {
public:
    OtherUser() {
        const passwd* entry = getpwnam("nobody");
        if (geteuid() != 0 || !entry)
            return;
        ids_ = {entry->pw_uid, entry->pw_gid};
        std::filesystem::create_directories(home_.path() / "run");
        std::filesystem::permissions(home_.path() / "run", std::filesystem::perms::owner_all);
        markLaunchedBefore(home_.path());
        if (chown(home_.path().c_str(), ids_.first, ids_.second) != 0)
            return;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home_.path()))
            if (chown(entry.path().c_str(), ids_.first, ids_.second) != 0)
                return;
        ready_ = true;
    }

    bool isReady() const { return ready_; }

    std::unique_ptr<Program> start(const testsupport::XvfbServer& xvfb) const {
        auto variables = environmentFor(xvfb, home_.path(), xvfb.displayName());
        for (auto& variable : variables)
            if (variable.starts_with("XDG_RUNTIME_DIR="))
                variable = "XDG_RUNTIME_DIR=" + (home_.path() / "run").string();
        Start start;
        start.user = ids_;
        return std::make_unique<Program>(std::move(variables), start);
    }

private:
    testsupport::TemporaryDirectory home_;
    std::pair<uid_t, gid_t> ids_;
    bool ready_ = false;
};

// Two users' copies on one display under openbox: each honours the other's strut once, so the
// strips settle one above the other within a second and stay there.
TEST_F(DesktopPlacement, TwoCopiesOnOneDisplaySettleAndStayOnScreen) {
    OtherUser other;
    if (!other.isReady())
        GTEST_SKIP() << "a second user's copy needs root to run as nobody";
    testsupport::DesktopSession desktop(xvfb_, Desktop::openbox);
    ASSERT_TRUE(desktop.isReady()) << desktop.failure();
    Program first(xvfb_, config_.path());
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(waitFor([&] { return docks(display()).size() == 1; }, 10s));
    const auto second = other.start(xvfb_);
    ASSERT_TRUE(second->started());
    ASSERT_TRUE(waitFor([&] { return docks(display()).size() == 2; }, 20s)) << "both strips show";
    // Settled: both where they were a second ago (within a second on a quiet machine; a loaded
    // one is given longer).
    auto settled = docks(display());
    auto unchangedSince = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor(
        [&] {
            const auto now = docks(display());
            const auto tops = [](const auto& strips) {
                std::vector<int> found;
                for (const auto& strip : strips)
                    found.push_back(strip.area.y);
                return found;
            };
            if (tops(now) != tops(settled)) {
                settled = now;
                unchangedSince = std::chrono::steady_clock::now();
            }
            return settled.size() == 2 && std::chrono::steady_clock::now() - unchangedSince >= 1s;
        },
        20s))
        << "the strips settle";
    // Every few hundred milliseconds for ten seconds, both stay on the screen where they were.
    for (int look = 0; look < 20; ++look) {
        std::this_thread::sleep_for(500ms);
        const auto now = docks(display());
        ASSERT_EQ(now.size(), 2u);
        for (std::size_t i = 0; i < now.size(); ++i) {
            EXPECT_EQ(now[i].area.y, settled[i].area.y) << "strip " << i << " moved";
            EXPECT_GE(now[i].area.y, 0);
            EXPECT_LE(now[i].area.y + now[i].area.height, 900);
        }
        if (HasFailure())
            break;
    }
    EXPECT_GE(std::abs(settled[0].area.y - settled[1].area.y), settled[0].area.height)
        << "one above the other, neither covering the other";
    screenshot("placement-two-copies.png");
}

class FloatingBarPlacement : public DesktopPlacement,
                             public ::testing::WithParamInterface<Desktop> {
protected:
    void start() {
        program = std::make_unique<Program>(xvfb_, config_.path());
        ASSERT_TRUE(program->started());
        ASSERT_TRUE(settledDock());
    }

    // A window of ours below the docks, as tall as a strip and at rest: the dragged strip's
    // preview, or the floating bar.
    std::optional<Placed> restingStrip(int top) {
        std::optional<Placed> last;
        int still = 0;
        waitFor(
            [&] {
                std::optional<Placed> now;
                for (const auto& window : shownPanels(display()))
                    if (window.area.y > top && window.area.height >= 20 && window.area.height <= 44)
                        now = window;
                still = now && last && now->area.x == last->area.x && now->area.y == last->area.y
                            ? still + 1
                            : 0;
                last = now;
                return still >= 3;
            },
            20s);
        return still >= 3 ? last : std::nullopt;
    }

    std::unique_ptr<Program> program;
};

// A module dragged off the strip and dropped as a floating bar: the bar stands where its preview
// stood when it was let go (its left and bottom edges, within 2 pixels, as the bar may be of
// another size), whatever the window manager would add, and after a restart at the same place.
TEST_P(FloatingBarPlacement, ADroppedBarStandsWhereItsPreviewStoodAndComesBackThere) {
    testsupport::DesktopSession desktop(xvfb_, GetParam());
    ASSERT_TRUE(desktop.isReady()) << desktop.failure();
    ASSERT_NO_FATAL_FAILURE(start());
    const auto dock = settledDock();
    std::this_thread::sleep_for(1500ms);
    // The strip's left end: where the dock's middle row first shows the strip, from the right.
    const auto band = testsupport::capture(display(), DefaultRootWindow(display()), 0, dock->area.y,
                                           1440, dock->area.height);
    const int middle = dock->area.height / 2;
    const testsupport::Rgb beside = band.at(2, middle);
    int left = 1439;
    while (left > 0 && !testsupport::near(band.at(left - 1, middle), beside, 8))
        --left;
    const int pressX = left + 30;
    const int pressY = dock->area.y + middle;
    moveTo(pressX, pressY);
    std::this_thread::sleep_for(150ms);
    button(1, true);
    std::this_thread::sleep_for(100ms);
    glide(pressX, pressY, 520, 480);
    const int belowDocks = dock->area.y + dock->area.height;
    const auto preview = restingStrip(belowDocks);
    ASSERT_TRUE(preview) << "the dragged strip at rest under the pointer";
    button(1, false);
    const long popUpMenu = long(XInternAtom(display(), "_NET_WM_WINDOW_TYPE_POPUP_MENU", False));
    std::vector<Placed> menu;
    ASSERT_TRUE(waitFor(
        [&] {
            menu.clear();
            for (const auto& window : shownPanels(display()))
                if (testsupport::windowProperty(display(), window.window, "_NET_WM_WINDOW_TYPE",
                                                XA_ATOM, 1) == std::vector<long>{popUpMenu})
                    menu.push_back(window);
            return menu.size() == 1;
        },
        10s))
        << "the drop menu";
    std::this_thread::sleep_for(300ms);
    moveTo(menu[0].area.x + 40, menu[0].area.y + 16);
    std::this_thread::sleep_for(150ms);
    button(1, true);
    button(1, false);

    const auto bar = restingStrip(belowDocks);
    screenshot("placement-" + desktopName(GetParam()) + "-dropped-bar.png");
    ASSERT_TRUE(bar) << "a floating bar";
    EXPECT_NEAR(bar->area.x, preview->area.x, 2);
    EXPECT_NEAR(bar->area.y + bar->area.height, preview->area.y + preview->area.height, 2)
        << "preview at " << preview->area.x << ", " << preview->area.y << ", bar at " << bar->area.x
        << ", " << bar->area.y;

    program->signal(SIGTERM);
    ASSERT_TRUE(program->waitForExit(10s));
    ASSERT_NO_FATAL_FAILURE(start());
    const auto again = restingStrip(belowDocks);
    ASSERT_TRUE(again) << "the bar after a restart";
    EXPECT_NEAR(again->area.x, bar->area.x, 2);
    EXPECT_NEAR(again->area.y, bar->area.y, 2);
}

INSTANTIATE_TEST_SUITE_P(Desktops, FloatingBarPlacement,
                         ::testing::Values(Desktop::i3WithBar, Desktop::openbox),
                         [](const auto& info) { return desktopName(info.param); });

} // namespace
