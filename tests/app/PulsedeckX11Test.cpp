#include "support/TestPaths.h"

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that gtest's own names would hit.
// clang-format off
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
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

// The program the build makes beside the tests folder.
std::filesystem::path programPath() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
           "pulsedeck";
}

// The variables of a run of the program on the test's X server, with its own preferences folder.
std::vector<std::string> environmentFor(const testsupport::XvfbServer& server,
                                        const std::filesystem::path& config,
                                        const std::string& display) {
    std::vector<std::string> variables = {"DISPLAY=" + display,
                                          "XDG_CONFIG_HOME=" + config.string(),
                                          "XDG_RUNTIME_DIR=" + server.runtimeDirectory().string(),
                                          "HOME=" + config.string(), "LANG=en_US.UTF-8"};
    // A sanitizer build of the program reports as the test run asks.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(name))
            variables.push_back(std::string(name) + "=" + value);
    return variables;
}

// How the program is started.
struct Start {
    // Its standard error goes here when one is given.
    std::filesystem::path errors;
    // As a desktop's launcher starts it: a session of its own, no terminal, nothing to read.
    bool fromLauncher = false;
};

// One run of the program.
class Program {
public:
    Program(const testsupport::XvfbServer& server, const std::filesystem::path& config)
        : Program(environmentFor(server, config, server.displayName())) {}
    explicit Program(std::vector<std::string> variables, const Start& start = {}) {
        std::vector<char*> envp;
        for (auto& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        std::string path = programPath().string();
        char* argv[] = {path.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        if (!start.errors.empty())
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, start.errors.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (start.fromLauncher) {
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        }
        if (posix_spawn(&pid_, path.c_str(), &actions, &attributes, argv, envp.data()) != 0)
            pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Program() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool started() const { return pid_ > 0; }
    // The wait status once the program has ended within `timeout`.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!status_) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_)
                status_ = status;
            else if (std::chrono::steady_clock::now() >= deadline)
                break;
            else
                std::this_thread::sleep_for(20ms);
        }
        return status_;
    }
    bool isRunning() { return !waitForExit(0ms); }
    void signal(int number) { kill(pid_, number); }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// The top-level windows of the program: (window, geometry).
struct TopLevel {
    ::Window window;
    int x, y;
    unsigned width, height;
    bool mapped;
};

std::vector<TopLevel> programWindows(Display* display) {
    std::vector<TopLevel> found;
    ::Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count))
        return found;
    for (unsigned i = 0; i < count; ++i) {
        XClassHint hint{};
        if (!XGetClassHint(display, children[i], &hint))
            continue;
        const bool ours = hint.res_name && std::string(hint.res_name) == "pulsedeck";
        XFree(hint.res_name);
        XFree(hint.res_class);
        XWindowAttributes attributes{};
        if (ours && XGetWindowAttributes(display, children[i], &attributes))
            found.push_back(
                {children[i], attributes.x, attributes.y, static_cast<unsigned>(attributes.width),
                 static_cast<unsigned>(attributes.height), attributes.map_state == IsViewable});
    }
    XFree(children);
    return found;
}

bool isDock(Display* display, ::Window window) {
    const long dock = long(XInternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK", False));
    const auto types =
        testsupport::windowProperty(display, window, "_NET_WM_WINDOW_TYPE", XA_ATOM, 8);
    return std::find(types.begin(), types.end(), dock) != types.end();
}

// The status bar: our mapped dock window along the top edge, 24 points tall.
std::optional<TopLevel> statusBar(Display* display) {
    for (const auto& window : programWindows(display))
        if (window.mapped && window.y == 0 && window.height == 24 && isDock(display, window.window))
            return window;
    return std::nullopt;
}

// Our mapped windows below the menu bar: the details and the tip.
int windowsBelowTheBar(Display* display) {
    int count = 0;
    for (const auto& window : programWindows(display))
        count += window.mapped && window.y >= 24 ? 1 : 0;
    return count;
}

std::optional<TopLevel> waitForStatusBar(Display* display, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (auto bar = statusBar(display))
            return bar;
        std::this_thread::sleep_for(50ms);
    }
    return std::nullopt;
}

// The topmost of our windows over the status bar: the bar itself, or the editing panel laid over
// it, which then draws the strip. (Query order is bottom to top.) Both grow and shrink at their
// left edge as the figures change width, so only the right edge and the height identify them.
std::optional<TopLevel> stripWindow(Display* display, const TopLevel& bar) {
    std::optional<TopLevel> top;
    for (const auto& window : programWindows(display))
        if (window.mapped && window.y == bar.y && window.height == bar.height &&
            window.x + static_cast<int>(window.width) == bar.x + static_cast<int>(bar.width))
            top = window;
    return top;
}

std::vector<unsigned long> pixels(Display* display, const TopLevel& window) {
    return testsupport::capture(display, window.window, 0, 0, static_cast<int>(window.width),
                                static_cast<int>(window.height))
        .pixels;
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class PulsedeckX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(programPath())) << "build the pulsedeck target";
        ASSERT_TRUE(xvfb_.isRunning()) << xvfb_.failure();
        // The program's windows come and go while they are looked at: a window gone before its
        // property is read is no fault of the test's.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        display_.reset(XOpenDisplay(xvfb_.displayName().c_str()));
        ASSERT_TRUE(display_);
    }

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

    testsupport::XvfbServer xvfb_;
    testsupport::TemporaryDirectory config_;
    std::unique_ptr<Display, DisplayCloser> display_;
};

