#include "detail/SettingsIconButton.h"

#include "detail/HoverHighlight.h"

namespace pulsedeck {

void SettingsIconButton::drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) {
    if (hovered_)
        drawHoverHighlight(context, bounds());
    Button::drawRect(context, dirtyRect);
}

void SettingsIconButton::resetCursorRects() {
    addCursorRect(bounds(), ui::Cursor::pointingHand());
}

void SettingsIconButton::updateTrackingAreas() {
    replaceHoverTrackingArea(*this, tracking_);
}

void SettingsIconButton::mouseEntered(const ui::Event&) {
    hovered_ = true;
    setNeedsDisplay(true);
}

void SettingsIconButton::mouseExited(const ui::Event&) {
    hovered_ = false;
    setNeedsDisplay(true);
}

} // namespace pulsedeck
