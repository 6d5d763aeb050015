#include "platform/toolkit/View.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"

#include <algorithm>

namespace ui {

View::View(const gfx::Rect& frame)
    : frame_(frame), bounds_({0, 0}, frame.size), shownAppearance_(effectiveAppearance()) {}

View::~View() {
    if (window_)
        window_->viewWillLeave(*this);
    for (auto& subview : subviews_) {
        subview->superview_ = nullptr;
        subview->setWindow(nullptr);
    }
}

// MARK: Geometry

void View::setFrame(const gfx::Rect& frame) {
    setFrameOrigin(frame.origin);
    setFrameSize(frame.size);
}

void View::setFrameOrigin(gfx::Point origin) {
    if (frame_.origin == origin)
        return;
    const gfx::Rect old = frame_;
    frame_.origin = origin;
    if (superview_)
        superview_->setNeedsDisplayInRect(old);
    setNeedsDisplay(true);
    geometryChanged();
}

void View::setFrameSize(gfx::Size size) {
    if (frame_.size == size)
        return;
    const gfx::Rect old = frame_;
    const gfx::Size oldBounds = bounds_.size;
    frame_.size = size;
    bounds_.size.width =
        old.width() != 0 ? size.width * (oldBounds.width / old.width()) : size.width;
    bounds_.size.height =
        old.height() != 0 ? size.height * (oldBounds.height / old.height()) : size.height;
    if (autoresizesSubviews_)
        resizeSubviewsWithOldSize(oldBounds);
    if (superview_)
        superview_->setNeedsDisplayInRect(old);
    setNeedsDisplay(true);
    geometryChanged();
}

void View::setBounds(const gfx::Rect& bounds) {
    setBoundsOrigin(bounds.origin);
    setBoundsSize(bounds.size);
}

void View::setBoundsOrigin(gfx::Point origin) {
    if (bounds_.origin == origin)
        return;
    bounds_.origin = origin;
    setNeedsDisplay(true);
    geometryChanged();
}

void View::setBoundsSize(gfx::Size size) {
    if (bounds_.size == size)
        return;
    bounds_.size = size;
    setNeedsDisplay(true);
    geometryChanged();
}

void View::resizeSubviewsWithOldSize(gfx::Size oldSize) {
    for (auto& subview : std::vector(subviews_))
        subview->resizeWithOldSuperviewSize(oldSize);
}

namespace {

// Shares a change of the superview's extent among the flexible parts along one axis: the
// leading margin, the length and the trailing margin.
void distribute(double delta, bool leadingFlexible, bool lengthFlexible, bool trailingFlexible,
                double& position, double& length) {
    const int flexible = int(leadingFlexible) + int(lengthFlexible) + int(trailingFlexible);
    if (flexible == 0 || delta == 0)
        return;
    const double share = delta / flexible;
    if (leadingFlexible)
        position += share;
    if (lengthFlexible)
        length = std::max(0.0, length + share);
}

} // namespace

void View::resizeWithOldSuperviewSize(gfx::Size oldSize) {
    if (!superview_ || autoresizingMask_ == Autoresizing::none)
        return;
    const gfx::Size now = superview_->bounds().size;
    gfx::Rect frame = frame_;
    distribute(now.width - oldSize.width, autoresizingMask_ & Autoresizing::minXMargin,
               autoresizingMask_ & Autoresizing::widthSizable,
               autoresizingMask_ & Autoresizing::maxXMargin, frame.origin.x, frame.size.width);
    distribute(now.height - oldSize.height, autoresizingMask_ & Autoresizing::minYMargin,
               autoresizingMask_ & Autoresizing::heightSizable,
               autoresizingMask_ & Autoresizing::maxYMargin, frame.origin.y, frame.size.height);
    setFrame(frame);
}

gfx::AffineTransform View::transformToSuperview() const {
    const double sx = bounds_.width() != 0 ? frame_.width() / bounds_.width() : 1;
    const double sy = bounds_.height() != 0 ? frame_.height() / bounds_.height() : 1;
    // A view whose flippedness differs from its superview's runs its y axis the other way.
    const bool superviewFlipped = superview_ && superview_->isFlipped();
    if (isFlipped() != superviewFlipped) {
        return {sx,
                0,
                0,
                -sy,
                frame_.x() - bounds_.x() * sx,
                frame_.y() + frame_.height() + bounds_.y() * sy};
    }
    return {sx, 0, 0, sy, frame_.x() - bounds_.x() * sx, frame_.y() - bounds_.y() * sy};
}

gfx::AffineTransform View::transformToWindow() const {
    gfx::AffineTransform transform = transformToSuperview();
    for (const View* view = superview_; view; view = view->superview_)
        transform = transform.concatenating(view->transformToSuperview());
    return transform;
}

namespace {

gfx::AffineTransform inverseOrIdentity(const gfx::AffineTransform& transform) {
    return transform.inverted().value_or(gfx::AffineTransform::identity());
}

} // namespace

gfx::Point View::convertPointToView(gfx::Point point, const View* view) const {
    const gfx::Point inWindow = transformToWindow().apply(point);
    return view ? inverseOrIdentity(view->transformToWindow()).apply(inWindow) : inWindow;
}

gfx::Point View::convertPointFromView(gfx::Point point, const View* view) const {
    const gfx::Point inWindow = view ? view->transformToWindow().apply(point) : point;
    return inverseOrIdentity(transformToWindow()).apply(inWindow);
}

gfx::Rect View::convertRectToView(const gfx::Rect& rect, const View* view) const {
    const gfx::Rect inWindow = transformToWindow().apply(rect);
    return view ? inverseOrIdentity(view->transformToWindow()).apply(inWindow) : inWindow;
}

gfx::Rect View::convertRectFromView(const gfx::Rect& rect, const View* view) const {
    const gfx::Rect inWindow = view ? view->transformToWindow().apply(rect) : rect;
    return inverseOrIdentity(transformToWindow()).apply(inWindow);
}

gfx::Rect View::visibleRect() const {
    if (isHiddenOrHasHiddenAncestor())
        return {};
    gfx::Rect visible = transformToWindow().apply(bounds_);
    for (const View* view = superview_; view; view = view->superview_)
        visible = visible.intersection(view->transformToWindow().apply(view->bounds_));
    if (window_)
        visible = visible.intersection({{0, 0}, window_->frame().size});
    if (visible.isEmpty())
        return {};
    return inverseOrIdentity(transformToWindow()).apply(visible).intersection(bounds_);
}

void View::geometryChanged() {
    ++mutations_;
    syncLayerGeometry();
    updateTrackingAreas();
    if (window_)
        window_->invalidateCursorRectsForView(this);
}

// MARK: The tree

void View::addSubview(std::shared_ptr<View> view) {
    if (!view || view.get() == this)
        return;
    if (view->superview_)
        view->removeFromSuperview();
    attach(std::move(view), subviews_.size());
}

void View::addSubview(std::shared_ptr<View> view, Ordering place, const View* relativeTo) {
    if (!view || view.get() == this)
        return;
    if (view->superview_)
        view->removeFromSuperview();
    auto it = std::find_if(subviews_.begin(), subviews_.end(),
                           [&](const auto& subview) { return subview.get() == relativeTo; });
    std::size_t index;
    if (it == subviews_.end())
        index = place == Ordering::above ? subviews_.size() : 0;
    else
        index = std::size_t(it - subviews_.begin()) + (place == Ordering::above ? 1 : 0);
    attach(std::move(view), index);
}

void View::attach(std::shared_ptr<View> view, std::size_t index) {
    View& added = *view;
    ++mutations_;
    subviews_.insert(subviews_.begin() + std::ptrdiff_t(index), std::move(view));
    added.superview_ = this;
    added.setWindow(window_);
    added.effectiveAppearanceMayHaveChanged();
    added.setNeedsDisplay(true);
}

void View::detach(View& view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(),
                           [&](const auto& subview) { return subview.get() == &view; });
    if (it == subviews_.end())
        return;
    const std::shared_ptr<View> keep = *it;
    subviews_.erase(it);
    ++mutations_;
    setNeedsDisplayInRect(view.drawnFrame());
    view.superview_ = nullptr;
    view.setWindow(nullptr);
    view.effectiveAppearanceMayHaveChanged();
}

