#pragma once

#include "platform/dispatch/Queue.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace dispatch {

// A dispatch-style timer: fires its handler on a target queue (the main queue included) from a
// start time, then every interval. Fires that were missed while the target was busy or the
// machine asleep coalesce into one: a 1 s source after a 5 s stall fires once, not five times.
// Created suspended; schedule, setHandler, resume and cancel may be called from any thread.
class TimerSource {
public:
    explicit TimerSource(Queue& target);
    // Cancels. The target queue must outlive the source.
    ~TimerSource();
    TimerSource(const TimerSource&) = delete;
    TimerSource& operator=(const TimerSource&) = delete;

    // `start` is a time on the target queue's clock (clock().now() for "at once"; infinity for
    // "not until scheduled again"); an interval of 0 fires once. `leeway` is how late a fire may
    // be, so the system can batch wake-ups.
    void schedule(double start, double interval, double leeway);
    void setHandler(std::function<void()> handler);
    void resume();
    // Stops the source for good. When it returns, the handler is not running on another thread
    // and never runs again (called from the handler itself, that call runs to its end).
    // Idempotent.
    void cancel();
    bool isCancelled() const;

private:
    struct State;
    static void arm(const std::shared_ptr<State>& state);
    static void fire(const std::weak_ptr<State>& state, std::uint64_t generation);

    std::shared_ptr<State> state_;
};

} // namespace dispatch
