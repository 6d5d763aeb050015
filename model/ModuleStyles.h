#pragma once

#include "model/ComputeDisplayMode.h"
#include "model/DisplayMode.h"
#include "model/FanDisplayMode.h"
#include "model/Modules.h"
#include "model/TemperatureDisplayMode.h"

namespace pulsedeck {

// How each module draws itself, in the strip and on its card: what one preference set says,
// handed on whole from the settings to the strip and the details.
struct ModuleStyles {
    DisplayMode memoryMode = DisplayMode::four;
    bool memoryShowChart = true;
    FanDisplayMode fanMode = FanDisplayMode::ring;
    FanAnimationMode fanAnimation = FanAnimationMode::smooth;
    bool networkShowChart = true;
    bool networkColored = false;
    TemperatureDisplayMode temperatureMode = TemperatureDisplayMode::chart;
    ComputeDisplayMode computeMode = ComputeDisplayMode::bars;

    bool operator==(const ModuleStyles&) const = default;
};

} // namespace pulsedeck
