#pragma once

#include "platform/graphics/Color.h"

namespace ui {
class View;
}

namespace pulsedeck {

// The accent before the theme colour first replaces it (the palette's blue).
inline constexpr gfx::Color initialAccentColor = gfx::Color::srgb(0.16, 0.58, 1.0);

// The one shared accent colour every custom control fills its on state with; it follows the
// theme colour. Main thread only.
gfx::Color accentColor();

// The one way to replace the accent. When the colour differs from the current accent it becomes
// the accent and every window of the application is redrawn with all its views, since any of them
// may paint the old accent; an equal colour changes nothing. True when the accent changed.
bool applyAccentColor(const gfx::Color& color);

// Marks the view and every descendant for redisplay, depth first in subview order.
void setNeedsDisplayRecursively(ui::View& view);

// Black or white, whichever reads on the colour (by its relative luminance).
gfx::Color contrastingTextColor(const gfx::Color& background);

// Black or white, whichever reads on the current accent.
gfx::Color contrastingTextColor();

} // namespace pulsedeck
