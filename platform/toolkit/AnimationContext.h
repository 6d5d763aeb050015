#pragma once

#include "platform/animation/TimingFunction.h"

#include <functional>
#include <memory>

namespace ui {

enum class TimingFunction { linear, easeIn, easeOut, easeInEaseOut, defaultTiming };

// The curve of a named timing.
anim::TimingFunction curveOf(TimingFunction function);
// Progress at time fraction t (0…1) along the named curve.
double evaluateTiming(TimingFunction function, double t);

// A group of animated changes: what a group's changes set animates over its duration with its
// timing, and the completion runs once every animation started in the group has ended.
class AnimationContext {
public:
    static void runAnimationGroup(const std::function<void(AnimationContext&)>& changes,
                                  std::function<void()> completion = {});
    // The innermost group being run, or none outside runAnimationGroup.
    static AnimationContext* current();

    double duration() const { return duration_; }
    void setDuration(double seconds) { duration_ = seconds; }
    TimingFunction timingFunction() const { return timing_; }
    void setTimingFunction(TimingFunction timing) { timing_ = timing; }

    // Held by each animation the group started; the completion runs when the last one lets go.
    class Completion {
    public:
        explicit Completion(std::function<void()> done) : done_(std::move(done)) {}
        ~Completion() {
            if (done_)
                done_();
        }

    private:
        std::function<void()> done_;
    };
    std::shared_ptr<Completion> completionToken() const { return completion_; }

private:
    explicit AnimationContext(std::shared_ptr<Completion> completion)
        : completion_(std::move(completion)) {}

    double duration_ = 0.25;
    TimingFunction timing_ = TimingFunction::defaultTiming;
    std::shared_ptr<Completion> completion_;
};

} // namespace ui