TEST_F(PulsedeckX11, RunsSamplesAndQuitsOnTheQuitKeyThenKeepsItsPreferences) {
    {
        Program first(xvfb_, config_.path());
        ASSERT_TRUE(first.started());
        auto bar = waitForStatusBar(display_.get(), 5s);
        ASSERT_TRUE(bar) << "the status item shows";
        std::this_thread::sleep_for(1500ms);
        EXPECT_EQ(windowsBelowTheBar(display_.get()), 2) << "the first launch's details and tip";
        EXPECT_EQ(bar->x + static_cast<int>(bar->width), xvfb_.width()) << "at the right end";

        // Samples arrive once a second: the memory chart grows, so the strip's picture changes.
        std::this_thread::sleep_for(500ms);
        const auto strip = stripWindow(display_.get(), *bar);
        ASSERT_TRUE(strip);
        const auto before = pixels(display_.get(), *strip);
        std::this_thread::sleep_for(2000ms);
        const auto stripLater = stripWindow(display_.get(), *bar);
        ASSERT_TRUE(stripLater);
        const auto after = pixels(display_.get(), *stripLater);
        EXPECT_NE(before, after);
        EXPECT_TRUE(first.isRunning());

        // The first-run tip holds the keyboard; Control-Q reaches the application there.
        pressControlQ();
        auto status = first.waitForExit(5s);
        ASSERT_TRUE(status) << "the quit key ends the program";
        EXPECT_TRUE(WIFEXITED(*status));
        EXPECT_EQ(WEXITSTATUS(*status), 0);
    }
    const std::string written = fileText(preferences());
    EXPECT_NE(written.find("\"hasLaunched\": true"), std::string::npos) << written;
    EXPECT_NE(written.find("\"menuBarTipShown\": true"), std::string::npos) << written;

    Program second(xvfb_, config_.path());
    ASSERT_TRUE(waitForStatusBar(display_.get(), 5s));
    std::this_thread::sleep_for(2000ms);
    // Not the first launch: neither the details nor the tip open again.
    EXPECT_EQ(windowsBelowTheBar(display_.get()), 0);
    second.signal(SIGTERM);
    auto status = second.waitForExit(5s);
    ASSERT_TRUE(status) << "SIGTERM ends the program";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM);
    EXPECT_EQ(fileText(preferences()), written) << "every preference kept";
}

TEST_F(PulsedeckX11, OfTwoCopiesStartedTogetherExactlyOneStays) {
    Program a(xvfb_, config_.path());
    Program b(xvfb_, config_.path());
    ASSERT_TRUE(a.started() && b.started());
    ASSERT_TRUE(waitForStatusBar(display_.get(), 5s));
    std::this_thread::sleep_for(1000ms);
    EXPECT_NE(a.isRunning(), b.isRunning());
    auto& loser = a.isRunning() ? b : a;
    auto status = loser.waitForExit(0ms);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    int bars = 0;
    for (const auto& window : programWindows(display_.get()))
        bars += window.mapped && isDock(display_.get(), window.window) ? 1 : 0;
    EXPECT_EQ(bars, 1);
}

TEST_F(PulsedeckX11, ASecondStartByAnyNameOfTheDisplayOpensTheRunningCopyAndEnds) {
    // Not the first launch, so nothing opens below the bar on its own.
    std::filesystem::create_directories(preferences().parent_path());
    std::ofstream(preferences()) << "{\"hasLaunched\": true, \"menuBarTipShown\": true}";
    Program running(xvfb_, config_.path());
    ASSERT_TRUE(waitForStatusBar(display_.get(), 5s));
    std::this_thread::sleep_for(1000ms);
    ASSERT_EQ(windowsBelowTheBar(display_.get()), 0);

    const auto number = xvfb_.displayName().substr(1);
    for (const auto& name : {":" + number + ".0", "unix:" + number}) {
        Program second(environmentFor(xvfb_, config_.path(), name),
                       {.errors = {}, .fromLauncher = true});
        auto status = second.waitForExit(5s);
        ASSERT_TRUE(status) << name << ": the second copy ends";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << name;
        const auto deadline = std::chrono::steady_clock::now() + 3s;
        while (windowsBelowTheBar(display_.get()) == 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(50ms);
        EXPECT_EQ(windowsBelowTheBar(display_.get()), 1) << name << ": the details open";
    }
    EXPECT_TRUE(running.isRunning());
    int bars = 0;
    for (const auto& window : programWindows(display_.get()))
        bars += window.mapped && isDock(display_.get(), window.window) ? 1 : 0;
    EXPECT_EQ(bars, 1);
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
    std::filesystem::create_directories(preferences().parent_path());
    std::ofstream(preferences()) << "{\"hasLaunched\": true, \"menuBarTipShown\": true}";
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
    for (int i = 0; i < 3; ++i) {
        testsupport::fakeKey(display, XK_Escape, true);
        testsupport::fakeKey(display, XK_Escape, false);
        std::this_thread::sleep_for(200ms);
    }
    const auto strip = stripWindow(display, *bar).value_or(*bar);
    fakeMotion(display, strip.x + int(strip.width) / 2, 12);
    std::this_thread::sleep_for(200ms);
    pressControlQ();
    auto status = program.waitForExit(20s);
    ASSERT_TRUE(status) << "the quit key ends the program";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << fileText(errors);
    EXPECT_FALSE(hasSanitizerReport(fileText(errors))) << fileText(errors);
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
