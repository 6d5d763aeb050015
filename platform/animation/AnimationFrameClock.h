#pragma once

#include <functional>
#include <memory>

namespace dispatch {
class Timer;
}

namespace anim {

// A source of frames that can be stopped for good.
class FrameClockDriver {
public:
    virtual ~FrameClockDriver() = default;
    virtual void invalidate() = 0;
};

// The display-link path's frame time: the uptime now plus the time until the frame being
// prepared is shown (target − timestamp), at most 1/30 s ahead; the bare uptime when that
// difference is negative or not a number.
double displayLinkFrameTime(double uptime, double timestamp, double targetTimestamp);

// The one tick source of every frame-by-frame animation: calls the frame handler once per
// display frame with the uptime at which that frame will be shown, until stopped or destroyed.
// It starts at once; there is no pause or restart — a user that wants frames again makes a new
// clock.
//
// Users create a clock only when the animated view has a screen (its window's, else the main
// screen); our screens all refresh through the same display-link stand-in, so the clock needs
// nothing more of the screen. The handler should hold its owner weakly.
//
// Main thread only: construction, the handler, stop() and destruction.
class AnimationFrameClock {
public:
    using FrameHandler = std::function<void(double frameTime)>;

    // displayLink: a 60 Hz display link, frame time per displayLinkFrameTime. timer: a repeating
    // 1/60 s timer with 0.001 s tolerance in the common modes, frame time = uptime + 1/60.
    enum class Source { displayLink, timer };

    explicit AnimationFrameClock(FrameHandler frame, Source source = Source::displayLink);
    ~AnimationFrameClock();
    AnimationFrameClock(const AnimationFrameClock&) = delete;
    AnimationFrameClock& operator=(const AnimationFrameClock&) = delete;

    // Stops delivery at once and for good; harmless on a stopped clock, and safe from inside the
    // handler.
    void stop();
    bool isRunning() const { return driver_ || timer_; }

private:
    std::unique_ptr<FrameClockDriver> driver_;
    std::unique_ptr<dispatch::Timer> timer_;
};

} // namespace anim
