#include "platform/toolkit/Popover.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Screen.h"

#include <algorithm>

namespace ui {

namespace {

constexpr double animationFrameInterval = 1.0 / 60.0;

class PopoverWindow final : public Panel {
public:
    using Panel::Panel;
    bool canBecomeKeyWindow() const override { return true; }

protected:
    WindowRole role() const override { return WindowRole::popover; }
};

RectEdge opposite(RectEdge edge) {
    switch (edge) {
    case RectEdge::minX:
        return RectEdge::maxX;
    case RectEdge::maxX:
        return RectEdge::minX;
    case RectEdge::minY:
        return RectEdge::maxY;
    case RectEdge::maxY:
        return RectEdge::minY;
    }
    return edge;
}

gfx::Rect besideEdge(const gfx::Rect& anchor, gfx::Size size, RectEdge edge) {
    switch (edge) {
    case RectEdge::minY:
        return {anchor.midX() - size.width / 2, anchor.minY() - size.height, size.width,
                size.height};
    case RectEdge::maxY:
        return {anchor.midX() - size.width / 2, anchor.maxY(), size.width, size.height};
    case RectEdge::minX:
        return {anchor.minX() - size.width, anchor.midY() - size.height / 2, size.width,
                size.height};
    case RectEdge::maxX:
        return {anchor.maxX(), anchor.midY() - size.height / 2, size.width, size.height};
    }
    return {};
}

bool fits(const gfx::Rect& frame, RectEdge edge, const gfx::Rect& area) {
    switch (edge) {
    case RectEdge::minY:
        return frame.minY() >= area.minY();
    case RectEdge::maxY:
        return frame.maxY() <= area.maxY();
    case RectEdge::minX:
        return frame.minX() >= area.minX();
    case RectEdge::maxX:
        return frame.maxX() <= area.maxX();
    }
    return true;
}

double clampInto(double origin, double length, double low, double high) {
    return std::max(low, std::min(origin, high - length));
}

// The frame beside the anchor on `edge` no deeper than the area's room on that side.
gfx::Rect cutToRoom(const gfx::Rect& anchor, gfx::Size size, RectEdge edge, const gfx::Rect& area) {
    switch (edge) {
    case RectEdge::minY:
        size.height = std::max(0.0, std::min(size.height, anchor.minY() - area.minY()));
        break;
    case RectEdge::maxY:
        size.height = std::max(0.0, std::min(size.height, area.maxY() - anchor.maxY()));
        break;
    case RectEdge::minX:
        size.width = std::max(0.0, std::min(size.width, anchor.minX() - area.minX()));
        break;
    case RectEdge::maxX:
        size.width = std::max(0.0, std::min(size.width, area.maxX() - anchor.maxX()));
        break;
    }
    return besideEdge(anchor, size, edge);
}

} // namespace

gfx::Rect popoverFrame(const gfx::Rect& anchor, gfx::Size contentSize, RectEdge preferredEdge,
                       const std::optional<gfx::Rect>& visibleArea) {
    gfx::Rect frame = besideEdge(anchor, contentSize, preferredEdge);
    if (!visibleArea)
        return frame;
    const gfx::Rect& area = *visibleArea;
    if (!fits(frame, preferredEdge, area)) {
        const RectEdge other = opposite(preferredEdge);
        const gfx::Rect flipped = besideEdge(anchor, contentSize, other);
        // A popover larger than the screen never reaches past its edge.
        frame = fits(flipped, other, area) ? flipped
                                           : cutToRoom(anchor, contentSize, preferredEdge, area);
    }
    if (preferredEdge == RectEdge::minY || preferredEdge == RectEdge::maxY)
        frame.origin.x = clampInto(frame.x(), frame.width(), area.minX(), area.maxX());
    else
        frame.origin.y = clampInto(frame.y(), frame.height(), area.minY(), area.maxY());
    return frame;
}

Popover::Popover() = default;

Popover::~Popover() {
    stopWatching();
    if (resizeTimer_)
        resizeTimer_->invalidate();
    if (window_)
        window_->orderOut();
}

void Popover::setContentViewController(std::shared_ptr<ViewController> controller) {
    controller_ = std::move(controller);
    if (window_ && controller_ && controller_->view())
        window_->setContentView(controller_->view());
}

void Popover::setAppearance(std::optional<gfx::Appearance> appearance) {
    appearance_ = appearance;
    if (window_)
        window_->setAppearance(appearance);
}

gfx::Rect Popover::anchorOnScreen() const {
    auto view = positioningView_.lock();
    if (!view || !view->window())
        return {};
    return view->window()->convertRectToScreen(view->convertRectToView(positioningRect_, nullptr));
}

void Popover::place(gfx::Size size) {
    if (!window_)
        return;
    auto view = positioningView_.lock();
    RectEdge edge = edge_;
    // The edge is named in the positioning view's space; a flipped view has minY at its top.
    if (view && view->isFlipped() && (edge == RectEdge::minY || edge == RectEdge::maxY))
        edge = opposite(edge);
    const gfx::Rect anchor = anchorOnScreen();
    std::optional<gfx::Rect> area;
    for (const Screen& screen : Screen::screens()) {
        if (screen.frame().contains(anchor.center())) {
            area = screen.visibleFrame();
            break;
        }
    }
    const gfx::Rect frame = popoverFrame(anchor, size, edge, area);
    window_->setFrame(frame, false);
    // Cut to a screen with too little room, the content keeps its size and shows its top.
    if (const auto& content = window_->contentView())
        content->setFrame({0, frame.height() - size.height, size.width, size.height});
}

void Popover::showRelativeToRect(const gfx::Rect& rect, View* view, RectEdge preferredEdge) {
    if (!view || !view->window() || !controller_ || !controller_->view())
        return;
    positioningRect_ = rect;
    positioningView_ = view->weak_from_this();
    edge_ = preferredEdge;
    if (contentSize_.width <= 0 || contentSize_.height <= 0)
        contentSize_ = controller_->view()->frame().size;
    if (!window_) {
        window_ = std::make_shared<PopoverWindow>(gfx::Rect{{0, 0}, contentSize_},
                                                  Style::borderless | Style::nonactivatingPanel);
        window_->setReleasedWhenClosed(false);
        window_->setLevel(WindowLevel::popUpMenu);
        window_->setOpaque(false);
        window_->setBackgroundColor(
            gfx::Color::dynamic(gfx::Color::grey(0.94), gfx::Color::grey(0.17)));
        window_->setAppearance(appearance_);
        window_->setContentView(controller_->view());
    }
    place(resize_ ? window_->frame().size : contentSize_);
    if (!shown_)
        watchOutsidePresses();
    shown_ = true;
    window_->orderFront();
}

void Popover::watchOutsidePresses() {
    if (behavior_ == PopoverBehavior::applicationDefined)
        return;
    Application& app = Application::shared();
    constexpr EventMask presses =
        EventMasks::leftMouseDown | EventMasks::rightMouseDown | EventMasks::otherMouseDown;
    std::weak_ptr<Popover*> weak = self_;
    monitors_.push_back(app.addLocalMonitor(presses, [weak](const Event& event) {
        if (auto popover = weak.lock())
            (*popover)->pressSeen(event);
        return std::optional(event);
    }));
    if (behavior_ == PopoverBehavior::transient) {
        monitors_.push_back(app.addGlobalMonitor(presses, [weak](const Event& event) {
            if (auto popover = weak.lock())
                (*popover)->pressSeen(event);
        }));
    }
}

void Popover::stopWatching() {
    if (Application* app = Application::current()) {
        for (EventMonitorToken token : monitors_)
            app->removeMonitor(token);
    }
    monitors_.clear();
}

void Popover::pressSeen(const Event& event) {
    if (!shown_)
        return;
    const std::shared_ptr<Window> pressed = event.window();
    if (pressed && pressed == window_)
        return;
    // A press in the window the popover hangs from is left to that window, so a second click on
    // the anchor can close the popover instead of closing and reopening it.
    if (auto view = positioningView_.lock(); pressed && view && pressed.get() == view->window())
        return;
    performClose();
}

void Popover::setPositioningRect(const gfx::Rect& rect) {
    positioningRect_ = rect;
    // The content size, not a frame cut to a smaller screen's room.
    if (shown_)
        place(resize_ ? window_->frame().size : contentSize_);
}

void Popover::setContentSize(gfx::Size size) {
    if (size == contentSize_)
        return;
    contentSize_ = size;
    AnimationContext* group = AnimationContext::current();
    if (shown_ && animates_ && group && group->duration() > 0) {
        Application& app = Application::shared();
        resize_ = Resize{
            window_->frame().size,   size, app.now(), group->duration(), group->timingFunction(),
            group->completionToken()};
        if (resizeTimer_)
            resizeTimer_->invalidate();
        resizeTimer_ = std::make_unique<dispatch::Timer>(
            animationFrameInterval, true, [this] { stepAnimation(); }, dispatch::commonModes,
            app.runLoop());
        return;
    }
    resize_.reset();
    if (resizeTimer_)
        resizeTimer_->invalidate();
    if (shown_)
        place(size);
}

void Popover::stepAnimation() {
    if (!resize_ || !shown_)
        return;
    const double t = (Application::shared().now() - resize_->start) / resize_->duration;
    const double progress = evaluateTiming(resize_->timing, std::min(t, 1.0));
    // The last frame is the asked size itself, not one rounded on the way there.
    const gfx::Size size =
        t >= 1 ? resize_->to
               : gfx::Size{
                     resize_->from.width + progress * (resize_->to.width - resize_->from.width),
                     resize_->from.height + progress * (resize_->to.height - resize_->from.height)};
    place(size);
    if (t >= 1) {
        resize_.reset();
        resizeTimer_->invalidate();
    }
}

void Popover::performClose() {
    close();
}

void Popover::close() {
    if (!shown_)
        return;
    shown_ = false;
    stopWatching();
    resize_.reset();
    if (resizeTimer_)
        resizeTimer_->invalidate();
    if (window_) {
        window_->orderOut();
        window_.reset();
    }
    if (auto delegate = delegate_.lock())
        delegate->popoverDidClose(*this);
}

} // namespace ui
