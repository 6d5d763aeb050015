#pragma once

#include "model/ModuleStyles.h"

namespace testsupport {

// Every module style changed from the standard one, so a hand-off that loses any of them shows.
inline constexpr pulsedeck::ModuleStyles otherStyles{
    .memoryMode = pulsedeck::DisplayMode::pair,
    .memoryShowChart = false,
    .fanMode = pulsedeck::FanDisplayMode::graph,
    .fanAnimation = pulsedeck::FanAnimationMode::off,
    .networkShowChart = false,
    .networkColored = true,
    .temperatureMode = pulsedeck::TemperatureDisplayMode::thermometer,
    .computeMode = pulsedeck::ComputeDisplayMode::compact};

} // namespace testsupport
