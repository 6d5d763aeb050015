#pragma once

#include "platform/graphics/Context.h"

namespace pulsedeck {

// The icon buttons' soft highlight while hovered: the bounds inset by 1, corner radius 6, in the
// label colour at alpha 0.08.
void drawHoverHighlight(gfx::Context& context, const gfx::Rect& bounds);

} // namespace pulsedeck
