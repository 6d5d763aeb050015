// The floating bar in the running program, used as a user would with XTest on a private Xvfb: a
// module dragged off the status bar and dropped becomes a floating bar where it fell, which shows
// live figures, opens its details and its menu, moves, docks back into the menu bar, comes back
// after a restart where it was, and steps aside for a full-screen window. A picture of the screen
// is kept at every step.

#include "support/TestPaths.h"

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that gtest's own names would hit.
// clang-format off
#include "PulsedeckProgram.h"
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;

class FloatingBarSessionX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(programPath())) << "build the pulsedeck target";
        ASSERT_NO_FATAL_FAILURE(testsupport::lookAtServer(xvfb, connection, 0x2e6b8f));
        display = connection.get();
        markLaunchedBefore(config.path(), R"(, "hideInFullscreen": true)");
    }

    std::filesystem::path preferences() const {
        return config.path() / "pulsedeck" / "local.dorvettin.Pulsedeck.json";
    }

    void start() {
        program.reset();
        program = std::make_unique<Program>(environmentFor(xvfb, config.path(), xvfb.displayName()),
                                            Start{.errors = errors()});
        ASSERT_TRUE(program->started());
        const auto found = waitForStatusBar(display, 30s);
        ASSERT_TRUE(found) << fileText(errors());
        bar = *found;
        // The editing panels come 0.25 s after launch and the strip settles its width with the
        // first samples.
        EXPECT_TRUE(waitForSample(display, bar, bound)) << "the strip shows live figures";
        strip = stripWindow(display, bar).value_or(bar);
    }

    std::filesystem::path errors() const { return config.path() / "errors"; }

    // Ends the program as a logout would; a sanitizer build must have found nothing.
    void stop() {
        program->signal(SIGTERM);
        ASSERT_TRUE(program->waitForExit(10s));
        const std::string said = fileText(errors());
        for (const char* mark :
             {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"})
            EXPECT_EQ(said.find(mark), std::string::npos) << said;
    }

    // Our mapped windows that are neither the status bar nor over it.
    std::vector<TopLevel> shownBelowTheBar() const {
        std::vector<TopLevel> found;
        for (const auto& window : programWindows(display))
            if (window.mapped && !isDock(display, window.window) && window.y >= 24 &&
                window.height > 2)
                found.push_back(window);
        return found;
    }

    // The floating bar: a strip-high window of ours below the menu bar.
    std::optional<TopLevel> floatingBar() const {
        for (const auto& window : shownBelowTheBar())
            if (window.height >= 20 && window.height <= 44 && window.width >= 30)
                return window;
        return std::nullopt;
    }

    // A window taller than the bar (a menu or the details) that was not there before.
    std::optional<TopLevel> openedOver(int minimumHeight) const {
        for (const auto& window : shownBelowTheBar())
            if (int(window.height) >= minimumHeight)
                return window;
        return std::nullopt;
    }

    void moveTo(int x, int y) {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XSync(display, False);
    }
    void button(unsigned number, bool down) {
        XTestFakeButtonEvent(display, number, down ? True : False, CurrentTime);
        XSync(display, False);
    }
    // The time a hand takes between two steps. Meanwhile it notes where the strip starts: the
    // strip's left edge follows the live figures, and the program measures a drag's grab from the
    // strip it has when it handles the drag, which the test cannot know but is one of these.
    void pace(std::chrono::milliseconds duration) {
        const auto until = std::chrono::steady_clock::now() + duration;
        do {
            noteStrip();
            std::this_thread::sleep_for(10ms);
        } while (std::chrono::steady_clock::now() < until);
    }
    void noteStrip() {
        if (const auto now = stripWindow(display, bar))
            stripLefts.push_back(now->x);
    }
    void click(int x, int y, unsigned number = 1) {
        moveTo(x, y);
        pace(60ms);
        button(number, true);
        pace(60ms);
        button(number, false);
    }
    void escape() {
        testsupport::fakeKey(display, XK_Escape, true);
        testsupport::fakeKey(display, XK_Escape, false);
    }
    // A press at `from`, moved in steps to `to` and released there.
    void drag(int fromX, int fromY, int toX, int toY, int steps = 12) {
        moveTo(fromX, fromY);
        pace(80ms);
        button(1, true);
        pace(120ms);
        for (int step = 1; step <= steps; ++step) {
            moveTo(fromX + (toX - fromX) * step / steps, fromY + (toY - fromY) * step / steps);
            pace(60ms);
        }
        pace(150ms);
        button(1, false);
    }

    // The share of a window's place on the screen that does not show the desktop.
    double coveredShare(const TopLevel& window) const {
        const auto shot = testsupport::capture(display, DefaultRootWindow(display), window.x,
                                               window.y, int(window.width), int(window.height));
        int covered = 0;
        for (int row = 0; row < shot.height; ++row)
            for (int column = 0; column < shot.width; ++column)
                covered += testsupport::near(shot.at(column, row), desktop, 6) ? 0 : 1;
        return shot.pixels.empty() ? 0 : double(covered) / double(shot.width * shot.height);
    }

    // Waits (bounded) until the floating bar has come to rest, drawn where it stands.
    std::optional<TopLevel> restingBar() const {
        std::optional<TopLevel> last;
        int still = 0;
        waitFor(
            [&] {
                const auto now = floatingBar();
                still = now && last && now->x == last->x && now->y == last->y &&
                                now->width == last->width && coveredShare(*now) > 0.8
                            ? still + 1
                            : 0;
                last = now;
                return still >= 3;
            },
            bound);
        return last;
    }

    // Waits (bounded) until the screen stops changing, for a picture of what was just opened.
    void waitForStillScreen() {
        std::vector<unsigned long> last;
        waitFor(
            [&] {
                auto now = testsupport::capture(display, DefaultRootWindow(display), 0, 0,
                                                xvfb.width(), xvfb.height())
                               .pixels;
                const bool still = now == last;
                last = std::move(now);
                return still;
            },
            bound);
    }

    void screenshot(const std::string& name) {
        EXPECT_TRUE(testsupport::capture(display, DefaultRootWindow(display), 0, 0, xvfb.width(),
                                         xvfb.height())
                        .writePng(testsupport::artifactPath("floating-bar-x11-" + name + ".png")))
            << name;
    }

    // Where the program says a drag out of the strip ended (its drop menu opens there), and the
    // grab offsets from the strip's corner it may have measured while the strip changed width.
    struct Drop {
        int x = 0, y = 0;
        std::vector<int> grabsX;
        int grabY = 0;

        // Whether a bar at `left` stands where the drop leaves one: at the drop, less a grab.
        bool placesAt(int left) const {
            return std::any_of(grabsX.begin(), grabsX.end(),
                               [&](int grab) { return std::abs(left - (x - grab)) <= 3; });
        }
    };

    // Drags the module at the strip's left out to (x, y) and answers the drop menu's first
    // item, "Copy to Floating Bar".
    Drop dragOutAndCopy(int x, int y, const std::string& picture) {
        // The strip's width follows the live figures, and its right end stays put: where it
        // starts now, not at launch, is where the press goes.
        strip = stripWindow(display, bar).value_or(strip);
        const int pressX = strip.x + 14;
        const int pressY = strip.y + int(strip.height) / 2;
        stripLefts = {strip.x};
        drag(pressX, pressY, x, y);
        const bool offered = waitFor(
            [&] {
                noteStrip();
                return openedOver(40).has_value();
            },
            bound);
        EXPECT_TRUE(offered) << "the drop menu";
        Drop drop{x, y, {}, pressY - strip.y};
        for (int left : stripLefts)
            drop.grabsX.push_back(pressX - left);
        waitForStillScreen();
        screenshot(picture);
        if (offered) {
            const TopLevel menu = *openedOver(40);
            EXPECT_NEAR(menu.x, x, 2);
            EXPECT_NEAR(menu.y, y, 2);
            drop.x = menu.x;
            drop.y = menu.y;
            // The first of its two rows.
            click(menu.x + 40, menu.y + 5 + 11);
        }
        return drop;
    }

    testsupport::XvfbServer xvfb;
    testsupport::TemporaryDirectory config;
    DisplayConnection connection;
    Display* display = nullptr;
    std::unique_ptr<Program> program;
    TopLevel bar{};
    TopLevel strip{};
    std::vector<int> stripLefts;
    const testsupport::Rgb desktop{0x2e, 0x6b, 0x8f};
    // Long enough for a loaded two-core machine; a wait ends as soon as its condition holds.
    static constexpr std::chrono::milliseconds bound = 20s;
};

TEST_F(FloatingBarSessionX11, AModuleDroppedOffTheBarFloatsMovesDocksAndComesBackAfterARestart) {
    ASSERT_NO_FATAL_FAILURE(start());
    screenshot("0-start");

    // Dropped 300 pixels down and well to the left: the menu, then a bar where it fell.
    const int dropX = strip.x - 260;
    const int dropY = 300;
    const Drop drop = dragOutAndCopy(dropX, dropY, "1-drop-menu");
    ASSERT_TRUE(waitFor([&] { return floatingBar().has_value(); }, bound)) << fileText(errors());
    const auto rested = restingBar();
    ASSERT_TRUE(rested);
    const TopLevel floating = *rested;
    screenshot("2-floating-bar");
    EXPECT_GT(coveredShare(floating), 0.8) << "the bar is drawn where it stands";
    EXPECT_TRUE(drop.placesAt(floating.x))
        << "bar at x " << floating.x << ", dropped at x " << drop.x << " with grabs "
        << testing::PrintToString(drop.grabsX);
    EXPECT_NEAR(floating.y + int(floating.height), drop.y - drop.grabY + int(strip.height), 8);
    EXPECT_TRUE(stripWindow(display, bar)) << "a copy: the status bar keeps its strip";
    EXPECT_NE(fileText(preferences()).find(R"("floatingMode": "copy")"), std::string::npos);

    // Live: its figures change with the samples.
    const auto before = pixels(display, floating);
    EXPECT_TRUE(waitFor([&] { return pixels(display, *floatingBar()) != before; }, bound));

    // A click on a module opens the bar's own details; Escape closes them.
    click(floating.x + 14, floating.y + int(floating.height) / 2);
    EXPECT_TRUE(waitFor([&] { return openedOver(150).has_value(); }, bound)) << "the details";
    waitForStillScreen();
    screenshot("3-details");
    escape();
    EXPECT_TRUE(waitFor([&] { return !openedOver(150); }, bound)) << "the details close";

    // A right click opens its menu.
    click(floating.x + 14, floating.y + int(floating.height) / 2, 3);
    EXPECT_TRUE(waitFor([&] { return openedOver(100).has_value(); }, bound)) << "the context menu";
    waitForStillScreen();
    screenshot("4-context-menu");
    escape();
    EXPECT_TRUE(waitFor([&] { return !openedOver(100); }, bound));

    // Dragged by its body it follows the pointer.
    const int holdX = floating.x + int(floating.width) / 2;
    const int holdY = floating.y + int(floating.height) / 2;
    drag(holdX, holdY, holdX - 180, holdY + 140);
    ASSERT_TRUE(waitFor([&] { return floatingBar() && floatingBar()->x != floating.x; }, bound));
    const auto movedBar = restingBar();
    ASSERT_TRUE(movedBar);
    const TopLevel moved = *movedBar;
    screenshot("5-moved");
    EXPECT_NEAR(moved.x, floating.x - 180, 3);
    EXPECT_NEAR(moved.y, floating.y + 140, 3);

    // Dragged onto its anchor at the strip's place, it flows back into the menu bar.
    const int anchorRight = strip.x + int(strip.width);
    drag(moved.x + int(moved.width) / 2, moved.y + int(moved.height) / 2,
         anchorRight - int(moved.width) / 2, int(strip.height) / 2, 16);
    EXPECT_TRUE(waitFor([&] { return !floatingBar(); }, bound)) << "docked";
    EXPECT_TRUE(waitFor(
        [&] {
            return fileText(preferences()).find(R"("floatingMode": "none")") != std::string::npos;
        },
        bound));
    waitForStillScreen();
    screenshot("6-docked");
    EXPECT_TRUE(stripWindow(display, bar));

    // Made again, it outlives a restart at the same place.
    dragOutAndCopy(strip.x - 400, 420, "7-drop-menu-again");
    ASSERT_TRUE(waitFor([&] { return floatingBar().has_value(); }, bound));
    const auto remadeBar = restingBar();
    ASSERT_TRUE(remadeBar);
    const TopLevel remade = *remadeBar;
    ASSERT_NO_FATAL_FAILURE(stop());
    EXPECT_FALSE(floatingBar());
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(waitFor([&] { return floatingBar().has_value(); }, bound)) << fileText(errors());
    const auto restored = restingBar();
    ASSERT_TRUE(restored);
    screenshot("8-after-restart");
    EXPECT_GT(coveredShare(*restored), 0.8);
    EXPECT_EQ(restored->x, remade.x);
    EXPECT_EQ(restored->y, remade.y);

    // A full-screen window of another program hides it (and the status bar); it comes back when
    // that window goes.
    const ::Window root = DefaultRootWindow(display);
    const ::Window fullscreen = XCreateSimpleWindow(display, root, 0, 0, unsigned(xvfb.width()),
                                                    unsigned(xvfb.height()), 0, 0, 0x202020);
    testsupport::setWindowProperty(display, fullscreen, "_NET_WM_PID", XA_CARDINAL, {1});
    testsupport::setWindowProperty(display, fullscreen, "_NET_WM_STATE", XA_ATOM,
                                   {long(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False))});
    XMapWindow(display, fullscreen);
    XSync(display, False);
    EXPECT_TRUE(waitFor([&] { return !floatingBar(); }, bound)) << "hidden behind full screen";
    waitForStillScreen();
    screenshot("9-fullscreen");
    EXPECT_FALSE(statusBar(display)) << "the status bar steps aside too";
    XDestroyWindow(display, fullscreen);
    XSync(display, False);
    ASSERT_TRUE(waitFor([&] { return floatingBar().has_value(); }, bound)) << "back";
    EXPECT_TRUE(waitForStatusBar(display, bound));
    const auto back = restingBar();
    ASSERT_TRUE(back);
    screenshot("10-back");
    EXPECT_GT(coveredShare(*back), 0.8);

    EXPECT_TRUE(program->isRunning()) << fileText(errors());
    stop();
}

} // namespace
