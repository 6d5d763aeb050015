#pragma once

#include "app/Preferences.h"
#include "app/SamplingState.h"
#include "detail/DetailState.h"

namespace pulsedeck {

// What the details take from the controller beside a preference set and the readings.
struct DetailContext {
    AppLanguage language = AppLanguage::english;
    bool fanAvailable = true;
    int historyCapacity = 60;
    UpdateFrequency updateFrequency = UpdateFrequency::weekly;
    // The login item's status, and whether its latest change failed.
    LoginItemStatus loginStatus = LoginItemStatus::notRegistered;
    bool loginFailed = false;

    bool operator==(const DetailContext&) const = default;
};

// The state of details that show `look`, whole: the menu bar's, or the floating bar's as it shows
// it; the rest is the menu bar's. A module that is off shows no reading.
DetailState detailState(const StripLook& look, const Preferences& main,
                        const DetailContext& context, DetailReadings readings);

// The latest readings and their histories as the controller keeps them.
DetailReadings detailReadings(const SamplingState& sampling);

} // namespace pulsedeck
