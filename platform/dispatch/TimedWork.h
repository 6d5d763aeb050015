#pragma once

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoopMode.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace dispatch::detail {

// One piece of work waiting for a deadline on a queue or a run loop. The owner of the list it
// sits in runs it once; a repeating timer puts a fresh entry back.
struct TimedWork {
    double deadline = 0.0;
    // How late the work may run, so that nearby deadlines can share one wake-up.
    double leeway = 0.0;
    RunLoopModes modes = commonModes;
    Work work;
    std::atomic<bool> cancelled{false};
    // Ties between equal deadlines run in the order the entries were queued.
    std::uint64_t order = 0;

    double latest() const { return deadline + leeway; }
};

// The timed entries of one queue or run loop; not thread-safe, its owner locks around it.
class TimedWorkList {
public:
    void add(std::shared_ptr<TimedWork> entry);
    // The time by which something serviceable in `mode` must run: the earliest deadline plus
    // leeway, or infinity. Cancelled entries are dropped on the way.
    double wakeTime(RunLoopMode mode);
    // Removes and returns the entries serviceable in `mode` whose deadline has passed at `now`,
    // earliest deadline first.
    std::vector<std::shared_ptr<TimedWork>> takeDue(double now, RunLoopMode mode);
    // Removes and returns the earliest of them, or null.
    std::shared_ptr<TimedWork> takeFirstDue(double now, RunLoopMode mode);
    void clear() { entries_.clear(); }
    bool empty() const { return entries_.empty(); }

private:
    std::vector<std::shared_ptr<TimedWork>> entries_;
    std::uint64_t nextOrder_ = 0;
};

} // namespace dispatch::detail
