#pragma once

#include "support/TestPaths.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace testsupport {

// A private X server for one test: Xvfb on a display number it picks itself (so tests running
// side by side never collide), a white root window (so anything drawn black stands out), and its
// own runtime folder, which becomes XDG_RUNTIME_DIR while the server lives. Stopped and reaped
// on destruction.
class XvfbServer {
public:
    XvfbServer(int width = 1280, int height = 800);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool isRunning() const { return pid_ > 0 && !displayName_.empty(); }
    // ":N", for XOpenDisplay.
    const std::string& displayName() const { return displayName_; }
    const std::filesystem::path& runtimeDirectory() const { return runtime_.path(); }
    int width() const { return width_; }
    int height() const { return height_; }
    // Why the server did not start, when it did not.
    const std::string& failure() const { return failure_; }

private:
    TemporaryDirectory runtime_;
    int width_;
    int height_;
    pid_t pid_ = -1;
    std::string displayName_;
    std::string failure_;
    std::optional<std::string> previousRuntime_;
};

} // namespace testsupport
