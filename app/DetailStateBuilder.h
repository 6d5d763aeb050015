#pragma once

#include "app/Preferences.h"
#include "app/SamplingState.h"
#include "detail/DetailState.h"
#include "floating/FloatingPreferences.h"

namespace pulsedeck {

// What the details take from the controller beside a preference set and the readings.
struct DetailContext {
    AppLanguage language = AppLanguage::english;
    bool fanAvailable = true;
    int historyCapacity = 60;
    UpdateFrequency updateFrequency = UpdateFrequency::weekly;
    // The login item's status as DetailState keeps it, and whether its latest change failed.
    int loginState = 0;
    bool loginFailed = false;

    bool operator==(const DetailContext&) const = default;
};

// The state of the menu bar's details, or, given the floating bar's own settings, of the bar's
// details: the bar's settings then decide the modules, styles, colours (but the theme), sliders,
// presentation and sections, and the rest stays the menu bar's. A module that is off shows no
// reading.
DetailState detailState(const Preferences& main, const FloatingPreferences* floating,
                        const DetailContext& context, DetailReadings readings);

// The latest readings and their histories as the controller keeps them.
DetailReadings detailReadings(const SamplingState& sampling);

} // namespace pulsedeck
