#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/TimedWork.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace dispatch::detail {

// What a queue's worker threads are called: the label's last dot-separated part ("sampling" for
// "Pulsedeck.sampling"), at most the 15 bytes Linux keeps.
std::string threadNameForLabel(std::string_view label);

// The engine under the serial queues and the global pool: a FIFO of work and a list of timed
// work served by `threads` workers, or by runPending() on the caller's thread when there are
// none. Every method may be called from any thread.
class WorkerQueue {
public:
    WorkerQueue(std::string label, int threads, const Clock& clock);
    ~WorkerQueue();
    WorkerQueue(const WorkerQueue&) = delete;
    WorkerQueue& operator=(const WorkerQueue&) = delete;

    const std::string& label() const { return label_; }
    const Clock& clock() const { return clock_; }

    void async(Work work);
    void enqueueTimed(std::shared_ptr<TimedWork> entry);
    int runPending();
    void shutDown(PendingWork pending);

private:
    void workerLoop();
    // Moves timed work whose deadline has passed to the back of the FIFO; mutex held.
    void moveDueLocked();

    std::string label_;
    const Clock& clock_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Work> posted_;
    TimedWorkList timed_;
    bool accepting_ = true;
    bool stopping_ = false;
    bool draining_ = false;
    std::vector<std::thread> threads_;
};

} // namespace dispatch::detail
