#pragma once

#include <optional>
#include <string>

namespace pulsedeck {

// One sample of the temperature module. The default value (nothing, 0, nothing) is both the
// "no valid reading" sample and what the sampling job uses while the module is inactive.
struct TemperatureSnapshot {
    // The hottest valid reading, °C.
    std::optional<double> celsius;
    // How many sensors gave a valid reading in this sample (not how many are known).
    int sensorCount = 0;
    // The controller key of the sensor that gave `celsius`.
    std::optional<std::string> sensor;

    bool operator==(const TemperatureSnapshot&) const = default;
};

} // namespace pulsedeck
