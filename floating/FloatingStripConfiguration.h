#pragma once

#include "floating/FloatingPreferences.h"
#include "floating/FloatingReadings.h"
#include "model/Localization.h"
#include "model/Modules.h"

namespace pulsedeck {

class MenuBarContentView;

// What the floating strip is configured with besides the bar's preferences and readings.
struct FloatingStripContext {
    // The main settings' theme colour: every slot without a colour of its own takes it.
    PaletteColor theme = PaletteColor::green;
    AppLanguage language = AppLanguage::english;
    // False under Reduce Motion.
    bool animated = true;
    // The application's effective appearance, for the "system" appearance.
    bool systemDark = false;
    // The caller's strip height; the floating strip is 5 points taller.
    double height = 24;
};

// Configures the floating bar's strip from the bar's own preferences and the latest readings:
// its padding, height, opacity, appearance and order, every visible module's image (hidden ones
// take no room), the compute style (a change morphs over 0.78 s while animations run), the fan
// (a hidden fan style shows as the ring), and the application mark alone when nothing, or only
// an empty devices module, is visible.
void configureFloating(MenuBarContentView& view, const FloatingPreferences& preferences,
                       const FloatingReadings& readings, const FloatingStripContext& context);

} // namespace pulsedeck
