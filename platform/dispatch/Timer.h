#pragma once

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopMode.h"

#include <functional>
#include <memory>

namespace dispatch {

// A platform-style run-loop timer, scheduled when made: first fire one interval from now, then,
// if it repeats, every interval after the previous scheduled time (never drifting, and missed
// fires coalesce into one). It fires only while its loop runs in one of its modes: a
// default-only timer waits out a menu's tracking loop; a commonModes one keeps firing.
// Tolerance lets the loop fire it up to that much late to share a wake-up with another timer.
// Belongs to the loop's thread. Destroying it invalidates it; it must not outlive its loop.
class Timer {
public:
    Timer(double interval, bool repeats, std::function<void()> action,
          RunLoopModes modes = RunLoopMode::defaultMode, RunLoop& loop = RunLoop::main());
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Stops the timer for good; safe from its own action. Idempotent.
    void invalidate();
    // False once invalidated or once a one-shot timer has fired.
    bool isValid() const;

    double interval() const;
    bool repeats() const;
    double tolerance() const;
    // Applies to the pending fire at once.
    void setTolerance(double tolerance);
    // The next scheduled fire time on the loop's clock (the last one once invalid).
    double fireDate() const;

private:
    struct Core;
    std::shared_ptr<Core> core_;
};

} // namespace dispatch