void View::setSubviews(std::vector<std::shared_ptr<View>> views) {
    for (auto& old : std::vector(subviews_)) {
        if (std::find(views.begin(), views.end(), old) == views.end())
            detach(*old);
    }
    for (auto& view : views) {
        if (view->superview_ && view->superview_ != this)
            view->removeFromSuperview();
    }
    const auto previous = subviews_;
    if (previous != views)
        ++mutations_;
    subviews_ = views;
    for (auto& view : views) {
        if (std::find(previous.begin(), previous.end(), view) != previous.end())
            continue;
        view->superview_ = this;
        view->setWindow(window_);
        view->effectiveAppearanceMayHaveChanged();
    }
    setNeedsDisplay(true);
}

void View::removeFromSuperview() {
    if (superview_)
        superview_->detach(*this);
}

bool View::isDescendantOf(const View* view) const {
    for (const View* current = this; current; current = current->superview_) {
        if (current == view)
            return true;
    }
    return false;
}

void View::setWindow(Window* window) {
    if (window_ == window)
        return;
    if (window_)
        window_->viewWillLeave(*this);
    window_ = window;
    for (auto& subview : subviews_)
        subview->setWindow(window);
    viewDidMoveToWindow();
    updateTrackingAreas();
    if (window_) {
        window_->invalidateCursorRectsForView(this);
        if (needsDisplay())
            window_->viewInvalidated(*this, dirty_.bounds());
    }
}

