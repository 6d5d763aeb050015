#include "detail/PersistentMenuOption.h"
#include "platform/toolkit/MenuTracker.h"
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
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;

// Long enough for a loaded two-core machine; a wait ends as soon as its condition holds.
constexpr std::chrono::milliseconds bound = 20s;

class PulsedeckX11 : public ProgramOnDisplay {
protected:
    std::filesystem::path preferences() const {
        return config_.path() / "pulsedeck" / "local.dorvettin.Pulsedeck.json";
    }

    void pressControlQ() {
        Display* display = display_.get();
        testsupport::fakeKey(display, XK_Control_L, true);
        testsupport::fakeKey(display, XK_q, true);
        testsupport::fakeKey(display, XK_q, false);
        testsupport::fakeKey(display, XK_Control_L, false);
        XSync(display, False);
    }
};

TEST_F(PulsedeckX11, RunsSamplesAndQuitsOnTheQuitKeyThenKeepsItsPreferences) {
    {
        Program first(xvfb_, config_.path());
        ASSERT_TRUE(first.started());
        auto bar = waitForStatusBar(display_.get(), bound);
        ASSERT_TRUE(bar) << "the status item shows";
        EXPECT_TRUE(waitFor([&] { return windowsBelowTheBar(display_.get()) == 2; }, bound))
            << "the first launch's details and tip";
        EXPECT_EQ(bar->x + static_cast<int>(bar->width), xvfb_.width()) << "at the right end";

        // Samples arrive once a second: the memory chart grows, so the strip's picture changes.
        EXPECT_TRUE(waitForSample(display_.get(), *bar, bound));
        EXPECT_TRUE(first.isRunning());

        // The first-run tip holds the keyboard; Control-Q reaches the application there.
        pressControlQ();
        auto status = first.waitForExit(bound);
        ASSERT_TRUE(status) << "the quit key ends the program";
        EXPECT_TRUE(WIFEXITED(*status));
        EXPECT_EQ(WEXITSTATUS(*status), 0);
    }
    const std::string written = fileText(preferences());
    EXPECT_NE(written.find("\"hasLaunched\": true"), std::string::npos) << written;
    EXPECT_NE(written.find("\"menuBarTipShown\": true"), std::string::npos) << written;

    Program second(xvfb_, config_.path());
    ASSERT_TRUE(waitForStatusBar(display_.get(), bound));
    // Not the first launch: neither the details nor the tip open again (the first launch showed
    // both well within these two seconds).
    EXPECT_FALSE(waitFor([&] { return windowsBelowTheBar(display_.get()) > 0; }, 2s));
    second.signal(SIGTERM);
    auto status = second.waitForExit(bound);
    ASSERT_TRUE(status) << "SIGTERM ends the program";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM);
    // The strip's dock anchor follows its width, which follows the live figures.
    const auto withoutAnchors = [](const std::string& text) {
        std::istringstream lines(text);
        std::string kept;
        for (std::string line; std::getline(lines, line);) {
            if (line.find("\"Optional(") == std::string::npos)
                kept += line + "\n";
        }
        return kept;
    };
    EXPECT_EQ(withoutAnchors(fileText(preferences())), withoutAnchors(written))
        << "every preference kept";
}

TEST_F(PulsedeckX11, OfTwoCopiesStartedTogetherExactlyOneStays) {
    Program a(xvfb_, config_.path());
    Program b(xvfb_, config_.path());
    ASSERT_TRUE(a.started() && b.started());
    ASSERT_TRUE(waitForStatusBar(display_.get(), bound));
    EXPECT_TRUE(waitFor([&] { return a.isRunning() != b.isRunning(); }, bound));
    auto& loser = a.isRunning() ? b : a;
    auto status = loser.waitForExit(0ms);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_EQ(mappedDocks(), 1);
}

