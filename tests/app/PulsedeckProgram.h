#pragma once

// Runs of the whole program on a test's X server, and what the tests look for on that server.
// Brings Xlib through the X11 test support: include it after every other header.

#include "support/TestPaths.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// clang-format off
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
// clang-format on

namespace pulsedecktest {

using namespace std::chrono_literals;

using testsupport::DisplayConnection;
using testsupport::programPath;

// The variables of a run of the program on the test's X server, with its own preferences folder.
inline std::vector<std::string> environmentFor(const testsupport::XvfbServer& server,
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
    // Its standard output goes here when one is given (not with fromLauncher).
    std::filesystem::path output = {};
    // As a desktop's launcher starts it: a session of its own, no terminal, nothing to read.
    bool fromLauncher = false;
    // What follows the program's name.
    std::vector<std::string> arguments = {};
    // A program that starts it ("prlimit", "--nofile=5", "--"), found on PATH.
    std::vector<std::string> launcher = {};
    // Its working folder; the test's own when empty.
    std::filesystem::path workingFolder = {};
    // Another user's run (the test must be root): that user's and group's ids. Nothing else
    // above applies to it but the arguments and the launcher.
    std::optional<std::pair<uid_t, gid_t>> user = {};
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
        std::vector<std::string> words = start.launcher;
        words.push_back(programPath().string());
        words.insert(words.end(), start.arguments.begin(), start.arguments.end());
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (start.user) {
            pid_ = fork();
            if (pid_ == 0) {
                if (setgroups(0, nullptr) != 0 || setgid(start.user->second) != 0 ||
                    setuid(start.user->first) != 0)
                    _exit(126);
                execvpe(argv[0], argv.data(), envp.data());
                _exit(127);
            }
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        if (!start.errors.empty())
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, start.errors.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (!start.output.empty())
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, start.output.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (!start.workingFolder.empty())
            posix_spawn_file_actions_addchdir_np(&actions, start.workingFolder.c_str());
        if (start.fromLauncher) {
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        }
        if (posix_spawnp(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
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
    pid_t pid() const { return pid_; }
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

// Polls `done` until it holds or `timeout` has passed; whether it held.
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// Preferences of a run that is not the first, so nothing opens by itself; `more` adds entries.
inline void markLaunchedBefore(const std::filesystem::path& config, const std::string& more = "") {
    std::filesystem::create_directories(config / "pulsedeck");
    std::ofstream(config / "pulsedeck" / "local.dorvettin.Pulsedeck.json")
        << R"({"hasLaunched": true, "menuBarTipShown": true)" << more << "}";
}

// The class name a window gives, empty without one.
inline std::string windowClassName(Display* display, ::Window window) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint))
        return "";
    const std::string name = hint.res_name ? hint.res_name : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
    return name;
}

inline bool isProgramWindow(Display* display, ::Window window) {
    return windowClassName(display, window) == "pulsedeck";
}

// The windows of a class under `parent`, however deep (to `depth` levels) window managers hold
// them in frames of their own: a tiling manager reparents its docks and lists none among its
// clients.
inline std::vector<::Window> windowsNamed(Display* display, const std::string& name,
                                          ::Window parent, int depth = 3) {
    std::vector<::Window> found;
    ::Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (depth == 0 || !XQueryTree(display, parent, &root, &up, &children, &count))
        return found;
    for (unsigned i = 0; i < count; ++i) {
        if (windowClassName(display, children[i]) == name) {
            found.push_back(children[i]);
            continue;
        }
        const auto inside = windowsNamed(display, name, children[i], depth - 1);
        found.insert(found.end(), inside.begin(), inside.end());
    }
    if (children)
        XFree(children);
    return found;
}

// The top-level windows of the program: (window, geometry).
struct TopLevel {
    ::Window window;
    int x, y;
    unsigned width, height;
    bool mapped;
};

inline std::vector<TopLevel> programWindows(Display* display) {
    std::vector<TopLevel> found;
    ::Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count))
        return found;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (isProgramWindow(display, children[i]) &&
            XGetWindowAttributes(display, children[i], &attributes))
            found.push_back(
                {children[i], attributes.x, attributes.y, static_cast<unsigned>(attributes.width),
                 static_cast<unsigned>(attributes.height), attributes.map_state == IsViewable});
    }
    XFree(children);
    return found;
}

