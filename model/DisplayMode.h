#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace pulsedeck {

// How the memory status item lays out its figures; stored as its integer raw value under
// "displayMode".
enum class DisplayMode { four = 0, automatic = 1, pair = 2 };

inline constexpr std::array<DisplayMode, 3> allDisplayModes = {
    DisplayMode::four, DisplayMode::automatic, DisplayMode::pair};

inline int rawValue(DisplayMode mode) {
    return static_cast<int>(mode);
}

// The mode with that raw value; nothing for any other integer.
inline std::optional<DisplayMode> displayMode(std::int64_t rawValue) {
    if (rawValue >= 0 && rawValue <= 2)
        return static_cast<DisplayMode>(rawValue);
    return std::nullopt;
}

} // namespace pulsedeck
