#pragma once

#include <atomic>

namespace foundation {

// Asks a runProcess() in flight on another thread to end its child now: the child's group is
// killed and the child reaped, as at the time limit. Once cancelled it stays cancelled, so a
// process started after the cancellation is ended at once.
//
// cancel() from any thread; the owner outlives every runProcess() given it.
class ProcessCancellation {
public:
    ProcessCancellation();
    ~ProcessCancellation();
    ProcessCancellation(const ProcessCancellation&) = delete;
    ProcessCancellation& operator=(const ProcessCancellation&) = delete;

    void cancel();
    bool isCancelled() const;
    // Readable once cancelled, for poll(); -1 when none could be made, and then only
    // isCancelled() tells.
    int descriptor() const { return fd_; }

private:
    std::atomic<bool> cancelled_{false};
    int fd_ = -1;
};

} // namespace foundation
