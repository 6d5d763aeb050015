#pragma once

#include "platform/animation/BasicAnimation.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Timer.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace anim {

// A layer's shadow; it shows only with an opacity above 0. The offset is in y-up points (the
// default falls 3 points below).
struct LayerShadow {
    gfx::Color color = gfx::Color::black();
    double opacity = 0;
    double radius = 3;
    gfx::Size offset{0, -3};

    friend bool operator==(const LayerShadow&, const LayerShadow&) = default;
};

// The animatable values of a layer at one moment.
struct LayerValues {
    double opacity = 1;
    gfx::Rect bounds;
    gfx::Point position;

    friend bool operator==(const LayerValues&, const LayerValues&) = default;
};

// A layer: model values (what the owner set) and, while keyed basic animations run, presentation
// values (what is on screen now, sampled on the run loop's clock, so tests read them at injected
// times). While any animation runs the layer ticks at 60 frames per second on its loop in the
// common modes, ends the animations whose time is up (running their completions) and tells its
// owner through displayChangedAction; with none running it costs nothing.
//
// Main thread only; the loop must outlive the layer.
class Layer {
public:
    static constexpr double frameInterval = 1.0 / 60;

    explicit Layer(dispatch::RunLoop& loop = dispatch::RunLoop::main());
    ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    // Model values. Setting one never animates by itself.
    double opacity() const { return model_.opacity; }
    void setOpacity(double opacity);
    const gfx::Rect& bounds() const { return model_.bounds; }
    void setBounds(const gfx::Rect& bounds);
    gfx::Point position() const { return model_.position; }
    void setPosition(gfx::Point position);
    const LayerValues& modelValues() const { return model_; }

    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks);
    const LayerShadow& shadow() const { return shadow_; }
    void setShadow(const LayerShadow& shadow);

    // Adds an animation under a key, replacing (and stopping, unfinished) one under the same key.
    // A key path other than opacity, bounds or position, or a value of the wrong kind, is
    // ignored.
    void addAnimation(BasicAnimation animation, const std::string& key);
    void removeAnimation(const std::string& key);
    void removeAllAnimations();
    const BasicAnimation* animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    bool isAnimating() const { return !running_.empty(); }

    // The values on screen now: the model values with every running animation applied.
    LayerValues presentationValues() const;

    // Told after every change of what the layer shows: a model change, an animation added or
    // removed, each animation frame.
    std::function<void()> displayChangedAction;

private:
    struct Running {
        std::string key;
        BasicAnimation animation;
        AnimationValue from;
        double begin = 0;
    };

    double now() const { return loop_.clock().now(); }
    LayerValues valuesAt(double time) const;
    void stop(std::vector<Running> stopped, bool finished);
    void tick();
    void displayChanged();

    dispatch::RunLoop& loop_;
    LayerValues model_;
    bool masksToBounds_ = false;
    LayerShadow shadow_;
    std::vector<Running> running_;
    std::unique_ptr<dispatch::Timer> timer_;
};

} // namespace anim
