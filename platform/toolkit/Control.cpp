#include "platform/toolkit/Control.h"

namespace ui {

Control::Control(const gfx::Rect& frame) : View(frame) {}

bool Control::sendAction() {
    if (!action_)
        return false;
    // The action may replace itself; the running copy stays alive until it returns.
    const Action action = action_;
    action(*this);
    return true;
}

void Control::setEnabled(bool enabled) {
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    if (!enabled_)
        highlighted_ = false;
    setNeedsDisplay(true);
}

void Control::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted)
        return;
    highlighted_ = highlighted;
    setNeedsDisplay(true);
}

void Control::setFont(std::optional<gfx::Font> font) {
    font_ = std::move(font);
    setNeedsDisplay(true);
}

} // namespace ui
