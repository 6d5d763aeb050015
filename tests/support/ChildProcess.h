#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace testsupport {

// A helper program a test runs beside itself (a window manager, a panel), its output discarded or
// kept in a file.
// It dies with the test process, and is stopped on destruction with every process it started
// (its own process group): SIGTERM, then SIGKILL if it has not gone within a second; always
// reaped.
class ChildProcess {
public:
    // Runs `arguments` (found on PATH) with the given variables added to the environment; its
    // standard output and error go to `output` when one is given.
    ChildProcess(const std::vector<std::string>& arguments,
                 const std::vector<std::pair<std::string, std::string>>& environment = {},
                 const std::filesystem::path& output = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False once the program could not be started or has ended.
    bool isRunning();
    // Stops it, with every process it started, or lets them go on: a program a loaded machine
    // keeps from running a while.
    void setPaused(bool paused);

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

} // namespace testsupport
