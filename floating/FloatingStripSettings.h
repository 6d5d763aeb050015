#pragma once

#include "floating/FloatingPreferences.h"
#include "statusbar/StripSettings.h"

namespace pulsedeck {

// A look's modules, order and styles as strip settings, its colours as they are; without fans
// the fan is not shown.
StripSettings stripSettings(const FloatingPreferences& look, bool fanAvailable);

// The floating strip's settings from the bar's own record. The bar has no theme colour of its
// own: the menu bar's theme stands in for every slot without a colour. Without fans the bar
// leaves the fan out, whatever its record says.
StripSettings floatingStripSettings(const FloatingPreferences& preferences, PaletteColor theme,
                                    bool fanAvailable);

// The floating strip sits 5 points taller than the status strip, with wider ends.
StripEnvironment floatingStripEnvironment(double statusHeight);

} // namespace pulsedeck
