#include "platform/dispatch/TimerSource.h"

#include "platform/dispatch/TimedWork.h"

#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <thread>

namespace dispatch {

struct TimerSource::State {
    Queue* target = nullptr;
    mutable std::mutex mutex;
    std::condition_variable handlerReturned;
    std::shared_ptr<std::function<void()>> handler;
    double nextDeadline = 0.0;
    double interval = 0.0;
    double leeway = 0.0;
    bool scheduled = false;
    bool resumed = false;
    bool cancelled = false;
    bool running = false;
    std::thread::id runningOn;
    // Bumped on every arm, so a fire queued before a re-schedule does nothing.
    std::uint64_t generation = 0;
    std::shared_ptr<detail::TimedWork> entry;
};

namespace {

// The first deadline after `now` on the grid start + k * interval: every fire missed while the
// target was busy or the machine slept collapses into the one that just ran.
double nextOnGrid(double deadline, double interval, double now) {
    if (now < deadline) {
        return deadline + interval;
    }
    return deadline + (std::floor((now - deadline) / interval) + 1.0) * interval;
}

} // namespace

TimerSource::TimerSource(Queue& target) : state_(std::make_shared<State>()) {
    state_->target = &target;
}

TimerSource::~TimerSource() {
    cancel();
}

void TimerSource::schedule(double start, double interval, double leeway) {
    std::lock_guard lock(state_->mutex);
    if (state_->cancelled) {
        return;
    }
    if (start == std::numeric_limits<double>::infinity()) {
        // "Never": the source stays scheduled-off until the next schedule call.
        state_->scheduled = false;
        if (state_->entry) {
            state_->entry->cancelled = true;
            state_->entry.reset();
        }
        return;
    }
    // A start that is no time at all means at once.
    state_->nextDeadline =
        std::isnan(start) || std::isinf(start) ? state_->target->clock().now() : start;
    state_->interval = std::isfinite(interval) && interval > 0.0 ? interval : 0.0;
    state_->leeway = std::isfinite(leeway) && leeway > 0.0 ? leeway : 0.0;
    state_->scheduled = true;
    arm(state_);
}

void TimerSource::setHandler(std::function<void()> handler) {
    std::lock_guard lock(state_->mutex);
    if (!state_->cancelled) {
        state_->handler = std::make_shared<std::function<void()>>(std::move(handler));
    }
}

void TimerSource::resume() {
    std::lock_guard lock(state_->mutex);
    if (state_->cancelled || state_->resumed) {
        return;
    }
    state_->resumed = true;
    arm(state_);
}

void TimerSource::cancel() {
    std::shared_ptr<std::function<void()>> handler;
    std::unique_lock lock(state_->mutex);
    if (!state_->cancelled) {
        state_->cancelled = true;
        if (state_->entry) {
            state_->entry->cancelled = true;
            state_->entry.reset();
        }
        // Released outside the lock: the handler's captures may be anything.
        handler = std::move(state_->handler);
    }
    if (state_->running && state_->runningOn != std::this_thread::get_id()) {
        state_->handlerReturned.wait(lock, [&] { return !state_->running; });
    }
    lock.unlock();
}

bool TimerSource::isCancelled() const {
    std::lock_guard lock(state_->mutex);
    return state_->cancelled;
}

void TimerSource::arm(const std::shared_ptr<State>& state) {
    if (!state->scheduled || !state->resumed || state->cancelled) {
        return;
    }
    if (state->entry) {
        state->entry->cancelled = true;
    }
    std::uint64_t generation = ++state->generation;
    auto entry = std::make_shared<detail::TimedWork>();
    entry->deadline = state->nextDeadline;
    entry->leeway = state->leeway;
    entry->work = [weak = std::weak_ptr<State>(state), generation] { fire(weak, generation); };
    state->entry = entry;
    state->target->enqueueTimed(std::move(entry));
}

void TimerSource::fire(const std::weak_ptr<State>& weak, std::uint64_t generation) {
    auto state = weak.lock();
    if (!state) {
        return;
    }
    std::unique_lock lock(state->mutex);
    if (state->cancelled || state->generation != generation) {
        return;
    }
    state->entry.reset();
    auto handler = state->handler;
    state->running = true;
    state->runningOn = std::this_thread::get_id();
    lock.unlock();
    if (handler && *handler) {
        (*handler)();
    }
    handler.reset();
    lock.lock();
    state->running = false;
    state->handlerReturned.notify_all();
    // The handler may have re-scheduled or cancelled the source.
    if (state->cancelled || state->generation != generation || state->interval == 0.0) {
        return;
    }
    state->nextDeadline =
        nextOnGrid(state->nextDeadline, state->interval, state->target->clock().now());
    arm(state);
}

} // namespace dispatch
