#pragma once

#include "platform/graphics/Geometry.h"

namespace ui {

class View;

// The animator proxy of a view for its frame and alpha. Inside an animation group
// (AnimationContext::runAnimationGroup) with a duration above 0, the model value changes at once
// and the view's layer (made on first use) animates from what is on screen to it with the
// group's duration and timing, holding the group's completion until it ends; a second change
// during a running animation starts from the on-screen value, never jumps. Outside a group, or
// with no duration, the value is only set.
class ViewAnimator {
public:
    explicit ViewAnimator(View& view) : view_(view) {}

    void setFrame(const gfx::Rect& frame);
    void setAlphaValue(double alpha);

    // The keys the proxy's animations run under on the view's layer.
    static constexpr const char* boundsKey = "animatorBounds";
    static constexpr const char* positionKey = "animatorPosition";
    static constexpr const char* alphaKey = "animatorAlpha";

private:
    View& view_;
};

inline ViewAnimator animator(View& view) {
    return ViewAnimator(view);
}

} // namespace ui
