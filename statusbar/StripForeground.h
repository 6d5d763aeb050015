#pragma once

#include "platform/toolkit/View.h"
#include "statusbar/StatusEditingSurface.h"

namespace pulsedeck {

// The transparent layer above an editing surface's glass that paints the strip through the
// surface. The pointer passes through it. What it repaints is what the strip marks: the strip's
// setters mark a module's column when only its picture changed and the whole strip when the
// layout or the appearance moved, and the surface passes those marks on to this layer.
class StripForeground : public ui::View {
public:
    using ui::View::View;

    // The surface that owns this layer; it clears the pointer when it goes away, so a stray
    // reference to the layer never paints through a dead surface.
    StatusEditingSurface* surface = nullptr;

    ui::View* hitTest(gfx::Point) override { return nullptr; }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
};

} // namespace pulsedeck