// MARK: State

void View::setHidden(bool hidden) {
    if (hidden_ == hidden)
        return;
    hidden_ = hidden;
    ++mutations_;
    if (superview_)
        superview_->setNeedsDisplayInRect(drawnFrame());
    if (!hidden_)
        setNeedsDisplay(true);
    if (window_)
        window_->invalidateCursorRectsForView(this);
}

bool View::isHiddenOrHasHiddenAncestor() const {
    for (const View* view = this; view; view = view->superview_) {
        if (view->hidden_)
            return true;
    }
    return false;
}

void View::setAlphaValue(double alpha) {
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alphaValue() == alpha)
        return;
    alpha_ = alpha;
    if (layer_)
        layer_->setOpacity(alpha);
    else
        setNeedsDisplay(true);
}

// MARK: Layer

void View::setWantsLayer(bool wants) {
    if (wants == wantsLayer())
        return;
    if (!wants) {
        layer_.reset();
        layerDisplayChanged();
        return;
    }
    layer_ = std::make_unique<anim::Layer>();
    layer_->setOpacity(alpha_);
    syncLayerGeometry();
    layerDrawnFrame_ = drawnFrame();
    layer_->displayChangedAction = [this] { layerDisplayChanged(); };
}

void View::syncLayerGeometry() {
    if (!layer_)
        return;
    layer_->setBounds({{0, 0}, frame_.size});
    layer_->setPosition(frame_.origin);
}

gfx::Rect View::drawnFrame() const {
    if (!layer_)
        return frame_;
    const anim::LayerValues shown = layer_->presentationValues();
    gfx::Rect drawn{shown.position, shown.bounds.size};
    const anim::LayerShadow& shadow = layer_->shadow();
    if (shadow.opacity > 0) {
        const double reach = 3 * shadow.radius + 1;
        drawn = drawn.unionWith(
            drawn.offsetBy(shadow.offset.width, shadow.offset.height).insetBy(-reach, -reach));
    }
    return drawn;
}

void View::layerDisplayChanged() {
    const gfx::Rect drawn = drawnFrame();
    if (superview_)
        superview_->setNeedsDisplayInRect(layerDrawnFrame_.unionWith(drawn));
    else
        setNeedsDisplay(true);
    layerDrawnFrame_ = drawn;
}

gfx::AffineTransform View::drawingTransformToSuperview() const {
    const gfx::AffineTransform model = transformToSuperview();
    if (!layer_ || !layer_->isAnimating())
        return model;
    const gfx::Point shown = layer_->presentationValues().position;
    return model.concatenating(
        gfx::AffineTransform::translation(shown.x - frame_.x(), shown.y - frame_.y()));
}

gfx::Rect View::presentedBoundsRect() const {
    if (!layer_ || !layer_->isAnimating() || frame_.width() <= 0 || frame_.height() <= 0)
        return bounds_;
    const gfx::Size shown = layer_->presentationValues().bounds.size;
    const double width = shown.width * bounds_.width() / frame_.width();
    const double height = shown.height * bounds_.height() / frame_.height();
    // The bounds origin sits at the frame origin unless the view runs its y axis the other way.
    const bool superviewFlipped = superview_ && superview_->isFlipped();
    const double y = isFlipped() != superviewFlipped ? bounds_.maxY() - height : bounds_.y();
    return {bounds_.x(), y, width, height};
}

void View::setCornerRadius(double radius) {
    if (cornerRadius_ == radius)
        return;
    cornerRadius_ = std::max(0.0, radius);
    setNeedsDisplay(true);
}

void View::setAppearance(std::optional<gfx::Appearance> appearance) {
    appearance_ = appearance;
    effectiveAppearanceMayHaveChanged();
}

gfx::Appearance View::effectiveAppearance() const {
    if (appearance_)
        return *appearance_;
    if (superview_)
        return superview_->effectiveAppearance();
    if (window_)
        return window_->effectiveAppearance();
    if (Application* app = Application::current())
        return app->effectiveAppearance();
    return gfx::Appearance::light;
}

void View::effectiveAppearanceMayHaveChanged() {
    const gfx::Appearance now = effectiveAppearance();
    if (shownAppearance_ != now) {
        shownAppearance_ = now;
        viewDidChangeEffectiveAppearance();
        setNeedsDisplay(true);
    }
    for (auto& subview : std::vector(subviews_))
        subview->effectiveAppearanceMayHaveChanged();
}

bool View::accessibilityPerformPress() {
    if (!accessibilityPressAction)
        return false;
    accessibilityPressAction();
    return true;
}

} // namespace ui
