#include "app/SampleJob.h"

#include "app/SamplingResources.h"

namespace pulsedeck {

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
