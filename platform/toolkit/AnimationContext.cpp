#include "platform/toolkit/AnimationContext.h"

#include "platform/toolkit/Application.h"

namespace ui {

anim::TimingFunction curveOf(TimingFunction function) {
    switch (function) {
    case TimingFunction::linear:
        return anim::TimingFunction::linear();
    case TimingFunction::easeIn:
        return anim::TimingFunction::easeIn();
    case TimingFunction::easeOut:
        return anim::TimingFunction::easeOut();
    case TimingFunction::easeInEaseOut:
        return anim::TimingFunction::easeInEaseOut();
    case TimingFunction::defaultTiming:
        return anim::TimingFunction::defaultTiming();
    }
    return anim::TimingFunction::linear();
}

double evaluateTiming(TimingFunction function, double t) {
    return curveOf(function).value(t);
}

void AnimationContext::runAnimationGroup(const std::function<void(AnimationContext&)>& changes,
                                         std::function<void()> completion) {
    Application& app = Application::shared();
    std::shared_ptr<Completion> token;
    if (completion) {
        dispatch::MainQueue& queue = app.runLoop().queue();
        token = std::make_shared<Completion>(
            [&queue, completion = std::move(completion)] { queue.async(completion); });
    }
    AnimationContext context(std::move(token));
    app.animationGroups_.push_back(&context);
    changes(context);
    app.animationGroups_.pop_back();
}

AnimationContext* AnimationContext::current() {
    Application* app = Application::current();
    if (!app || app->animationGroups_.empty())
        return nullptr;
    return app->animationGroups_.back();
}

} // namespace ui
