#include "platform/toolkit/Event.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"

namespace ui {

Event::Event(Fields fields, std::weak_ptr<Window> window)
    : fields_(std::move(fields)), window_(std::move(window)),
      locationInWindow_(fields_.screenLocation) {
    if (auto owner = window_.lock())
        locationInWindow_ = owner->convertPointFromScreen(fields_.screenLocation);
}

gfx::Point Event::mouseLocation() {
    return Application::shared().mouseLocation();
}

unsigned Event::pressedMouseButtons() {
    return Application::shared().pressedMouseButtons();
}

bool Event::isMouseEvent() const {
    switch (fields_.type) {
    case EventType::keyDown:
    case EventType::keyUp:
    case EventType::flagsChanged:
        return false;
    default:
        return true;
    }
}

bool Event::isKeyEvent() const {
    return fields_.type == EventType::keyDown || fields_.type == EventType::keyUp;
}

} // namespace ui
