#pragma once

#include "platform/animation/TimingFunction.h"
#include "platform/graphics/Geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace anim {

// The value of an animated layer property: opacity is a number, bounds a rect, position a point.
using AnimationValue = std::variant<double, gfx::Rect, gfx::Point>;

// The key paths a basic animation can animate.
namespace KeyPath {
inline constexpr const char* opacity = "opacity";
inline constexpr const char* bounds = "bounds";
inline constexpr const char* position = "position";
} // namespace KeyPath

// The value progress (0…1) of the way from one value to another; values of different kinds give
// the destination.
AnimationValue interpolate(const AnimationValue& from, const AnimationValue& to, double progress);

// A property of a layer animated from one value to another over a duration. Adding it to a layer
// never changes the layer's model value: the animation only changes what is presented, and once
// it is over the model value shows again, so callers set the model to the end value themselves.
struct BasicAnimation {
    std::string keyPath;
    // None: the value presented when the animation is added (so a replaced animation continues
    // from where it was on screen).
    std::optional<AnimationValue> fromValue;
    // None: the model value, read at every frame.
    std::optional<AnimationValue> toValue;
    double duration = 0.25;
    TimingFunction timingFunction = TimingFunction::linear();
    // Called once when the animation stops: finished is true when it ran to its end, false when
    // it was removed or replaced first.
    std::function<void(bool finished)> completion;
    // Kept alive until the animation stops; the transaction or animation group that started it
    // finishes when the last of its animations lets go.
    std::shared_ptr<void> keepAlive;
};

} // namespace anim
