#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/TimedWork.h"

#include <condition_variable>
#include <deque>
#include <limits>
#include <memory>
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

    const std::string& label() const { return state_->label; }
    const Clock& clock() const { return state_->clock; }

    void async(Work work);
    void enqueueTimed(std::shared_ptr<TimedWork> entry);
    int runPending();
    // Waits at most `longestWait` seconds (real time) for the workers to end; a worker still in
    // a piece then is left to it and ends once it returns.
    void shutDown(PendingWork pending,
                  double longestWait = std::numeric_limits<double>::infinity());

private:
    // What the workers use. Shared with them, so a worker left to a piece that never returns
    // still has it when the piece does, however long after the queue went.
    struct State {
        State(std::string label, const Clock& clock) : label(std::move(label)), clock(clock) {}
        // Moves timed work whose deadline has passed to the back of the FIFO; mutex held.
        void moveDueLocked();
        void workerLoop();

        const std::string label;
        const Clock& clock;
        std::mutex mutex;
        std::condition_variable changed;
        std::condition_variable workerEnded;
        std::deque<Work> posted;
        TimedWorkList timed;
        bool accepting = true;
        bool stopping = false;
        bool draining = false;
        int runningWorkers = 0;
    };

    std::shared_ptr<State> state_;
    std::vector<std::thread> threads_;
};

} // namespace dispatch::detail
