#include "app/SampleJob.h"
#include "app/SamplingResources.h"
#include "app/SamplingState.h"
#include "app/SourceCalls.h"
#include "app/StatusToolTip.h"
#include "platform/dispatch/Clock.h"

#include <benchmark/benchmark.h>

using namespace pulsedeck;

// The full status rebuild is measured with all six modules in WholeProgramBench.

// Storing one sample into full histories: the appends and the trims back to 60.
static void BM_ApplySampleToFullHistories(benchmark::State& state) {
    SamplingState samples;
    SampleResult sample;
    sample.flags = SampleFlags{true, true, true, true, true, true};
    sample.memory.height = 0.5;
    sample.fan.fans = {FanReading{0, 2000, 6000}};
    sample.network.interfaces = {"eth0"};
    double now = 0;
    for (int i = 0; i < 60; ++i)
        samples.apply(sample, sample.flags, now += 1);
    for (auto _ : state) {
        samples.apply(sample, sample.flags, now += 1);
        benchmark::DoNotOptimize(samples.history.size());
    }
}
BENCHMARK(BM_ApplySampleToFullHistories);

// One pass of this machine's readers in the job's order, every module on.
static void BM_SampleJobLiveReaders(benchmark::State& state) {
    auto resources = SamplingResources::live();
    const SampleFlags all{true, true, true, true, true, true};
    SourceCalls calls;
    const auto job = calls.beginJob();
    for (auto _ : state) {
        auto result = runSampleJob(*resources, all, dispatch::systemUptime(), calls, job);
        benchmark::DoNotOptimize(result->compute.cpuCores);
    }
}
BENCHMARK(BM_SampleJobLiveReaders)->Unit(benchmark::kMicrosecond);

// The status item's tooltip with every module shown: what a rebuild spends on it when the
// figures changed.
static void BM_StatusToolTipAllModules(benchmark::State& state) {
    StatusToolTipContent content;
    content.memory = MemorySnapshot{};
    content.memory->used = "6.61 GB";
    content.fan = FanSnapshot{"Bench", {{0, 1800, 6000}, {1, 1750, 6000}}, 2};
    content.network = NetworkSnapshot{40e3, 8e3, {"eth0"}};
    content.temperature = TemperatureSnapshot{.celsius = 48, .sensorCount = 4, .sensor = "Tp01"};
    ExternalDevice stick;
    stick.id = "usb:4100";
    stick.name = "Stick";
    stick.connection = "USB";
    stick.bitsPerSecond = 480e6;
    content.devices = std::vector{stick};
    content.compute = ComputeSnapshot{};
    content.compute->cpu = 9;
    content.compute->gpu = 3;
    content.compute->cpuCores = 8;
    for (auto _ : state)
        benchmark::DoNotOptimize(statusToolTip(content));
}
BENCHMARK(BM_StatusToolTipAllModules);
