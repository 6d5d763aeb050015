#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"

#include <limits>
#include <memory>
#include <string>

namespace dispatch {

namespace detail {
class WorkerQueue;
}

// What shut-down does with work that was queued but has not started.
enum class PendingWork {
    drain,   // run the queued async work first (timed work not yet due is dropped)
    discard, // drop it
};

// A FIFO queue with one worker thread: work runs one piece at a time, in the order it was sent.
// With Execution::manual there is no thread; the test thread calls runPending() instead (the
// mode to pair with a VirtualClock: a worker thread waits for timed work in real time).
class SerialQueue final : public Queue {
public:
    enum class Execution { workerThread, manual };

    explicit SerialQueue(std::string label, Execution execution = Execution::workerThread,
                         const Clock& clock = uptimeClock());
    // Shuts down discarding pending work: the piece running finishes, then the thread is joined.
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(Work work) override;
    const Clock& clock() const override;
    std::string_view label() const override;

    // Manual mode: runs on the calling thread everything due now, work queued by that work
    // included, and returns how many pieces ran.
    int runPending();

    // Stops taking work, drains or discards what is queued, waits for the running piece and
    // joins the worker. Later async calls drop their work. Idempotent; never from the queue's
    // own work. For work that may never return (a read a driver holds), the wait lasts at most
    // `longestWait` seconds: a piece still running then keeps its thread, which ends once the
    // piece returns, and what the piece captured lives until then.
    void shutDown(PendingWork pending,
                  double longestWait = std::numeric_limits<double>::infinity());

protected:
    void enqueueTimed(std::shared_ptr<detail::TimedWork> entry) override;

private:
    std::unique_ptr<detail::WorkerQueue> worker_;
};

} // namespace dispatch
