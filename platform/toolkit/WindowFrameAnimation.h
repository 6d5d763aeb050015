#pragma once

#include "platform/dispatch/Timer.h"
#include "platform/graphics/Geometry.h"

#include <memory>

namespace ui {

class Window;

// An animated setFrame: the window's frame moves to a target over a short time,
// easing in and out, redrawn at 60 frames a second on the main run loop (common modes). One
// animation per owner: starting another, or destroying this, stops the one running; the frame
// then stays where it got to. Holds the window weakly. Main thread only.
class WindowFrameAnimation {
public:
    static constexpr double defaultDuration = 0.2;

    WindowFrameAnimation() = default;
    WindowFrameAnimation(const WindowFrameAnimation&) = delete;
    WindowFrameAnimation& operator=(const WindowFrameAnimation&) = delete;

    void start(const std::shared_ptr<Window>& window, const gfx::Rect& target,
               double duration = defaultDuration);
    void stop() { timer_.reset(); }
    bool isRunning() const { return timer_ && timer_->isValid(); }

private:
    // One frame; the last one lands on the target and ends the timer.
    void step();

    std::weak_ptr<Window> window_;
    gfx::Rect from_;
    gfx::Rect target_;
    double started_ = 0;
    double duration_ = defaultDuration;
    std::unique_ptr<dispatch::Timer> timer_;
};

} // namespace ui
