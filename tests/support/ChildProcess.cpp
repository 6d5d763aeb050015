#include "support/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace testsupport {

namespace {
constexpr int stopPatienceMilliseconds = 1000;
} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments,
                           const std::vector<std::pair<std::string, std::string>>& environment,
                           const std::filesystem::path& output) {
    std::vector<std::string> args = arguments;
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    const int written = output.empty()
                            ? devNull
                            : open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        // Its own group, so stopping it also stops what it started (a session bus, a bar).
        setpgid(0, 0);
        if (devNull >= 0)
            dup2(devNull, STDIN_FILENO);
        if (written >= 0) {
            dup2(written, STDOUT_FILENO);
            dup2(written, STDERR_FILENO);
        }
        for (const auto& [name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (pid_ > 0)
        setpgid(pid_, pid_);
    if (written >= 0 && written != devNull)
        close(written);
    if (devNull >= 0)
        close(devNull);
}

bool ChildProcess::isRunning() {
    if (pid_ <= 0 || reaped_)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_)
        reaped_ = true;
    return !reaped_;
}

void ChildProcess::setPaused(bool paused) {
    if (pid_ > 0 && !reaped_)
        kill(-pid_, paused ? SIGSTOP : SIGCONT);
}

ChildProcess::~ChildProcess() {
    if (pid_ <= 0 || reaped_)
        return;
    kill(-pid_, SIGTERM);
    // A paused one takes the request once it goes on.
    kill(-pid_, SIGCONT);
    for (int waited = 0; waited < stopPatienceMilliseconds; waited += 10) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            kill(-pid_, SIGKILL);
            return;
        }
        const timespec pause{0, 10'000'000};
        nanosleep(&pause, nullptr);
    }
    kill(-pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace testsupport