TEST_F(PulsedeckX11, ASecondStartByAnyNameOfTheDisplayOpensTheRunningCopyAndEnds) {
    // Not the first launch, so nothing opens below the bar on its own.
    markLaunchedBefore(config_.path());
    Program running(xvfb_, config_.path());
    const auto bar = waitForStatusBar(display_.get(), bound);
    ASSERT_TRUE(bar);
    // Up and running: the strip shows live figures.
    ASSERT_TRUE(waitForSample(display_.get(), *bar, bound));
    ASSERT_EQ(windowsBelowTheBar(display_.get()), 0);

    const auto number = xvfb_.displayName().substr(1);
    for (const auto& name : {":" + number + ".0", "unix:" + number}) {
        Program second(environmentFor(xvfb_, config_.path(), name),
                       {.errors = {}, .fromLauncher = true});
        auto status = second.waitForExit(bound);
        ASSERT_TRUE(status) << name << ": the second copy ends";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << name;
        EXPECT_TRUE(waitFor([&] { return windowsBelowTheBar(display_.get()) == 1; }, bound))
            << name << ": the details open";
    }
    EXPECT_TRUE(running.isRunning());
    EXPECT_EQ(mappedDocks(), 1);
}

// A pointer button through XTest at root pixel (x, y).
void fakeButton(Display* display, unsigned button, bool down) {
    XTestFakeButtonEvent(display, button, down ? True : False, CurrentTime);
    XFlush(display);
}

void fakeMotion(Display* display, int x, int y) {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XFlush(display);
}

// How long the scripted session runs: a few seconds in the suite, a minute in the sanitizer stage
// of scripts/test.
std::chrono::milliseconds sessionLength() {
    const char* seconds = std::getenv("PULSEDECK_SESSION_SECONDS");
    return std::chrono::seconds(seconds ? std::max(1, std::atoi(seconds)) : 6);
}

// What a sanitizer prints when it finds a fault.
bool hasSanitizerReport(const std::string& errors) {
    for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                             "runtime error:", "WARNING: AddressSanitizer"})
        if (errors.find(mark) != std::string::npos)
            return true;
    return false;
}

// Clicks, drags, menus and Escape at random over the strip, what it opens and the screen around,
// from one seed so a failure replays; then Control-Q must end the program cleanly.
TEST_F(PulsedeckX11, AScriptedSessionOfClicksDragsMenusAndEscapeEndsCleanlyOnTheQuitKey) {
    markLaunchedBefore(config_.path());
    const auto errors = config_.path() / "errors";
    Program program(environmentFor(xvfb_, config_.path(), xvfb_.displayName()),
                    {.errors = errors, .fromLauncher = false});
    auto bar = waitForStatusBar(display_.get(), 30s);
    ASSERT_TRUE(bar) << fileText(errors);
    Display* display = display_.get();

    std::mt19937 random(20261207);
    auto within = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, std::max(low, high))(random);
    };
    // A point on the strip, or in the area below it where the details and menus open.
    auto somewhere = [&] {
        const auto strip = stripWindow(display, *bar).value_or(*bar);
        if (within(0, 2) > 0)
            return std::pair{within(strip.x, strip.x + int(strip.width) - 1), within(2, 21)};
        return std::pair{within(xvfb_.width() - 500, xvfb_.width() - 1), within(24, 600)};
    };
    const auto end = std::chrono::steady_clock::now() + sessionLength();
    int steps = 0;
    while (std::chrono::steady_clock::now() < end && program.isRunning()) {
        const auto [x, y] = somewhere();
        fakeMotion(display, x, y);
        switch (within(0, 5)) {
        case 0:
        case 1:
            fakeButton(display, 1, true);
            fakeButton(display, 1, false);
            break;
        case 2: { // a drag
            fakeButton(display, 1, true);
            const auto [toX, toY] = somewhere();
            for (int step = 1; step <= 5; ++step) {
                fakeMotion(display, x + (toX - x) * step / 5, y + (toY - y) * step / 5);
                std::this_thread::sleep_for(20ms);
            }
            fakeButton(display, 1, false);
            break;
        }
        case 3: // a menu
            fakeButton(display, 3, true);
            fakeButton(display, 3, false);
            break;
        default:
            testsupport::fakeKey(display, XK_Escape, true);
            testsupport::fakeKey(display, XK_Escape, false);
            break;
        }
        ++steps;
        std::this_thread::sleep_for(std::chrono::milliseconds(within(60, 250)));
    }
    ASSERT_TRUE(program.isRunning()) << "it ended during the session: " << fileText(errors);
    EXPECT_GT(steps, 10);

    // Menus closed, then the quit key over the strip (keys go where the pointer is without a
    // window manager).
    for (int i = 0; i < 3 && windowsBelowTheBar(display) > 0; ++i) {
        const int open = windowsBelowTheBar(display);
        testsupport::fakeKey(display, XK_Escape, true);
        testsupport::fakeKey(display, XK_Escape, false);
        waitFor([&] { return windowsBelowTheBar(display) < open; }, 2s);
    }
    const auto strip = stripWindow(display, *bar).value_or(*bar);
    fakeMotion(display, strip.x + int(strip.width) / 2, 12);
    // The server routes the keys after the motion it has taken in.
    XSync(display, False);
    pressControlQ();
    auto status = program.waitForExit(20s);
    ASSERT_TRUE(status) << "the quit key ends the program";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << fileText(errors);
    EXPECT_FALSE(hasSanitizerReport(fileText(errors))) << fileText(errors);
}

