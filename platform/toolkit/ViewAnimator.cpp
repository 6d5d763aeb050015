#include "platform/toolkit/ViewAnimator.h"

#include "platform/toolkit/AnimationContext.h"
#include "platform/toolkit/View.h"

namespace ui {

namespace {

AnimationContext* animatingGroup() {
    AnimationContext* group = AnimationContext::current();
    return group && group->duration() > 0 ? group : nullptr;
}

void animate(anim::Layer& layer, const AnimationContext& group, const char* keyPath,
             anim::AnimationValue from, const char* key) {
    anim::BasicAnimation animation;
    animation.keyPath = keyPath;
    animation.fromValue = from;
    animation.duration = group.duration();
    animation.timingFunction = curveOf(group.timingFunction());
    animation.keepAlive = group.completionToken();
    layer.addAnimation(std::move(animation), key);
}

} // namespace

void ViewAnimator::setFrame(const gfx::Rect& frame) {
    AnimationContext* group = animatingGroup();
    if (!group) {
        view_.setFrame(frame);
        return;
    }
    view_.setWantsLayer(true);
    anim::Layer& layer = *view_.layer();
    const anim::LayerValues shown = layer.presentationValues();
    view_.setFrame(frame);
    if (shown.bounds != layer.bounds())
        animate(layer, *group, anim::KeyPath::bounds, shown.bounds, boundsKey);
    if (shown.position != layer.position())
        animate(layer, *group, anim::KeyPath::position, shown.position, positionKey);
}

void ViewAnimator::setAlphaValue(double alpha) {
    AnimationContext* group = animatingGroup();
    if (!group) {
        view_.setAlphaValue(alpha);
        return;
    }
    view_.setWantsLayer(true);
    anim::Layer& layer = *view_.layer();
    const double shown = layer.presentationValues().opacity;
    view_.setAlphaValue(alpha);
    if (shown != layer.opacity())
        animate(layer, *group, anim::KeyPath::opacity, shown, alphaKey);
}

} // namespace ui
