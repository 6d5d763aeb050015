#pragma once

#include "app/SampleSources.h"
#include "platform/system/SystemRoots.h"

#include <memory>

namespace pulsedeck {

// The six readers of the sampling loop, made once and kept for the life of the process. Only
// the sampling job calls them (on the sampling queue); the devices source's change action is
// set on the main thread.
class SamplingResources {
public:
    SamplingResources(std::unique_ptr<MemorySource> system, std::unique_ptr<FanSource> fanReader,
                      std::unique_ptr<NetworkSource> networkReader,
                      std::unique_ptr<TemperatureSource> temperatureReader,
                      std::unique_ptr<ComputeSource> computeReader,
                      std::unique_ptr<DevicesSource> devicesReader);

    // The readers of this machine, their files under `roots`. The devices reader listens for
    // hot-plug events on the main run loop from the start: call on the main thread.
    static std::shared_ptr<SamplingResources>
    live(const sys::SystemRoots& roots = sys::SystemRoots::live());

    const std::unique_ptr<MemorySource> system;
    const std::unique_ptr<FanSource> fanReader;
    const std::unique_ptr<NetworkSource> networkReader;
    const std::unique_ptr<TemperatureSource> temperatureReader;
    const std::unique_ptr<ComputeSource> computeReader;
    const std::unique_ptr<DevicesSource> devicesReader;
};

} // namespace pulsedeck
