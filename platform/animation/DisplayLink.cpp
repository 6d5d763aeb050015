#include "platform/animation/DisplayLink.h"

#include <cmath>

namespace anim {

namespace {

constexpr double standardRate = 60;

} // namespace

DisplayLink::DisplayLink(Callback callback) : callback_(std::move(callback)) {}

DisplayLink::~DisplayLink() {
    invalidate();
}

void DisplayLink::setPreferredFrameRateRange(FrameRateRange range) {
    range_ = range;
}

double DisplayLink::frameInterval() const {
    const double rate = range_.preferred;
    return std::isfinite(rate) && rate > 0 ? 1.0 / rate : 1.0 / standardRate;
}

void DisplayLink::add(dispatch::RunLoop& loop, dispatch::RunLoopModes modes) {
    if (timer_ || invalidated_)
        return;
    clock_ = &loop.clock();
    gridStart_ = clock_->now();
    timer_ = std::make_unique<dispatch::Timer>(
        frameInterval(), true, [this] { fire(); }, modes, loop);
}

void DisplayLink::invalidate() {
    invalidated_ = true;
    if (timer_)
        timer_->invalidate();
}

void DisplayLink::fire() {
    if (invalidated_)
        return;
    const double interval = frameInterval();
    const double now = clock_->now();
    // The latest grid time that has passed: the frame now on screen.
    const double frames = std::floor((now - gridStart_) / interval + 1e-9);
    timestamp_ = gridStart_ + std::fmax(frames, 0.0) * interval;
    targetTimestamp_ = timestamp_ + interval;
    // The callback may invalidate or even destroy the link's owner's hold on it; keep the
    // callback alive for the call.
    const Callback callback = callback_;
    callback(*this);
}

} // namespace anim
