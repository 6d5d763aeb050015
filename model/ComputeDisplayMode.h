#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace pulsedeck {

// The compute module's status-item style; stored as its integer raw value under "computeDisplay".
enum class ComputeDisplayMode { bars = 0, chart = 1, compact = 2 };

inline constexpr std::array<ComputeDisplayMode, 3> allComputeDisplayModes = {
    ComputeDisplayMode::bars, ComputeDisplayMode::chart, ComputeDisplayMode::compact};

inline int rawValue(ComputeDisplayMode mode) {
    return static_cast<int>(mode);
}

// A stored value: 1 reads as `chart`, 2 as `compact`, anything else — absent, another number or
// another type — as `bars`.
inline ComputeDisplayMode computeDisplayMode(std::optional<std::int64_t> stored) {
    if (stored == 1)
        return ComputeDisplayMode::chart;
    if (stored == 2)
        return ComputeDisplayMode::compact;
    return ComputeDisplayMode::bars;
}

} // namespace pulsedeck
