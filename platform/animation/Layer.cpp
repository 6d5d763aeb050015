#include "platform/animation/Layer.h"

#include <algorithm>

namespace anim {

AnimationValue interpolate(const AnimationValue& from, const AnimationValue& to, double progress) {
    const auto mix = [progress](double a, double b) { return a + (b - a) * progress; };
    if (from.index() != to.index())
        return to;
    if (const auto* a = std::get_if<double>(&from))
        return mix(*a, std::get<double>(to));
    if (const auto* a = std::get_if<gfx::Point>(&from)) {
        const auto& b = std::get<gfx::Point>(to);
        return gfx::Point{mix(a->x, b.x), mix(a->y, b.y)};
    }
    const auto& a = std::get<gfx::Rect>(from);
    const auto& b = std::get<gfx::Rect>(to);
    return gfx::Rect{mix(a.x(), b.x()), mix(a.y(), b.y()), mix(a.width(), b.width()),
                     mix(a.height(), b.height())};
}

namespace {

// The model value a key path animates, or none for a key path a layer does not animate.
std::optional<AnimationValue> valueFor(const LayerValues& values, const std::string& keyPath) {
    if (keyPath == KeyPath::opacity)
        return values.opacity;
    if (keyPath == KeyPath::bounds)
        return values.bounds;
    if (keyPath == KeyPath::position)
        return values.position;
    return std::nullopt;
}

void assign(LayerValues& values, const std::string& keyPath, const AnimationValue& value) {
    if (keyPath == KeyPath::opacity)
        values.opacity = std::get<double>(value);
    else if (keyPath == KeyPath::bounds)
        values.bounds = std::get<gfx::Rect>(value);
    else
        values.position = std::get<gfx::Point>(value);
}

} // namespace

Layer::Layer(dispatch::RunLoop& loop) : loop_(loop) {}

Layer::~Layer() {
    // Nobody is left to tell: the completions are dropped, but the transactions still end.
    for (auto& running : running_)
        running.animation.completion = nullptr;
}

void Layer::setOpacity(double opacity) {
    opacity = std::clamp(opacity, 0.0, 1.0);
    if (model_.opacity == opacity)
        return;
    model_.opacity = opacity;
    displayChanged();
}

void Layer::setBounds(const gfx::Rect& bounds) {
    if (model_.bounds == bounds)
        return;
    model_.bounds = bounds;
    displayChanged();
}

void Layer::setPosition(gfx::Point position) {
    if (model_.position == position)
        return;
    model_.position = position;
    displayChanged();
}

void Layer::setMasksToBounds(bool masks) {
    if (masksToBounds_ == masks)
        return;
    masksToBounds_ = masks;
    displayChanged();
}

void Layer::setShadow(const LayerShadow& shadow) {
    if (shadow_ == shadow)
        return;
    shadow_ = shadow;
    displayChanged();
}

void Layer::addAnimation(BasicAnimation animation, const std::string& key) {
    const auto model = valueFor(model_, animation.keyPath);
    if (!model)
        return;
    const auto sameKind = [&](const std::optional<AnimationValue>& value) {
        return !value || value->index() == model->index();
    };
    if (!sameKind(animation.fromValue) || !sameKind(animation.toValue))
        return;
    const double time = now();
    Running running{key, std::move(animation), *model, time};
    running.from =
        running.animation.fromValue.value_or(*valueFor(valuesAt(time), running.animation.keyPath));

    std::vector<Running> replaced;
    auto it = std::find_if(running_.begin(), running_.end(),
                           [&](const Running& entry) { return entry.key == key; });
    if (it != running_.end()) {
        replaced.push_back(std::move(*it));
        running_.erase(it);
    }
    running_.push_back(std::move(running));
    if (!timer_ || !timer_->isValid())
        timer_ = std::make_unique<dispatch::Timer>(
            frameInterval, true, [this] { tick(); }, dispatch::commonModes, loop_);
    stop(std::move(replaced), false);
    displayChanged();
}

void Layer::removeAnimation(const std::string& key) {
    auto it = std::find_if(running_.begin(), running_.end(),
                           [&](const Running& entry) { return entry.key == key; });
    if (it == running_.end())
        return;
    std::vector<Running> removed;
    removed.push_back(std::move(*it));
    running_.erase(it);
    if (running_.empty())
        timer_.reset();
    stop(std::move(removed), false);
    displayChanged();
}

void Layer::removeAllAnimations() {
    if (running_.empty())
        return;
    std::vector<Running> removed = std::move(running_);
    running_.clear();
    timer_.reset();
    stop(std::move(removed), false);
    displayChanged();
}

const BasicAnimation* Layer::animationForKey(const std::string& key) const {
    for (const auto& running : running_) {
        if (running.key == key)
            return &running.animation;
    }
    return nullptr;
}

std::vector<std::string> Layer::animationKeys() const {
    std::vector<std::string> keys;
    for (const auto& running : running_)
        keys.push_back(running.key);
    return keys;
}

LayerValues Layer::presentationValues() const {
    return valuesAt(now());
}

LayerValues Layer::valuesAt(double time) const {
    LayerValues values = model_;
    for (const auto& running : running_) {
        const BasicAnimation& animation = running.animation;
        const double t = animation.duration > 0 ? (time - running.begin) / animation.duration : 1;
        const AnimationValue to = animation.toValue.value_or(*valueFor(model_, animation.keyPath));
        assign(values, animation.keyPath,
               interpolate(running.from, to, animation.timingFunction.value(std::min(t, 1.0))));
    }
    return values;
}

void Layer::stop(std::vector<Running> stopped, bool finished) {
    for (auto& running : stopped) {
        if (running.animation.completion)
            running.animation.completion(finished);
        running.animation.keepAlive.reset();
    }
}

void Layer::tick() {
    const double time = now();
    std::vector<Running> ended;
    for (auto it = running_.begin(); it != running_.end();) {
        if (time >= it->begin + it->animation.duration) {
            ended.push_back(std::move(*it));
            it = running_.erase(it);
        } else {
            ++it;
        }
    }
    if (running_.empty() && timer_)
        timer_->invalidate();
    displayChanged();
    stop(std::move(ended), true);
}

void Layer::displayChanged() {
    if (displayChangedAction)
        displayChangedAction();
}

} // namespace anim
