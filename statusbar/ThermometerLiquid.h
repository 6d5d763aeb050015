#pragma once

#include "statusbar/FanMorph.h"

#include <algorithm>

namespace pulsedeck {

// The thermometer's liquid moving from the level shown to a new reading's level: 0.42 s, eased
// in and out, on the uptime clock.
struct ThermometerLiquid {
    static constexpr double duration = 0.42;
    // Redraws per second while it moves.
    static constexpr double tickInterval = 1.0 / 30.0;

    double from = 0;
    double to = 0;
    double started = 0;

    double progress(double time) const { return std::clamp((time - started) / duration, 0.0, 1.0); }
    double level(double time) const { return from + (to - from) * smoothstep(progress(time)); }
    bool isFinished(double time) const { return progress(time) >= 1; }
};

} // namespace pulsedeck
