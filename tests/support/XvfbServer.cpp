#include "support/XvfbServer.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

namespace {
// How long Xvfb may take to announce its display.
constexpr int startTimeoutMilliseconds = 10000;
} // namespace

XvfbServer::XvfbServer(int width, int height) : width_(width), height_(height) {
    if (const char* previous = std::getenv("XDG_RUNTIME_DIR"))
        previousRuntime_ = previous;
    setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);

    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        failure_ = "pipe failed";
        return;
    }
    fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    // Xvfb writes the display number it chose to this descriptor once it accepts clients.
    const std::string announce = std::to_string(pipeFds[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> args = {"Xvfb", "-displayfd", announce,     "-screen",
                                     "0",    screen,       "-nolisten",  "tcp",
                                     "-wr",  "-noreset",   "+extension", "RANDR"};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // The server must not outlive a test that crashes or is killed.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        if (devNull >= 0) {
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    if (devNull >= 0)
        close(devNull);
    close(pipeFds[1]);
    if (pid_ < 0) {
        close(pipeFds[0]);
        failure_ = std::string("cannot run Xvfb: ") + std::strerror(errno);
        return;
    }
    std::string number;
    pollfd waiting{pipeFds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos) {
        if (poll(&waiting, 1, startTimeoutMilliseconds) <= 0)
            break;
        char buffer[32];
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        number.append(buffer, std::size_t(got));
    }
    close(pipeFds[0]);
    if (number.empty() || number.find('\n') == std::string::npos) {
        failure_ = "Xvfb did not announce a display";
        return;
    }
    number.erase(number.find('\n'));
    displayName_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (previousRuntime_)
        setenv("XDG_RUNTIME_DIR", previousRuntime_->c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

} // namespace testsupport
