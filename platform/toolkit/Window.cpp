#include "platform/toolkit/Window.h"

#include "platform/graphics/Context.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/ToolTipController.h"

#include <algorithm>

namespace ui {

Window::Window(const gfx::Rect& contentRect, StyleMask styleMask, BackingStoreType backing,
               bool defer)
    : styleMask_(styleMask), backingType_(backing), defer_(defer), frame_(contentRect),
      requestedFrame_(contentRect), app_(Application::current()) {
    if (app_)
        app_->registerWindow(this);
    setContentView(std::make_shared<View>(gfx::Rect{{0, 0}, contentRect.size}));
}

Window::~Window() {
    if (contentView_)
        contentView_->setWindow(nullptr);
    if (app_) {
        app_->unregisterWindow(this);
        if (native_)
            app_->windowServer().destroyWindow(*native_);
    }
}

void Window::setContentView(std::shared_ptr<View> view) {
    if (contentView_ == view)
        return;
    if (contentView_)
        contentView_->setWindow(nullptr);
    contentView_ = view ? std::move(view) : std::make_shared<View>();
    contentView_->removeFromSuperview();
    contentView_->setFrame({{0, 0}, frame_.size});
    contentView_->setWindow(this);
    contentView_->effectiveAppearanceMayHaveChanged();
    contentView_->setNeedsDisplay(true);
}

NativeWindowId Window::ensureNative() {
    if (!native_ && app_) {
        WindowServer& server = app_->windowServer();
        NativeWindowAttributes attributes;
        attributes.role = role();
        attributes.nonActivating = (styleMask_ & Style::nonactivatingPanel) != 0;
        attributes.resizable = (styleMask_ & Style::resizable) != 0;
        attributes.hasShadow = hasShadow_;
        attributes.opaque = opaque_;
        attributes.collectionBehavior = collectionBehavior_;
        native_ = server.createWindow(frame_, attributes);
        server.setLevel(*native_, level_);
        server.setAlpha(*native_, alpha_);
        server.setIgnoresMouseEvents(*native_, ignoresMouseEvents_);
        if (!title_.empty())
            server.setTitle(*native_, title_);
    }
    return native_.value_or(0);
}

void Window::setTitle(std::string title) {
    title_ = std::move(title);
    if (native_ && app_)
        app_->windowServer().setTitle(*native_, title_);
}

// MARK: Geometry

void Window::setFrame(const gfx::Rect& frame, bool display) {
    // Asked again for a frame the window manager chose to change: the window stays where it was
    // put, and asking once more would only start the same exchange with the manager again.
    if (frame == frame_ || frame == requestedFrame_)
        return;
    requestedFrame_ = frame;
    if (native_ && app_)
        app_->windowServer().setFrame(*native_, frame);
    takeFrame(frame, display);
}

void Window::takeFrame(const gfx::Rect& frame, bool display) {
    const bool resized = frame.size != frame_.size;
    frame_ = frame;
    if (resized) {
        contentView_->setFrameSize(frame_.size);
        dirty_ = {{0, 0}, frame_.size};
        ownDirty_ = dirty_;
        if (display && visible_)
            this->display();
        else
            scheduleDisplay();
    }
}

void Window::serverPlacedWindow(const gfx::Rect& frame) {
    if (frame == frame_)
        return;
    takeFrame(frame, false);
    if (frameChangedAction)
        frameChangedAction();
}

void Window::setFrameOrigin(gfx::Point origin) {
    setFrame({origin, frame_.size}, false);
}

void Window::setContentSize(gfx::Size size) {
    setFrame({frame_.origin, size}, false);
}

gfx::Rect Window::constrainFrameRect(const gfx::Rect& frame,
                                     const std::optional<Screen>& screen) const {
    if (!(styleMask_ & Style::titled) || !screen)
        return frame;
    gfx::Rect constrained = frame;
    const double top = screen->visibleFrame().maxY();
    if (constrained.maxY() > top)
        constrained.origin.y = top - constrained.height();
    return constrained;
}

std::optional<Screen> Window::screen() const {
    std::optional<Screen> best;
    double bestArea = 0;
    for (const Screen& screen : Screen::screens()) {
        const gfx::Rect common = screen.frame().intersection(frame_);
        const double area = common.width() * common.height();
        if (!common.isEmpty() && area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

double Window::backingScaleFactor() const {
    if (auto own = screen())
        return own->backingScaleFactor();
    if (auto main = Screen::mainScreen())
        return main->backingScaleFactor();
    return 1;
}

gfx::Rect Window::convertRectToScreen(const gfx::Rect& rect) const {
    return rect.offsetBy(frame_.x(), frame_.y());
}

gfx::Rect Window::convertRectFromScreen(const gfx::Rect& rect) const {
    return rect.offsetBy(-frame_.x(), -frame_.y());
}

gfx::Point Window::convertPointToScreen(gfx::Point point) const {
    return point.offsetBy(frame_.x(), frame_.y());
}

gfx::Point Window::convertPointFromScreen(gfx::Point point) const {
    return point.offsetBy(-frame_.x(), -frame_.y());
}

// MARK: Attributes

void Window::setLevel(int level) {
    level_ = level;
    if (native_ && app_)
        app_->windowServer().setLevel(*native_, level);
}

void Window::setCollectionBehavior(CollectionBehavior behavior) {
    collectionBehavior_ = behavior;
    if (native_ && app_)
        app_->windowServer().setCollectionBehavior(*native_, behavior);
}

void Window::setAlphaValue(double alpha) {
    alpha_ = std::clamp(alpha, 0.0, 1.0);
    if (native_ && app_)
        app_->windowServer().setAlpha(*native_, alpha_);
}

void Window::setBackgroundColor(const gfx::Color& color) {
    backgroundColor_ = color;
    contentView_->setNeedsDisplay(true);
}

void Window::setIgnoresMouseEvents(bool ignores) {
    ignoresMouseEvents_ = ignores;
    if (native_ && app_)
        app_->windowServer().setIgnoresMouseEvents(*native_, ignores);
}

void Window::setAppearance(std::optional<gfx::Appearance> appearance) {
    appearance_ = appearance;
    contentView_->effectiveAppearanceMayHaveChanged();
}

gfx::Appearance Window::effectiveAppearance() const {
    if (appearance_)
        return *appearance_;
    return app_ ? app_->effectiveAppearance() : gfx::Appearance::light;
}

// MARK: Ordering and key status

void Window::orderFront() {
    if (!app_)
        return;
    ensureNative();
    if (!visible_) {
        const gfx::Rect constrained = constrainFrameRect(frame_, screen());
        if (constrained != frame_)
            setFrame(constrained, false);
        visible_ = true;
        closed_ = false;
        display();
        visibilityChanged();
    }
    app_->windowServer().orderFront(*native_);
}

void Window::orderFrontRegardless() {
    orderFront();
}

void Window::orderOut() {
    if (!visible_)
        return;
    visible_ = false;
    // The window that was key before takes the keyboard back while the
    // application is active (the details under the first-run tip), before this one leaves the
    // screen, so the focus never passes through another program.
    if (app_ && app_->keyWindow() == this && app_->isActive())
        if (Window* former = app_->formerKeyWindow(this))
            former->makeKeyWindow();
    if (native_ && app_)
        app_->windowServer().orderOut(*native_);
    if (app_ && app_->keyWindow() == this)
        app_->setKeyWindow(nullptr);
    if (app_ && app_->pointerWindow_ == this)
        pointerMoved(std::nullopt, Event());
    visibilityChanged();
    if (orderedOutAction)
        orderedOutAction();
}

void Window::visibilityChanged() {
    forEachView([](View& view) { view.viewDidChangeWindowVisibility(); });
}

void Window::makeKeyWindow() {
    if (!app_ || !canBecomeKeyWindow())
        return;
    app_->setKeyWindow(this);
    app_->windowServer().makeKey(ensureNative());
}

void Window::makeKeyAndOrderFront() {
    orderFront();
    makeKeyWindow();
}

bool Window::isKeyWindow() const {
    return app_ && app_->keyWindow() == this;
}

bool Window::canBecomeKeyWindow() const {
    return (styleMask_ & (Style::titled | Style::resizable)) != 0;
}

bool Window::canBecomeMainWindow() const {
    return (styleMask_ & Style::titled) != 0;
}

void Window::close() {
    orderOut();
    closed_ = releasedWhenClosed_;
}

void Window::performClose() {
    if (styleMask_ & Style::closable)
        close();
}

bool Window::makeFirstResponder(View* view) {
    if (view && view->window() != this)
        return false;
    firstResponder_ = view;
    return true;
}

void Window::viewWillLeave(View& view) {
    auto inside = [&](View* candidate) { return candidate && candidate->isDescendantOf(&view); };
    if (inside(firstResponder_))
        firstResponder_ = nullptr;
    if (inside(mouseDownView_))
        mouseDownView_ = nullptr;
    if (inside(rightMouseDownView_))
        rightMouseDownView_ = nullptr;
    cursorRectsValid_ = false;
}

// MARK: Drawing

void Window::viewInvalidated(const View& view, const gfx::Rect& rectInView) {
    const gfx::Rect inWindow =
        view.transformToWindow().apply(rectInView).intersection({{0, 0}, frame_.size});
    if (inWindow.isEmpty())
        return;
    dirty_ = dirty_.unionWith(inWindow);
    scheduleDisplay();
}

void Window::scheduleDisplay() {
    if (displayScheduled_ || !app_)
        return;
    std::weak_ptr<Window> weak = weak_from_this();
    if (weak.expired())
        return;
    displayScheduled_ = true;
    app_->runLoop().queue().async([weak] {
        if (auto window = weak.lock()) {
            window->displayScheduled_ = false;
            window->displayIfNeeded();
        }
    });
}

void Window::display() {
    redraw({{0, 0}, frame_.size});
    dirty_ = {};
    ownDirty_ = {};
    contentView_->clearDirtyInTree();
}

void Window::displayIfNeeded() {
    if (dirty_.isEmpty() || !visible_ || !app_)
        return;
    // The area is gathered from the views after each has settled its marks, so a view that
    // took back a mark of pixels that did not change keeps them out of the redraw.
    forEachView([](View& view) { view.viewWillDraw(); });
    // Areas apart are drawn apart: a change at either end of a wide strip redraws two columns,
    // not the modules between them.
    const gfx::Rect frameBounds{{0, 0}, frame_.size};
    DirtyRegion area;
    area.add(ownDirty_);
    // Only what shows of a view is drawn again: a card scrolled under a band must not redraw the
    // band's controls over it.
    forEachView([&](View& view) {
        if (view.dirty_.isEmpty())
            return;
        const gfx::AffineTransform toWindow = view.transformToWindow();
        const gfx::Rect shown = toWindow.apply(view.visibleRect());
        for (const gfx::Rect& part : view.dirty_.parts())
            area.add(toWindow.apply(part).intersection(shown));
    });
    dirty_ = {};
    ownDirty_ = {};
    for (const gfx::Rect& part : area.parts())
        redraw(part);
    contentView_->clearDirtyInTree();
}

void Window::redraw(const gfx::Rect& area) {
    if (!app_)
        return;
    ensureNative();
    const double scale = backingScaleFactor();
    // Whole points: a pixel only partly inside would be cleared and painted over in part, and an
    // edge redrawn every frame of an animation would wear the background through there.
    gfx::Rect dirty = area.integral().intersection({{0, 0}, frame_.size});
    const int wide = gfx::pixelCount(frame_.width(), scale);
    const int high = gfx::pixelCount(frame_.height(), scale);
    if (!backing_ || backing_->pixelsWide() != wide || backing_->pixelsHigh() != high ||
        backing_->size() != frame_.size) {
        backing_ = std::make_unique<gfx::Bitmap>(wide, high, frame_.size);
        dirty = {{0, 0}, frame_.size};
    }
    if (dirty.isEmpty())
        return;
    {
        gfx::Context context(*backing_, effectiveAppearance());
        context.setShapeMasks(&shapeMasks_);
        context.clipToRect(dirty);
        context.clearRect(dirty);
        // A clear background (every panel over the bar) would cost a pass over the area for
        // nothing.
        if (backgroundColor_.resolved(context.appearance()).alpha() > 0) {
            context.setFillColor(backgroundColor_);
            context.fillRect(dirty);
        }
        context.concat(contentView_->transformToSuperview());
        const gfx::Rect inContent = contentView_->transformToSuperview()
                                        .inverted()
                                        .value_or(gfx::AffineTransform{})
                                        .apply(dirty);
        contentView_->drawHierarchy(context, inContent);
    }
    cairo_surface_flush(backing_->surface());
    app_->windowServer().present(*native_, backing_->surface(), dirty);
}

void Window::forEachView(const std::function<void(View&)>& visit) {
    std::function<void(const std::shared_ptr<View>&)> walk =
        [&](const std::shared_ptr<View>& view) {
            visit(*view);
            for (auto& subview : std::vector(view->subviews()))
                walk(subview);
        };
    walk(contentView_);
}

void Window::invalidateCursorRectsForView(View*) {
    cursorRectsValid_ = false;
    if (!app_ || app_->pointerWindow_ != this || cursorRefreshScheduled_)
        return;
    std::weak_ptr<Window> weak = weak_from_this();
    if (weak.expired())
        return;
    cursorRefreshScheduled_ = true;
    app_->runLoop().queue().async([weak] {
        auto window = weak.lock();
        if (!window)
            return;
        window->cursorRefreshScheduled_ = false;
        if (window->app_ && window->app_->pointerWindow_ == window.get())
            window->updateCursor(window->convertPointFromScreen(window->app_->mouseLocation()));
    });
}

} // namespace ui
