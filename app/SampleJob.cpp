#include "app/SampleJob.h"

#include "app/SamplingResources.h"
#include "platform/foundation/ProcessInfo.h"

#include <chrono>

namespace pulsedeck {

MemorySnapshot memoryPlaceholder() {
    MemorySnapshot placeholder;
    placeholder.sampledAt = std::chrono::system_clock::now();
    placeholder.explanation = Copy::waiting;
    return placeholder;
}

ComputeSnapshot computePlaceholder() {
    ComputeSnapshot placeholder;
    placeholder.cpuCores = foundation::processInfo::processorCount();
    return placeholder;
}

SampleResult runSampleJob(SamplingResources& resources, const SampleFlags& flags, double now) {
    SampleResult result;
    result.flags = flags;
    result.memory = flags.memory ? resources.system->sample() : memoryPlaceholder();
    if (flags.fan)
        result.fan = resources.fanReader->sample();
    result.network = resources.networkReader->sample(flags.network);
    if (flags.temperature)
        result.temperature = resources.temperatureReader->sample();
    result.compute = resources.computeReader->sample(flags.compute);
    if (flags.devices)
        result.devices = resources.devicesReader->sample(now);
    return result;
}

} // namespace pulsedeck
