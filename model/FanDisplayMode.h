#pragma once

#include <array>
#include <cstdint>

namespace pulsedeck {

// The fan module's status-item style; stored as its integer raw value under "fanDisplayMode".
enum class FanDisplayMode { hidden = 0, ring = 1, graph = 2 };

inline constexpr std::array<FanDisplayMode, 3> allFanDisplayModes = {
    FanDisplayMode::hidden, FanDisplayMode::ring, FanDisplayMode::graph};

inline int rawValue(FanDisplayMode mode) {
    return static_cast<int>(mode);
}

// A stored value: 0, 1 and 2 are kept, anything else reads as `ring`.
inline FanDisplayMode fanDisplayMode(std::int64_t rawValue) {
    if (rawValue >= 0 && rawValue <= 2)
        return static_cast<FanDisplayMode>(rawValue);
    return FanDisplayMode::ring;
}

} // namespace pulsedeck
