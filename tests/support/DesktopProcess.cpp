#include "support/DesktopProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

namespace {
// How long a program may take to end on SIGTERM before it is killed.
constexpr auto gracePeriod = std::chrono::seconds(2);
} // namespace

DesktopProcess::DesktopProcess(const std::string& display, std::vector<std::string> argv) {
    if (argv.empty())
        return;
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        setenv("DISPLAY", display.c_str(), 1);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (devNull >= 0)
        close(devNull);
}

DesktopProcess::~DesktopProcess() {
    stop();
}

bool DesktopProcess::isRunning() {
    if (pid_ <= 0 || reaped_)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_)
        reaped_ = true;
    return !reaped_;
}

void DesktopProcess::stop() {
    if (!isRunning())
        return;
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + gracePeriod;
    while (isRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (isRunning()) {
        kill(pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }
}

} // namespace testsupport
