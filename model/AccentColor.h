#pragma once

#include "platform/graphics/Color.h"

namespace pulsedeck {

// The accent before the theme colour first replaces it (the palette's blue).
inline constexpr gfx::Color initialAccentColor = gfx::Color::srgb(0.16, 0.58, 1.0);

// The one shared accent colour every custom control fills its on state with; it follows the
// theme colour. Main thread only.
gfx::Color accentColor();

// Makes the colour the accent. True when it differs from the accent it replaces: the caller then
// redraws every window, since each may paint the old accent somewhere.
bool replaceAccentColor(const gfx::Color& color);

// Black or white, whichever reads on the colour (by its relative luminance).
gfx::Color contrastingTextColor(const gfx::Color& background);

// Black or white, whichever reads on the current accent.
gfx::Color contrastingTextColor();

} // namespace pulsedeck
