#include "platform/toolkit/Application.h"
#include "platform/toolkit/ToolTipController.h"
#include "platform/toolkit/Window.h"

namespace ui {

namespace {

Event retyped(const Event& event, EventType type) {
    Event::Fields fields = event.fields();
    fields.type = type;
    return Event(fields, event.window());
}

bool isActive(const TrackingArea& area, const Window& window, const Application* app) {
    const TrackingOptions options = area.options();
    if (options & Tracking::activeAlways)
        return true;
    if ((options & Tracking::activeInActiveApp) && app && app->isActive())
        return true;
    if ((options & Tracking::activeInKeyWindow) && window.isKeyWindow())
        return true;
    return (options & Tracking::activeWhenFirstResponder) &&
           window.firstResponder() == area.owner();
}

} // namespace

void Window::sendEvent(const Event& event) {
    const gfx::Point location = event.locationInWindow();
    auto viewAt = [&]() { return contentView_->hitTest(location); };
    switch (event.type()) {
    case EventType::leftMouseDown: {
        if (app_)
            app_->toolTips().hide();
        if (canBecomeKeyWindow() && !isKeyWindow())
            makeKeyWindow();
        View* view = viewAt();
        mouseDownView_ = view;
        if (view) {
            if (view->acceptsFirstResponder())
                makeFirstResponder(view);
            view->dispatchEvent(event);
        }
        break;
    }
    case EventType::leftMouseDragged:
    case EventType::leftMouseUp: {
        View* view = mouseDownView_ ? mouseDownView_ : viewAt();
        if (event.type() == EventType::leftMouseUp)
            mouseDownView_ = nullptr;
        if (view)
            view->dispatchEvent(event);
        pointerMoved(location, event);
        break;
    }
    case EventType::rightMouseDown: {
        if (app_)
            app_->toolTips().hide();
        rightMouseDownView_ = viewAt();
        if (rightMouseDownView_)
            rightMouseDownView_->dispatchEvent(event);
        break;
    }
    case EventType::rightMouseDragged:
    case EventType::rightMouseUp: {
        View* view = rightMouseDownView_ ? rightMouseDownView_ : viewAt();
        if (event.type() == EventType::rightMouseUp)
            rightMouseDownView_ = nullptr;
        if (view)
            view->dispatchEvent(event);
        break;
    }
    case EventType::otherMouseDown:
    case EventType::otherMouseUp:
    case EventType::otherMouseDragged:
    case EventType::scrollWheel:
        if (View* view = viewAt())
            view->dispatchEvent(event);
        break;
    case EventType::mouseMoved:
        pointerMoved(location, event);
        if (acceptsMouseMoved_ && firstResponder_)
            firstResponder_->dispatchEvent(event);
        break;
    case EventType::keyDown:
    case EventType::keyUp:
        if (View* view = firstResponder_ ? firstResponder_ : contentView_.get())
            view->dispatchEvent(event);
        break;
    case EventType::mouseEntered:
    case EventType::mouseExited:
    case EventType::flagsChanged:
        break;
    }
}

// Recomputes which tracking areas hold the pointer (none when location is empty: the pointer
// left the window) and reports the changes, then the cursor and the tool tip.
void Window::pointerMoved(std::optional<gfx::Point> location, const Event& event) {
    struct Candidate {
        std::weak_ptr<View> owner;
        std::shared_ptr<TrackingArea> area;
    };
    std::vector<Candidate> candidates;
    forEachView([&](View& view) {
        for (auto& area : view.trackingAreas())
            candidates.push_back({view.weak_from_this(), area});
    });

    const bool dragging =
        event.type() == EventType::leftMouseDragged || event.type() == EventType::rightMouseDragged;
    for (auto& [weakOwner, area] : candidates) {
        auto owner = weakOwner.lock();
        if (!owner || owner->window() != this)
            continue;
        const TrackingOptions options = area->options();
        if (dragging && !(options & Tracking::enabledDuringMouseDrag))
            continue;
        const gfx::Rect rect =
            (options & Tracking::inVisibleRect) ? owner->visibleRect() : area->rect();
        const bool inside = location && !owner->isHiddenOrHasHiddenAncestor() &&
                            isActive(*area, *this, app_) &&
                            owner->transformToWindow().apply(rect).contains(*location);
        if (inside != area->inside_) {
            area->inside_ = inside;
            if (options & Tracking::mouseEnteredAndExited)
                owner->dispatchEvent(
                    retyped(event, inside ? EventType::mouseEntered : EventType::mouseExited));
        }
        if (inside && (options & Tracking::mouseMoved) &&
            (event.type() == EventType::mouseMoved || dragging))
            owner->dispatchEvent(retyped(event, EventType::mouseMoved));
    }

    if (!app_)
        return;
    if (!location) {
        app_->toolTips().pointerOver(nullptr);
        app_->setRectCursor(Cursor::arrow());
        return;
    }
    updateCursor(*location);
    if (event.type() == EventType::mouseMoved) {
        View* tipped = contentView_->hitTest(*location);
        while (tipped && tipped->toolTip().empty())
            tipped = tipped->superview();
        app_->toolTips().pointerOver(tipped ? tipped->weak_from_this().lock() : nullptr);
    }
}

void Window::updateCursor(gfx::Point location) {
    if (!cursorRectsValid_) {
        contentView_->collectCursorRects();
        cursorRectsValid_ = true;
    }
    std::optional<Cursor> found;
    forEachView([&](View& view) {
        if (view.cursorRects().empty())
            return;
        const gfx::Rect visible = view.visibleRect();
        const gfx::AffineTransform toWindow = view.transformToWindow();
        for (const auto& cursorRect : view.cursorRects()) {
            if (toWindow.apply(cursorRect.rect.intersection(visible)).contains(location))
                found = cursorRect.cursor;
        }
    });
    app_->setRectCursor(found.value_or(Cursor::arrow()));
}

} // namespace ui
