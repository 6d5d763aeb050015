#include "platform/foundation/SingleInstance.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that gtest's own names would hit.
// clang-format off
#include "PulsedeckProgram.h"
#include "support/X11TestSupport.h"
#include <X11/keysym.h>
// clang-format on

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Starts of the whole program in environments a user may well have: launches that see other
// runtime folders, no home at all, a tight descriptor limit, a check interrupted mid-download.
namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;

std::vector<std::string> entriesOf(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

using HostileStart = ProgramOnDisplay;

// Every launch finds the running copy by the user and the display alone, whatever runtime folder
// it was given, and hands its request over.
TEST_F(HostileStart, OneCopyRunsWhateverRuntimeFolderALaunchSees) {
    markLaunchedBefore(config_.path());
    Program running(xvfb_, config_.path());
    ASSERT_TRUE(waitForStatusBar(display_.get(), 5s));

    testsupport::TemporaryDirectory otherRuntime;
    const auto base = environmentFor(xvfb_, config_.path(), xvfb_.displayName());
    auto withRuntime = [&](std::optional<std::string> runtime) {
        std::vector<std::string> variables;
        for (const auto& variable : base)
            if (!variable.starts_with("XDG_RUNTIME_DIR="))
                variables.push_back(variable);
        if (runtime)
            variables.push_back("XDG_RUNTIME_DIR=" + *runtime);
        return variables;
    };
    for (const auto& runtime :
         {std::optional<std::string>(otherRuntime.path().string()), std::optional<std::string>()}) {
        const auto label = runtime.value_or("no runtime folder");
        Program second(withRuntime(runtime), {.errors = {}, .fromLauncher = true});
        const auto status = second.waitForExit(10s);
        ASSERT_TRUE(status) << label << ": the second copy ends";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << label;
        // The request reached the running copy: its details open below the bar.
        EXPECT_TRUE(waitFor([&] { return windowsBelowTheBar(display_.get()) == 1; }, 5s)) << label;
        EXPECT_TRUE(running.isRunning());
        EXPECT_EQ(mappedDocks(), 1) << label;
        // Closed again, so the next launch's request is seen. Escape reaches the details only
        // once they have taken the keyboard, so it is pressed until they close.
        ASSERT_TRUE(waitFor(
            [&] {
                testsupport::fakeKey(display_.get(), XK_Escape, true);
                testsupport::fakeKey(display_.get(), XK_Escape, false);
                XSync(display_.get(), False);
                return waitFor([&] { return windowsBelowTheBar(display_.get()) == 0; }, 300ms);
            },
            10s));
    }
    EXPECT_TRUE(entriesOf(otherRuntime.path()).empty());
}

// No HOME, no XDG variables and no password entry: the program runs without saving, and creates
// nothing in the folder it was started from, while it runs or after.
TEST_F(HostileStart, WithoutAHomeNothingIsCreatedInTheWorkingFolder) {
    if (getuid() != 0)
        GTEST_SKIP() << "a user without a password entry needs root to act out";
    testsupport::TemporaryDirectory working;
    ASSERT_EQ(chmod(working.path().c_str(), 0777), 0);
    const auto errors = config_.path() / "errors";
    const std::vector<std::string> launcher = {"setpriv", "--reuid=54321", "--regid=54321",
                                               "--clear-groups", "--"};
    const std::vector<std::string> variables = {"DISPLAY=" + xvfb_.displayName(),
                                                "LANG=en_US.UTF-8"};
    Program running(variables, {.errors = errors,
                                .fromLauncher = false,
                                .arguments = {},
                                .launcher = launcher,
                                .workingFolder = working.path()});
    ASSERT_TRUE(waitForStatusBar(display_.get(), 10s)) << fileText(errors);
    // A second start of the same user, from the same folder, hands over.
    Program second(variables, {.errors = {},
                               .fromLauncher = false,
                               .arguments = {},
                               .launcher = launcher,
                               .workingFolder = working.path()});
    const auto handedOver = second.waitForExit(10s);
    ASSERT_TRUE(handedOver);
    EXPECT_TRUE(WIFEXITED(*handedOver) && WEXITSTATUS(*handedOver) == 0);
    EXPECT_EQ(mappedDocks(), 1);
    EXPECT_TRUE(entriesOf(working.path()).empty());

    running.signal(SIGTERM);
    const auto status = running.waitForExit(10s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(entriesOf(working.path()).empty());
    EXPECT_NE(fileText(errors).find("settings will not be saved"), std::string::npos)
        << fileText(errors);
}

// Another user's process that binds `name` in the abstract namespace before us and answers every
// request as a running copy would, until it is destroyed.
class Squatter {
public:
    explicit Squatter(const std::string& name) {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path + 1, name.data(), name.size());
            const auto length =
                static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
            const bool bound = setgid(65534) == 0 && setuid(65534) == 0 &&
                               bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                               listen(fd, 8) == 0;
            (void)!write(ready[1], bound ? "y" : "n", 1);
            while (bound) {
                const int peer = accept(fd, nullptr, nullptr);
                (void)!write(peer, "!", 1);
                close(peer);
            }
            _exit(0);
        }
        char byte = 0;
        bound_ = pid_ > 0 && read(ready[0], &byte, 1) == 1 && byte == 'y';
        close(ready[0]);
        close(ready[1]);
    }
    ~Squatter() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool bound() const { return bound_; }

private:
    pid_t pid_ = -1;
    bool bound_ = false;
};

