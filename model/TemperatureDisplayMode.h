#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace pulsedeck {

// The temperature module's display style; stored as its integer raw value under
// "temperatureDisplay".
enum class TemperatureDisplayMode { chart = 0, thermometer = 1 };

inline constexpr std::array<TemperatureDisplayMode, 2> allTemperatureDisplayModes = {
    TemperatureDisplayMode::chart, TemperatureDisplayMode::thermometer};

inline int rawValue(TemperatureDisplayMode mode) {
    return static_cast<int>(mode);
}

// The mode with that raw value; nothing for any other integer.
inline std::optional<TemperatureDisplayMode> temperatureDisplayMode(std::int64_t rawValue) {
    if (rawValue == 0 || rawValue == 1)
        return static_cast<TemperatureDisplayMode>(rawValue);
    return std::nullopt;
}

} // namespace pulsedeck
