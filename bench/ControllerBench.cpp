#include "app/SampleJob.h"
#include "app/SamplingResources.h"
#include "app/SamplingState.h"
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
    for (auto _ : state) {
        auto result = runSampleJob(*resources, all, dispatch::systemUptime());
        benchmark::DoNotOptimize(result.compute.cpuCores);
    }
}
BENCHMARK(BM_SampleJobLiveReaders)->Unit(benchmark::kMicrosecond);
