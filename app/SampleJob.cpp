#include "app/SampleJob.h"

#include "app/SamplingResources.h"
#include "app/SourceCalls.h"

namespace pulsedeck {

std::optional<SampleResult> runSampleJob(SamplingResources& resources, const SampleFlags& flags,
                                         double now, SourceCalls& calls, std::uint64_t job) {
    SampleResult result;
    result.flags = flags;
    bool leftBehind = false;
    // False when the reader was not called: not wanted, or still in a call for an earlier job.
    auto call = [&](ModuleKind reader, bool wanted, const auto& read) {
        if (!wanted || leftBehind)
            return false;
        switch (calls.enter(reader, job)) {
        case SourceCalls::Entry::jobLeftBehind:
            leftBehind = true;
            return false;
        case SourceCalls::Entry::readerBusy:
            return false;
        case SourceCalls::Entry::entered:
            break;
        }
        read();
        calls.leave(reader);
        return true;
    };
    if (!call(ModuleKind::memory, flags.memory,
              [&] { result.memory = resources.system->sample(); }))
        result.memory = memoryPlaceholder();
    call(ModuleKind::fan, flags.fan, [&] { result.fan = resources.fanReader->sample(); });
    call(ModuleKind::network, true,
         [&] { result.network = resources.networkReader->sample(flags.network); });
    call(ModuleKind::temperature, flags.temperature,
         [&] { result.temperature = resources.temperatureReader->sample(); });
    if (!call(ModuleKind::compute, true,
              [&] { result.compute = resources.computeReader->sample(flags.compute); }))
        result.compute = computePlaceholder();
    result.flags.devices = call(ModuleKind::devices, flags.devices,
                                [&] { result.devices = resources.devicesReader->sample(now); });
    if (leftBehind)
        return std::nullopt;
    return result;
}

} // namespace pulsedeck
