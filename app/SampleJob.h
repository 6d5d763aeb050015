#pragma once

#include "sources/ComputeSnapshot.h"
#include "sources/ExternalDevice.h"
#include "sources/FanSnapshot.h"
#include "sources/MemorySnapshot.h"
#include "sources/NetworkSnapshot.h"
#include "sources/TemperatureSnapshot.h"

#include <cstdint>
#include <optional>

namespace pulsedeck {

class SamplingResources;
class SourceCalls;

// Which modules one sample reads and records, decided on the main thread when it is requested.
struct SampleFlags {
    bool memory = false;
    bool fan = false;
    bool network = false;
    bool temperature = false;
    bool compute = false;
    bool devices = false;

    bool operator==(const SampleFlags&) const = default;
};

// One sample as the job hands it back: the flags it ran with and every module's snapshot (a
// placeholder for a module it did not read).
struct SampleResult {
    SampleFlags flags;
    MemorySnapshot memory;
    FanSnapshot fan;
    NetworkSnapshot network;
    TemperatureSnapshot temperature;
    ComputeSnapshot compute;
    ExternalDevicesSnapshot devices;
};

// Reads the modules in the fixed order memory, fan, network, temperature, compute, devices. The
// network and compute readers are always called and told whether their module is on; the
// others only when flagged. A reader still in a call an earlier job made is not called: its
// module gets its placeholder, and the devices keep the list they had (their flag is cleared).
// Empty once `calls` has left job `job` behind: then no reader is called after the one that held
// it. `now` is the system uptime handed to the devices reader. Runs on the sampling queue.
std::optional<SampleResult> runSampleJob(SamplingResources& resources, const SampleFlags& flags,
                                         double now, SourceCalls& calls, std::uint64_t job);

} // namespace pulsedeck
