#include "platform/foundation/ProcessRunner.h"

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace foundation {
namespace {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

struct Pipe {
    FileDescriptor read;
    FileDescriptor write;
};

std::optional<Pipe> makePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    return Pipe{FileDescriptor(fds[0]), FileDescriptor(fds[1])};
}

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
public:
    SpawnAttributes() { posix_spawnattr_init(&attributes_); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

// One output stream of the child, read until it closes.
struct Stream {
    FileDescriptor fd;
    std::string* text;
    bool open = false;
};

// Reads what the pipe holds, at most `budget` bytes, so an endless writer never keeps the caller
// from looking at the clock.
void readAvailable(Stream& stream, std::size_t limit, bool& truncated) {
    constexpr std::size_t budget = 1u << 20;
    std::array<char, 65536> buffer;
    for (std::size_t taken = 0; taken < budget;) {
        ssize_t count = ::read(stream.fd.get(), buffer.data(), buffer.size());
        if (count > 0) {
            auto bytes = static_cast<std::size_t>(count);
            taken += bytes;
            std::size_t room = limit > stream.text->size() ? limit - stream.text->size() : 0;
            if (bytes > room)
                truncated = true;
            stream.text->append(buffer.data(), std::min(bytes, room));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count == 0 || errno != EAGAIN)
            stream.open = false;
        return;
    }
}

void killGroup(pid_t pid) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
}

void recordStatus(ProcessResult& result, int status) {
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.terminationSignal = WTERMSIG(status);
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& arguments, const ProcessOptions& options) {
    ProcessResult result;
    if (arguments.empty() || arguments[0].empty()) {
        result.launchError = ENOENT;
        return result;
    }

    std::optional<Pipe> output, error;
    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (options.captureOutput) {
        output = makePipe();
        error = makePipe();
        if (!output || !error) {
            result.launchError = errno;
            return result;
        }
        posix_spawn_file_actions_adddup2(actions.get(), output->write.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(actions.get(), error->write.get(), STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(actions.get(), STDOUT_FILENO, STDERR_FILENO);
    }
    // Ours are all close-on-exec; this also keeps out any a library opened without the flag.
    posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1);

    SpawnAttributes attributes;
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    posix_spawnattr_setsigmask(attributes.get(), &none);
    posix_spawnattr_setsigdefault(attributes.get(), &defaults);
    posix_spawnattr_setpgroup(attributes.get(), 0);
    posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                   POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    bool searchPath = arguments[0].find('/') == std::string::npos;
    int spawnError =
        searchPath
            ? posix_spawnp(&pid, argv[0], actions.get(), attributes.get(), argv.data(), environ)
            : posix_spawn(&pid, argv[0], actions.get(), attributes.get(), argv.data(), environ);
    if (spawnError != 0) {
        result.launchError = spawnError;
        return result;
    }
    result.processIdentifier = pid;

    std::array<Stream, 2> streams;
    if (options.captureOutput) {
        // Only the child may hold the write ends, or the reads would never see the end.
        output->write.reset();
        error->write.reset();
        streams[0] = {std::move(output->read), &result.standardOutput, true};
        streams[1] = {std::move(error->read), &result.standardError, true};
        for (auto& stream : streams)
            ::fcntl(stream.fd.get(), F_SETFL, ::fcntl(stream.fd.get(), F_GETFL) | O_NONBLOCK);
    }
    // Readable once the child has ended; without it the loop looks every 10 ms.
    FileDescriptor exitWatch(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));

    const ProcessCancellation* cancellation = options.cancellation;
    const auto deadline = std::chrono::steady_clock::now() + options.timeLimit;
    int status = 0;
    bool exited = false;
    while (true) {
        exited = ::waitpid(pid, &status, WNOHANG) == pid;
        if (exited) {
            // What the child wrote is in the pipes now. Whatever still holds them open (a
            // program it started) is not waited for.
            for (auto& stream : streams)
                if (stream.open)
                    readAvailable(stream, options.outputLimit, result.outputTruncated);
            break;
        }
        if (cancellation && cancellation->isCancelled()) {
            result.cancelled = true;
            break;
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            result.timedOut = true;
            break;
        }
        std::vector<pollfd> watched;
        for (auto& stream : streams)
            if (stream.open)
                watched.push_back({stream.fd.get(), POLLIN, 0});
        if (exitWatch.get() >= 0)
            watched.push_back({exitWatch.get(), POLLIN, 0});
        const int cancelWatch = cancellation ? cancellation->descriptor() : -1;
        if (cancelWatch >= 0)
            watched.push_back({cancelWatch, POLLIN, 0});
        auto timeout = std::min<std::chrono::milliseconds::rep>(
            std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count(), INT_MAX);
        if (exitWatch.get() < 0 || (cancellation && cancelWatch < 0))
            timeout = std::min<decltype(timeout)>(timeout, 10);
        if (::poll(watched.data(), watched.size(), static_cast<int>(timeout)) < 0 && errno != EINTR)
            break;
        for (auto& stream : streams)
            if (stream.open)
                readAvailable(stream, options.outputLimit, result.outputTruncated);
    }

    if (result.cancelled && !options.killWhenCancelled)
        return result;
    if (!exited) {
        // Past the time limit, cancelled, or poll failed: kill it and wait, so it never lingers
        // as a zombie.
        killGroup(pid);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    recordStatus(result, status);
    return result;
}

} // namespace foundation
