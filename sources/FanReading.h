#pragma once

#include <optional>
#include <vector>

namespace pulsedeck {

// One fan as the controller reports it. Speeds are revolutions per minute.
struct FanReading {
    // The controller's fan index, from 0.
    int id = 0;
    std::optional<double> rpm;
    // Present only when the controller gave a value above 0.
    std::optional<double> maximum;

    bool operator==(const FanReading&) const = default;
};

// The fan working hardest among those that could be read: by load (speed over maximum) when every
// such fan has a usable speed and maximum, else by speed. The first of equal fans wins; nothing
// when no fan has a speed.
std::optional<FanReading> busiestFan(const std::vector<FanReading>& fans);

// The busiest fan's speed over its maximum, clamped to 0…1; nothing without a usable maximum.
std::optional<double> fanLoadFraction(const std::vector<FanReading>& fans);

} // namespace pulsedeck