// Where a second copy could not see the first by its socket name (a network namespace of its
// own, as sandboxes start programs; the name taken first by another user), the display still
// holds one copy: the second ends at once, and the first opens its details. A client that took
// the display's selection from the first and went away changes nothing: the first took it back.
TEST_F(HostileStart, OneCopyRunsAcrossNetworkNamespacesAndASquattedName) {
    if (getuid() != 0)
        GTEST_SKIP() << "network namespaces and another user's process need root";
    struct Case {
        const char* name;
        std::vector<std::string> launcher;
        bool squatted;
        bool selectionStolen;
    };
    const Case cases[] = {
        {"two network namespaces", {"unshare", "--net", "--"}, false, false},
        {"the name taken by another user", {}, true, false},
        {"the selection taken by a client that went", {"unshare", "--net", "--"}, false, true},
    };
    markLaunchedBefore(config_.path());
    const auto errors = config_.path() / "errors";
    const auto variables = environmentFor(xvfb_, config_.path(), xvfb_.displayName());
    for (const auto& test : cases) {
        std::optional<Squatter> squatter;
        if (test.squatted) {
            squatter.emplace(foundation::SingleInstance::nameFor("local.dorvettin.Pulsedeck",
                                                                 xvfb_.displayName()));
            ASSERT_TRUE(squatter->bound()) << test.name;
        }
        Program running(variables, {.errors = errors, .launcher = test.launcher});
        ASSERT_TRUE(waitForStatusBar(display_.get(), 10s)) << test.name << fileText(errors);
        if (test.selectionStolen) {
            Display* x = display_.get();
            const Atom selection = XInternAtom(x, "local.dorvettin.Pulsedeck_U0_S0", False);
            const ::Window owner = XGetSelectionOwner(x, selection);
            ASSERT_NE(owner, 0u) << test.name;
            {
                testsupport::DisplayConnection thief(XOpenDisplay(xvfb_.displayName().c_str()));
                XSetSelectionOwner(thief.get(), selection,
                                   XCreateSimpleWindow(thief.get(), DefaultRootWindow(thief.get()),
                                                       0, 0, 1, 1, 0, 0, 0),
                                   CurrentTime);
                XSync(thief.get(), False);
            }
            EXPECT_TRUE(waitFor([&] { return XGetSelectionOwner(x, selection) == owner; }, 1s))
                << test.name;
        }
        const auto secondErrors = config_.path() / "second-errors";
        Program second(variables, {.errors = secondErrors, .launcher = test.launcher});
        const auto status = second.waitForExit(10s);
        ASSERT_TRUE(status) << test.name << ": the second copy ends";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << test.name;
        EXPECT_EQ(fileText(secondErrors),
                  "Pulsedeck is already running on this display; it was asked to open its "
                  "details\n")
            << test.name;
        EXPECT_TRUE(waitFor([&] { return windowsBelowTheBar(display_.get()) == 1; }, 5s))
            << test.name;
        EXPECT_EQ(mappedDocks(), 1) << test.name;
        EXPECT_TRUE(running.isRunning()) << test.name;
        running.signal(SIGTERM);
        ASSERT_TRUE(running.waitForExit(10s)) << test.name;
        ASSERT_TRUE(waitFor([&] { return mappedDocks() == 0; }, 5s)) << test.name;
    }
}

