#pragma once

#include "platform/dispatch/RunLoop.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

namespace foundation {

// How a second start reaches the copy that already runs, as reopening a running application does
// on a desktop: a Unix stream socket beside the single-instance lock. Each connection from the
// same user is one request; the running copy answers it with one byte and closes it. No step of
// either side waits without a bound.
class ReopenListener {
public:
    // Listens at `socketPath` (a socket left there by a copy that died is replaced: only the
    // holder of the single-instance lock listens) and calls `reopenAction` on `loop`'s thread, in
    // its default mode, for each request. Nothing when the socket cannot be made.
    static std::unique_ptr<ReopenListener> listen(const std::filesystem::path& socketPath,
                                                  dispatch::RunLoop& loop,
                                                  std::function<void()> reopenAction);
    ~ReopenListener();
    ReopenListener(const ReopenListener&) = delete;
    ReopenListener& operator=(const ReopenListener&) = delete;

private:
    ReopenListener(std::filesystem::path socketPath, int fd, std::function<void()> reopenAction);
    void accept();

    std::filesystem::path socketPath_;
    int fd_;
    std::function<void()> reopenAction_;
    dispatch::RunLoop::Registration source_;
};

// Asks the copy listening at `socketPath` to reopen. A copy that is still starting may not listen
// yet, so connecting is tried again until `timeout`; true when the request was answered within
// it. Any thread.
bool requestReopen(const std::filesystem::path& socketPath, std::chrono::milliseconds timeout);

} // namespace foundation
