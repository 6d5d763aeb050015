#pragma once

#include "model/StripLook.h"
#include "statusbar/StripSettings.h"

namespace pulsedeck {

// The floating strip's settings from the bar's own look. The bar has no theme colour of its own:
// the menu bar's theme stands in for every slot without a colour, and decides the blue or green
// normal level. Without fans the bar leaves the fan out, whatever its look says.
StripSettings floatingStripSettings(const StripLook& bar, PaletteColor theme, bool fanAvailable);

// The floating strip sits 5 points taller than the status strip, with wider ends.
StripEnvironment floatingStripEnvironment(double statusHeight);

} // namespace pulsedeck
