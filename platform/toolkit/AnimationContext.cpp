#include "platform/toolkit/AnimationContext.h"

#include "platform/toolkit/Application.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

struct Bezier {
    double x1, y1, x2, y2;
};

Bezier curveOf(TimingFunction function) {
    switch (function) {
    case TimingFunction::linear:
        return {0, 0, 1, 1};
    case TimingFunction::easeIn:
        return {0.42, 0, 1, 1};
    case TimingFunction::easeOut:
        return {0, 0, 0.58, 1};
    case TimingFunction::easeInEaseOut:
        return {0.42, 0, 0.58, 1};
    case TimingFunction::defaultTiming:
        return {0.25, 0.1, 0.25, 1};
    }
    return {0, 0, 1, 1};
}

double cubic(double a, double b, double s) {
    const double u = 1 - s;
    return 3 * u * u * s * a + 3 * u * s * s * b + s * s * s;
}

} // namespace

double evaluateTiming(TimingFunction function, double t) {
    if (!(t > 0))
        return 0;
    if (t >= 1)
        return 1;
    const Bezier curve = curveOf(function);
    // Finds the curve parameter whose x is t by bisection (x is monotonic for these curves).
    double low = 0, high = 1, s = t;
    for (int i = 0; i < 60; ++i) {
        s = (low + high) / 2;
        if (cubic(curve.x1, curve.x2, s) < t)
            low = s;
        else
            high = s;
    }
    return cubic(curve.y1, curve.y2, s);
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