inline bool isDock(Display* display, ::Window window) {
    const long dock = long(XInternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK", False));
    const auto types =
        testsupport::windowProperty(display, window, "_NET_WM_WINDOW_TYPE", XA_ATOM, 8);
    return std::find(types.begin(), types.end(), dock) != types.end();
}

// A shown window of the program, where it stands on the root.
struct Placed {
    ::Window window = 0;
    testsupport::PixelArea area;
    bool dock = false;
};

// Our viewable windows.
inline std::vector<Placed> placedWindows(Display* display) {
    std::vector<Placed> found;
    for (const ::Window window : windowsNamed(display, "pulsedeck", DefaultRootWindow(display))) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) &&
            attributes.map_state == IsViewable)
            found.push_back(
                {window, testsupport::rootArea(display, window), isDock(display, window)});
    }
    return found;
}

inline std::vector<Placed> docks(Display* display) {
    std::vector<Placed> found;
    for (const auto& window : placedWindows(display))
        if (window.dock)
            found.push_back(window);
    return found;
}

// Our shown windows that are neither a dock nor the few-pixel anchor: menus, previews, panels.
inline std::vector<Placed> shownPanels(Display* display) {
    std::vector<Placed> found;
    for (const auto& window : placedWindows(display))
        if (!window.dock && window.area.height > 2)
            found.push_back(window);
    return found;
}

// Whether the keyboard's focus is in `window` or a window inside it.
inline bool holdsKeyboard(Display* display, ::Window window) {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    while (focus != 0 && focus != PointerRoot) {
        if (focus == window)
            return true;
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, focus, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        if (parent == root)
            return false;
        focus = parent;
    }
    return false;
}

// A test that runs the built program on an X server of its own, with a preferences folder of its
// own, and looks at the server through a connection of its own.
class ProgramOnDisplay : public ::testing::Test {
protected:
    explicit ProgramOnDisplay(int width = 1280, int height = 800) : xvfb_(width, height) {}

    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(programPath())) << "build the pulsedeck target";
        ASSERT_NO_FATAL_FAILURE(testsupport::lookAtServer(xvfb_, display_));
    }

    Display* display() const { return display_.get(); }

    // The whole screen as the user sees it, into the test's artifacts.
    void screenshot(const std::string& name) const {
        const auto captured = testsupport::capture(display(), DefaultRootWindow(display()), 0, 0,
                                                   xvfb_.width(), xvfb_.height());
        EXPECT_TRUE(captured.writePng(testsupport::artifactPath(name)));
    }

    // Our mapped dock windows: one per running copy.
    int mappedDocks() {
        int count = 0;
        for (const auto& window : programWindows(display_.get()))
            count += window.mapped && isDock(display_.get(), window.window) ? 1 : 0;
        return count;
    }

    testsupport::XvfbServer xvfb_;
    testsupport::TemporaryDirectory config_;
    testsupport::DisplayConnection display_;
};

// The status bar: our mapped dock window along the top edge, 24 points tall.
inline std::optional<TopLevel> statusBar(Display* display) {
    for (const auto& window : programWindows(display))
        if (window.mapped && window.y == 0 && window.height == 24 && isDock(display, window.window))
            return window;
    return std::nullopt;
}

// Our mapped windows below the menu bar: the details and the tip.
inline int windowsBelowTheBar(Display* display) {
    int count = 0;
    for (const auto& window : programWindows(display))
        count += window.mapped && window.y >= 24 ? 1 : 0;
    return count;
}

inline std::optional<TopLevel> waitForStatusBar(Display* display,
                                                std::chrono::milliseconds timeout) {
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
inline std::optional<TopLevel> stripWindow(Display* display, const TopLevel& bar) {
    std::optional<TopLevel> top;
    for (const auto& window : programWindows(display))
        if (window.mapped && window.y == bar.y && window.height == bar.height &&
            window.x + static_cast<int>(window.width) == bar.x + static_cast<int>(bar.width))
            top = window;
    return top;
}

inline std::vector<unsigned long> pixels(Display* display, const TopLevel& window) {
    return testsupport::capture(display, window.window, 0, 0, static_cast<int>(window.width),
                                static_cast<int>(window.height))
        .pixels;
}

// Waits (bounded) until the strip shows a new sample, which arrive once a second: the program is
// up and has laid its strip out with live figures.
inline bool waitForSample(Display* display, const TopLevel& bar,
                          std::chrono::milliseconds timeout) {
    const auto first = stripWindow(display, bar);
    const auto before = first ? pixels(display, *first) : std::vector<unsigned long>{};
    return waitFor(
        [&] {
            const auto now = stripWindow(display, bar);
            return now && pixels(display, *now) != before;
        },
        timeout);
}

inline std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace pulsedecktest
