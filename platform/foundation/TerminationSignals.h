#pragma once

#include <functional>
#include <thread>

namespace foundation {

// Runs `beforeExit` when the process is asked to stop with SIGTERM, SIGINT or SIGHUP, then lets
// the signal end the process as it would have (so the exit status still tells why). The signals
// are taken on a thread of this object's own, where `beforeExit` may lock and write freely — no
// signal-handler limits apply. Typical use: flush the user defaults.
//
// Construct it in main() before any other thread starts: threads started later inherit the
// blocked signals, and one started earlier could take the signal itself and end the process
// without `beforeExit`. Destroying it stops watching and unblocks the signals in this thread.
class TerminationSignals {
public:
    explicit TerminationSignals(std::function<void(int signal)> beforeExit);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::function<void(int)> beforeExit_;
    std::thread watcher_;
};

} // namespace foundation
