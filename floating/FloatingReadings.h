#pragma once

#include "sources/ComputeSnapshot.h"
#include "sources/ExternalDevice.h"
#include "sources/FanSnapshot.h"
#include "sources/MemorySnapshot.h"
#include "sources/NetworkSnapshot.h"
#include "sources/TemperatureSnapshot.h"

#include <optional>
#include <vector>

namespace pulsedeck {

// The latest readings and histories (oldest first) handed to the floating bar.
struct FloatingReadings {
    MemorySnapshot memory;
    std::vector<PressurePoint> memoryHistory;
    FanSnapshot fan;
    std::vector<std::optional<double>> fanHistory;
    NetworkSnapshot network;
    std::vector<NetworkSnapshot> networkHistory;
    TemperatureSnapshot temperature;
    std::vector<std::optional<double>> temperatureHistory;
    ComputeSnapshot compute;
    std::vector<ComputeSnapshot> computeHistory;
    std::vector<ExternalDevice> devices;

    // What the bar shows before the first sample: every memory figure "—" and waiting, the
    // machine's processor count, no other figure and empty histories.
    static FloatingReadings placeholder();
};

} // namespace pulsedeck
