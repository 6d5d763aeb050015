#include "platform/toolkit/WindowFrameAnimation.h"

#include "platform/toolkit/AnimationContext.h"
#include "platform/toolkit/Window.h"

#include <algorithm>

namespace ui {

namespace {

constexpr double frameInterval = 1.0 / 60;

double mix(double from, double to, double progress) {
    return from + (to - from) * progress;
}

} // namespace

void WindowFrameAnimation::start(const std::shared_ptr<Window>& window, const gfx::Rect& target,
                                 double duration) {
    stop();
    if (!window)
        return;
    window_ = window;
    from_ = window->frame();
    target_ = target;
    duration_ = duration;
    started_ = dispatch::RunLoop::main().clock().now();
    if (!(duration > 0)) {
        window->setFrame(target, true);
        return;
    }
    timer_ = std::make_unique<dispatch::Timer>(
        frameInterval, true, [this] { step(); }, dispatch::commonModes);
}

void WindowFrameAnimation::step() {
    const auto window = window_.lock();
    if (!window) {
        timer_->invalidate();
        return;
    }
    const double elapsed = dispatch::RunLoop::main().clock().now() - started_;
    const double t = std::clamp(elapsed / duration_, 0.0, 1.0);
    if (t >= 1) {
        window->setFrame(target_, true);
        timer_->invalidate();
        return;
    }
    const double p = evaluateTiming(TimingFunction::easeInEaseOut, t);
    window->setFrame({mix(from_.x(), target_.x(), p), mix(from_.y(), target_.y(), p),
                      mix(from_.width(), target_.width(), p),
                      mix(from_.height(), target_.height(), p)},
                     true);
}

} // namespace ui
