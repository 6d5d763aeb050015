#pragma once

#include "detail/HoverTracking.h"
#include "platform/toolkit/Button.h"

namespace pulsedeck {

// The detail view's gear button: a button (image, look and action set by the owner) with a soft
// rounded highlight while hovered and a pointing-hand cursor.
class SettingsIconButton : public HoverTracking<ui::Button> {
public:
    using HoverTracking::HoverTracking;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void resetCursorRects() override;
};

} // namespace pulsedeck
