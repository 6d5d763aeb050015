#include "detail/HoverHighlight.h"

#include "platform/graphics/Path.h"

namespace pulsedeck {

void drawHoverHighlight(gfx::Context& context, const gfx::Rect& bounds) {
    context.setFillColor(gfx::Color::label().withAlpha(0.08));
    context.fill(gfx::Path::roundedRect(bounds.insetBy(1, 1), 6, 6));
}

} // namespace pulsedeck
