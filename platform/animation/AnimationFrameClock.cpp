#include "platform/animation/AnimationFrameClock.h"

#include "platform/animation/DisplayLink.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Timer.h"

#include <algorithm>
#include <cmath>

namespace anim {

namespace {

constexpr double framesPerSecond = 60;
constexpr double frameInterval = 1.0 / framesPerSecond;
constexpr double timerTolerance = 0.001;
// The display-link path never hands out a frame time further ahead than two frames.
constexpr double maximumLead = 1.0 / 30.0;

// The display-link driver: owns the link, whose callback turns its time stamps into frame times.
class DisplayFrameClock final : public FrameClockDriver {
public:
    explicit DisplayFrameClock(AnimationFrameClock::FrameHandler frame) : frame_(std::move(frame)) {
        link_ = std::make_unique<DisplayLink>([this](const DisplayLink& link) { tick(link); });
        link_->setPreferredFrameRateRange({framesPerSecond, framesPerSecond, framesPerSecond});
        dispatch::RunLoop& loop = dispatch::RunLoop::main();
        link_->add(loop, dispatch::commonModes);
    }

    ~DisplayFrameClock() override { invalidate(); }

    void invalidate() override {
        if (link_)
            link_->invalidate();
    }

private:
    void tick(const DisplayLink& link) {
        const double uptime = dispatch::RunLoop::main().clock().now();
        // The handler may stop the clock and so destroy this driver; keep it alive for the call.
        const AnimationFrameClock::FrameHandler frame = frame_;
        frame(displayLinkFrameTime(uptime, link.timestamp(), link.targetTimestamp()));
    }

    AnimationFrameClock::FrameHandler frame_;
    std::unique_ptr<DisplayLink> link_;
};

} // namespace

double displayLinkFrameTime(double uptime, double timestamp, double targetTimestamp) {
    const double lead = targetTimestamp - timestamp;
    if (std::isnan(lead) || lead < 0)
        return uptime;
    return uptime + std::min(lead, maximumLead);
}

AnimationFrameClock::AnimationFrameClock(FrameHandler frame, Source source) {
    if (source == Source::displayLink) {
        driver_ = std::make_unique<DisplayFrameClock>(std::move(frame));
        return;
    }
    dispatch::RunLoop& loop = dispatch::RunLoop::main();
    timer_ = std::make_unique<dispatch::Timer>(
        frameInterval, true,
        [frame = std::move(frame), &loop] { frame(loop.clock().now() + frameInterval); },
        dispatch::commonModes, loop);
    timer_->setTolerance(timerTolerance);
}

AnimationFrameClock::~AnimationFrameClock() {
    stop();
}

void AnimationFrameClock::stop() {
    // Moved out first: invalidating may run code that asks whether the clock still runs.
    if (auto driver = std::move(driver_))
        driver->invalidate();
    if (auto timer = std::move(timer_))
        timer->invalidate();
}

} // namespace anim
