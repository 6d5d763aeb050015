#pragma once

#include "sources/FanReading.h"

#include <optional>
#include <string>
#include <vector>

namespace pulsedeck {

// One sample of the fan module. The default value (empty model, no fans, no count) is what the
// sampling job uses while the module is inactive.
struct FanSnapshot {
    std::string model;
    // In controller index order.
    std::vector<FanReading> fans;
    // The fan count the controller reported: 0 on a fanless model, nothing when the count could
    // not be read or was unusable.
    std::optional<int> detectedCount;

    bool operator==(const FanSnapshot&) const = default;
};

} // namespace pulsedeck
