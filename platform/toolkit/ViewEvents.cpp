#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"

#include <algorithm>

namespace ui {

View* View::hitTest(gfx::Point pointInSuperview) {
    if (hidden_)
        return nullptr;
    const auto toBounds = transformToSuperview().inverted();
    if (!toBounds)
        return nullptr;
    const gfx::Point local = toBounds->apply(pointInSuperview);
    if (!bounds_.contains(local))
        return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        if (View* hit = (*it)->hitTest(local))
            return hit;
    }
    return this;
}

void View::dispatchEvent(const Event& event) {
    switch (event.type()) {
    case EventType::leftMouseDown:
        mouseDown(event);
        break;
    case EventType::leftMouseUp:
        mouseUp(event);
        break;
    case EventType::leftMouseDragged:
        mouseDragged(event);
        break;
    case EventType::mouseMoved:
        mouseMoved(event);
        break;
    case EventType::mouseEntered:
        mouseEntered(event);
        break;
    case EventType::mouseExited:
        mouseExited(event);
        break;
    case EventType::rightMouseDown:
        rightMouseDown(event);
        break;
    case EventType::rightMouseUp:
        rightMouseUp(event);
        break;
    case EventType::rightMouseDragged:
        rightMouseDragged(event);
        break;
    case EventType::otherMouseDown:
        otherMouseDown(event);
        break;
    case EventType::otherMouseUp:
        otherMouseUp(event);
        break;
    case EventType::scrollWheel:
        scrollWheel(event);
        break;
    case EventType::keyDown:
        keyDown(event);
        break;
    case EventType::keyUp:
        keyUp(event);
        break;
    case EventType::flagsChanged:
    case EventType::otherMouseDragged:
        break;
    }
}

namespace {

void passOn(View* superview, const Event& event) {
    if (superview)
        superview->dispatchEvent(event);
}

} // namespace

void View::mouseDown(const Event& event) {
    passOn(superview_, event);
}
void View::mouseUp(const Event& event) {
    passOn(superview_, event);
}
void View::mouseDragged(const Event& event) {
    passOn(superview_, event);
}
void View::rightMouseDown(const Event& event) {
    passOn(superview_, event);
}
void View::rightMouseUp(const Event& event) {
    passOn(superview_, event);
}
void View::rightMouseDragged(const Event& event) {
    passOn(superview_, event);
}
void View::otherMouseDown(const Event& event) {
    passOn(superview_, event);
}
void View::otherMouseUp(const Event& event) {
    passOn(superview_, event);
}
void View::scrollWheel(const Event& event) {
    passOn(superview_, event);
}
void View::keyDown(const Event& event) {
    if (event.keyCode() == KeyCode::escape)
        cancelOperation(event);
    else
        passOn(superview_, event);
}
void View::cancelOperation(const Event& event) {
    if (superview_)
        superview_->cancelOperation(event);
}
void View::keyUp(const Event& event) {
    passOn(superview_, event);
}
// Tracking events belong to the area's owner alone.
void View::mouseMoved(const Event&) {}
void View::mouseEntered(const Event&) {}
void View::mouseExited(const Event&) {}

void View::addTrackingArea(std::shared_ptr<TrackingArea> area) {
    if (area)
        trackingAreas_.push_back(std::move(area));
}

void View::removeTrackingArea(const std::shared_ptr<TrackingArea>& area) {
    std::erase(trackingAreas_, area);
}

void View::addCursorRect(const gfx::Rect& rect, Cursor cursor) {
    cursorRects_.push_back({rect, cursor});
}

void View::collectCursorRects() {
    discardCursorRects();
    if (hidden_)
        return;
    resetCursorRects();
    for (auto& subview : subviews_)
        subview->collectCursorRects();
}

} // namespace ui