// The descriptor limit: too low even for its hard limit, the program says so and ends; a low
// soft limit under a higher hard one is raised and the program runs.
TEST_F(HostileStart, TooFewDescriptorsEndCleanlyWithAMessage) {
    const auto errors = config_.path() / "errors";
    Program starved(environmentFor(xvfb_, config_.path(), xvfb_.displayName()),
                    {.errors = errors,
                     .fromLauncher = false,
                     .arguments = {},
                     .launcher = {"prlimit", "--nofile=5", "--"}});
    const auto status = starved.waitForExit(10s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << fileText(errors);
    EXPECT_NE(fileText(errors).find("ulimit -n"), std::string::npos) << fileText(errors);
    EXPECT_EQ(mappedDocks(), 0);

    Program raised(environmentFor(xvfb_, config_.path(), xvfb_.displayName()),
                   {.errors = errors,
                    .fromLauncher = false,
                    .arguments = {},
                    .launcher = {"prlimit", "--nofile=5:4096", "--"}});
    EXPECT_TRUE(waitForStatusBar(display_.get(), 10s)) << fileText(errors);
    raised.signal(SIGTERM);
    const auto ended = raised.waitForExit(10s);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(WIFSIGNALED(*ended) && WTERMSIG(*ended) == SIGTERM);
}

// The processes whose parent is `parent`.
std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const auto name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // "pid (name) state ppid ...": the name may hold spaces, not a ")".
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent)
            children.push_back(std::stoi(name));
    }
    return children;
}

// Gone, or a zombie waiting for whoever adopted it.
bool hasEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    const auto close = line.rfind(')');
    return close != std::string::npos && line.size() > close + 2 && line[close + 2] == 'Z';
}

// A server that takes connections and never says a word: the download hangs in its handshake.
class SilentServer {
public:
    SilentServer() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd_, 8) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentServer() { close(fd_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

TEST(UpdateCheckInterrupted, LeavesNoProcessAndNoFolder) {
    ASSERT_TRUE(std::filesystem::exists(programPath())) << "build the pulsedeck target";
    SilentServer server;
    ASSERT_GT(server.port(), 0);
    for (const int signal : {SIGTERM, SIGKILL}) {
        testsupport::TemporaryDirectory scratch;
        const auto url = "https://127.0.0.1:" + std::to_string(server.port()) + "/latest.json";
        Program check({"HOME=" + scratch.path().string(), "TMPDIR=" + scratch.path().string(),
                       "LANG=en_US.UTF-8"},
                      {.errors = {},
                       .fromLauncher = false,
                       .arguments = {"--check-updates", url},
                       .launcher = {},
                       .workingFolder = scratch.path()});
        ASSERT_TRUE(check.started());
        std::vector<pid_t> downloads;
        ASSERT_TRUE(waitFor([&] { return !(downloads = childrenOf(check.pid())).empty(); }, 10s))
            << "the download starts";
        check.signal(signal);
        ASSERT_TRUE(check.waitForExit(5s)) << strsignal(signal);
        for (const pid_t download : downloads)
            EXPECT_TRUE(waitFor([&] { return hasEnded(download); }, 5s))
                << strsignal(signal) << ": the download ends with its parent";
        EXPECT_TRUE(entriesOf(scratch.path()).empty()) << strsignal(signal);
    }
}

} // namespace
