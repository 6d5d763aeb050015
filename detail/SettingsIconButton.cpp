#include "detail/SettingsIconButton.h"

#include "detail/HoverHighlight.h"

namespace pulsedeck {

void SettingsIconButton::drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) {
    if (isHovered())
        drawHoverHighlight(context, bounds());
    Button::drawRect(context, dirtyRect);
}

void SettingsIconButton::resetCursorRects() {
    addCursorRect(bounds(), ui::Cursor::pointingHand());
}

} // namespace pulsedeck