// A link's opener still looking for a browser when the user quits: the program ends at once and
// leaves it running, and a copy started the moment the windows go is the one that runs.
TEST_F(PulsedeckX11, TheQuitKeyEndsAtOnceWhileALinkIsStillOpeningAndARelaunchRuns) {
    markLaunchedBefore(config_.path());
    const auto bin = config_.path() / "bin";
    std::filesystem::create_directories(bin);
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\necho $$ > \"$0.pid\"\nexec sleep 30\n";
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    auto variables = environmentFor(xvfb_, config_.path(), xvfb_.displayName());
    variables.push_back("PATH=" + bin.string() + ":" + std::getenv("PATH"));
    Program first(variables);
    auto bar = waitForStatusBar(display_.get(), bound);
    ASSERT_TRUE(bar);
    ASSERT_TRUE(waitForSample(display_.get(), *bar, bound));
    Display* display = display_.get();
    const int stripY = bar->y + int(bar->height) / 2;
    const int stripX = bar->x + int(bar->width) - 60;

    // The strip's menu opens at the pointer; Privacy Policy is its eighth row.
    const long popUp = long(XInternAtom(display, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False));
    std::optional<Placed> menu;
    const auto menuShown = [&] {
        for (const auto& panel : shownPanels(display)) {
            const auto types = testsupport::windowProperty(display, panel.window,
                                                           "_NET_WM_WINDOW_TYPE", XA_ATOM, 8);
            if (std::find(types.begin(), types.end(), popUp) != types.end())
                menu = panel;
        }
        return menu.has_value();
    };
    for (int tries = 0; tries < 5 && !menu; ++tries) {
        fakeMotion(display, stripX, stripY);
        fakeButton(display, 3, true);
        fakeButton(display, 3, false);
        waitFor(menuShown, 3s);
    }
    ASSERT_TRUE(menu) << "the strip's menu opens";
    const int row = menu->area.y + int(ui::MenuLayout::verticalPadding) +
                    int(7.5 * pulsedeck::PersistentMenuOption::height);
    fakeMotion(display, menu->area.x + 40, row);
    fakeButton(display, 1, true);
    fakeButton(display, 1, false);
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(bin / "xdg-open.pid"); }, bound))
        << "the opener runs";

    fakeMotion(display, stripX, stripY);
    XSync(display, False);
    pressControlQ();
    ASSERT_TRUE(waitFor([&] { return mappedDocks() == 0; }, bound)) << "the windows go";
    Program second(variables);
    const auto status = first.waitForExit(5s);
    ASSERT_TRUE(status) << "the opener is not waited for";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_TRUE(waitForStatusBar(display, bound)) << "the relaunched copy runs";
    EXPECT_TRUE(second.isRunning());
    const auto opener = std::stoi(fileText(bin / "xdg-open.pid"));
    EXPECT_EQ(kill(opener, 0), 0) << "the opener runs on";
    kill(opener, SIGKILL);
}

TEST(Pulsedeck, WithoutADisplayItSaysSoAndEndsWritingNothing) {
    ASSERT_TRUE(std::filesystem::exists(programPath())) << "build the pulsedeck target";
    testsupport::TemporaryDirectory home;
    const auto errors = home.path() / "errors";
    Program program({"HOME=" + home.path().string(), "XDG_RUNTIME_DIR=" + home.path().string(),
                     "LANG=en_US.UTF-8"},
                    {.errors = errors});
    ASSERT_TRUE(program.started());
    auto status = program.waitForExit(10s);
    ASSERT_TRUE(status) << "it must not run unseen";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0);
    EXPECT_NE(fileText(errors).find("needs an X display"), std::string::npos) << fileText(errors);
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path()))
        written.push_back(entry.path().filename().string());
    EXPECT_EQ(written, std::vector<std::string>{"errors"});
}

} // namespace
