#include "platform/dispatch/Timer.h"

#include "platform/dispatch/TimedWork.h"

#include <algorithm>
#include <cmath>

namespace dispatch {

namespace {

// The floor for a timer interval; a zero interval would spin the loop.
constexpr double minimumInterval = 0.0001;

} // namespace

struct Timer::Core {
    RunLoop* loop = nullptr;
    double interval = 0.0;
    bool repeats = false;
    double tolerance = 0.0;
    RunLoopModes modes;
    double fireDate = 0.0;
    bool valid = true;
    std::shared_ptr<std::function<void()>> action;
    std::shared_ptr<detail::TimedWork> entry;

    static void arm(const std::shared_ptr<Core>& core, double deadline);
    static void fire(const std::weak_ptr<Core>& weak);
};

void Timer::Core::arm(const std::shared_ptr<Core>& core, double deadline) {
    if (core->entry) {
        core->entry->cancelled = true;
    }
    core->fireDate = deadline;
    auto entry = std::make_shared<detail::TimedWork>();
    entry->deadline = deadline;
    entry->leeway = core->tolerance;
    entry->modes = core->modes;
    entry->work = [weak = std::weak_ptr<Core>(core)] { fire(weak); };
    core->entry = entry;
    core->loop->addTimed(std::move(entry));
}

void Timer::Core::fire(const std::weak_ptr<Core>& weak) {
    auto core = weak.lock();
    if (!core || !core->valid) {
        return;
    }
    // Kept alive by this local even if the action destroys its own timer.
    auto action = core->action;
    core->entry.reset();
    if (core->repeats) {
        double scheduled = core->fireDate;
        double now = core->loop->clock().now();
        double next = scheduled + core->interval;
        if (now >= next) {
            // Fires missed during a stall collapse into this one; the next stays on the grid.
            next =
                scheduled + (std::floor((now - scheduled) / core->interval) + 1.0) * core->interval;
        }
        arm(core, next);
    } else {
        core->valid = false;
    }
    (*action)();
}

Timer::Timer(double interval, bool repeats, std::function<void()> action, RunLoopModes modes,
             RunLoop& loop)
    : core_(std::make_shared<Core>()) {
    core_->loop = &loop;
    core_->interval =
        std::isfinite(interval) ? std::max(interval, minimumInterval) : minimumInterval;
    core_->repeats = repeats;
    core_->modes = modes;
    core_->action = std::make_shared<std::function<void()>>(std::move(action));
    Core::arm(core_, loop.clock().now() + core_->interval);
}

Timer::~Timer() {
    invalidate();
}

void Timer::invalidate() {
    core_->valid = false;
    if (core_->entry) {
        core_->entry->cancelled = true;
        core_->entry.reset();
    }
}

bool Timer::isValid() const {
    return core_->valid;
}

double Timer::interval() const {
    return core_->interval;
}

bool Timer::repeats() const {
    return core_->repeats;
}

double Timer::tolerance() const {
    return core_->tolerance;
}

void Timer::setTolerance(double tolerance) {
    core_->tolerance = std::isfinite(tolerance) ? std::max(tolerance, 0.0) : 0.0;
    if (core_->valid && core_->entry) {
        Core::arm(core_, core_->fireDate);
    }
}

double Timer::fireDate() const {
    return core_->fireDate;
}

} // namespace dispatch
