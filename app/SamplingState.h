#pragma once

#include "app/SampleJob.h"
#include "statusbar/StripSettings.h"

#include <cstddef>
#include <limits>
#include <optional>
#include <vector>

namespace pulsedeck {

// The latest snapshot of every module and the histories of the last samples, as the controller
// keeps them on the main thread.
struct SamplingState {
    // Entries each history keeps.
    static constexpr std::size_t historyCapacity = 60;
    // The least time between two appends while the memory history is not empty, in seconds.
    static constexpr double historyInterval = 0.95;

    MemorySnapshot latest = memoryPlaceholder();
    std::vector<PressurePoint> history;
    FanSnapshot fanSnapshot;
    // The busiest fan's load per sample; empty while the fan was not recorded.
    std::vector<std::optional<double>> fanHistory;
    // Whether the machine has fans worth asking for; once the controller counts none, false for
    // the rest of the run.
    bool fanAvailable = true;
    NetworkSnapshot networkSnapshot;
    std::vector<NetworkSnapshot> networkHistory;
    TemperatureSnapshot temperatureSnapshot;
    std::vector<std::optional<double>> temperatureHistory;
    ComputeSnapshot computeSnapshot = computePlaceholder();
    std::vector<ComputeSnapshot> computeHistory;
    ExternalDevicesSnapshot devicesSnapshot;
    // Uptime of the last append. On the uptime clock, so a wall-clock step back cannot hold the
    // histories still.
    double lastHistoryDate = -std::numeric_limits<double>::infinity();

    // Stores the snapshots of modules flagged in the sample and still active (`activeNow`),
    // then appends to the histories unless the last append is less than historyInterval ago
    // (checked only while the memory history holds something), keeping the last
    // historyCapacity entries. Answers whether the histories grew. `now` is the uptime.
    bool apply(const SampleResult& sample, const SampleFlags& activeNow, double now);

    // Forgets a module's history (and the network's last counters, so its next rate starts
    // afresh).
    void clearHistory(ModuleKind kind);

    // The latest snapshots with views into the histories, for building a strip.
    StripReadings stripReadings() const;
};

} // namespace pulsedeck
