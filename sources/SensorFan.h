#pragma once

#include <cstdint>
#include <optional>

namespace pulsedeck {

// One fan in the companion's reply. Speeds are revolutions per minute.
struct SensorFan {
    std::int64_t id = 0;
    std::optional<double> rpm;
    std::optional<double> maximum;

    bool operator==(const SensorFan&) const = default;
};

} // namespace pulsedeck
