#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// A program of the desktop around a test (a window manager, a panel, a compositor) on the test's
// private display: started with DISPLAY set to it and its output dropped, ended (SIGTERM, then
// SIGKILL after a grace period) and reaped on destruction, and never outliving the test.
class DesktopProcess {
public:
    DesktopProcess(const std::string& display, std::vector<std::string> argv);
    ~DesktopProcess();
    DesktopProcess(const DesktopProcess&) = delete;
    DesktopProcess& operator=(const DesktopProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // Whether the program still runs.
    bool isRunning();
    // Ends it now; the destructor then has nothing to do.
    void stop();

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

} // namespace testsupport
