#include "platform/system/SystemProfiler.h"

#include "platform/dispatch/Clock.h"

#include <array>
#include <cmath>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace sys {

namespace {

// A report is a few kilobytes; anything near this is not one.
constexpr std::size_t outputLimit = 16 << 20;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }

private:
    int fd_;
};

// The spawned program; ending the object kills it if it still runs and always reaps it.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool hasExited() {
        int status = 0;
        const pid_t result = ::waitpid(pid_, &status, WNOHANG);
        if (result == pid_) {
            pid_ = -1;
            return true;
        }
        return false;
    }

private:
    pid_t pid_;
};

class FileActions {
public:
    FileActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

int remainingMilliseconds(double deadline) {
    const double left = deadline - dispatch::systemUptime();
    return left <= 0 ? 0 : static_cast<int>(std::ceil(left * 1000));
}

} // namespace

std::filesystem::path SystemProfiler::besideExecutable() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path() / "pulsedeck-profiler";
}

std::optional<std::string> SystemProfiler::run(const SystemRoots& roots) {
    const std::string command =
        (roots.profilerCommand.empty() ? besideExecutable() : roots.profilerCommand).string();
    const std::string sysRoot = roots.sys.string();
    std::vector<std::string> arguments = {
        command, "SPThunderboltDataType", "-json", "-timeout", "3", "--sys-root", sysRoot};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    Descriptor readEnd(ends[0]);
    Descriptor writeEnd(ends[1]);
    FileActions actions;
    ::posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), STDOUT_FILENO);
    ::posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    const double start = dispatch::systemUptime();
    pid_t pid = -1;
    if (::posix_spawn(&pid, command.c_str(), actions.get(), nullptr, argv.data(), environ) != 0) {
        return std::nullopt;
    }
    Child child(pid);
    writeEnd.reset();

    std::string output;
    std::array<char, 65536> buffer;
    double deadline = start + runTimeLimit;
    bool exited = false;
    for (;;) {
        pollfd watch{readEnd.get(), POLLIN, 0};
        const int ready = ::poll(&watch, 1, remainingMilliseconds(deadline));
        if (ready < 0 && errno != EINTR) {
            return std::nullopt;
        }
        if (ready > 0) {
            const ssize_t got = ::read(readEnd.get(), buffer.data(), buffer.size());
            if (got < 0 && errno != EINTR && errno != EAGAIN) {
                return std::nullopt;
            }
            if (got == 0) {
                break;
            }
            if (got > 0) {
                output.append(buffer.data(), static_cast<std::size_t>(got));
                if (output.size() > outputLimit) {
                    return std::nullopt;
                }
            }
        }
        if (!exited && child.hasExited()) {
            exited = true;
            deadline = std::min(deadline, dispatch::systemUptime()) + drainTimeLimit;
        }
        if (dispatch::systemUptime() >= deadline) {
            return std::nullopt;
        }
    }
    // The output has ended; the program must end within the run limit as well.
    while (!exited && !child.hasExited()) {
        if (dispatch::systemUptime() >= start + runTimeLimit) {
            return std::nullopt;
        }
        ::usleep(25'000);
    }
    return output;
}

std::optional<nlohmann::json> SystemProfiler::parseReport(std::string_view text) {
    // The parser builds its values with an explicit stack, but every later walk of the value
    // recurses, so depth is limited before anything is built.
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > nestingLimit) {
                return std::nullopt;
            }
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    nlohmann::json value = nlohmann::json::parse(text, nullptr, false);
    if (value.is_discarded()) {
        return std::nullopt;
    }
    return value;
}

} // namespace sys
