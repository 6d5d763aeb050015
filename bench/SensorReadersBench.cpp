#include "platform/system/HwmonSmcEmulator.h"
#include "sources/FanReader.h"
#include "sources/TemperatureReader.h"
#include "support/TestPaths.h"

#include <benchmark/benchmark.h>

namespace {

const pulsedeck::MachineIdentity machine{
    .identifier = "Bench", .productDescription = "", .isAppleSilicon = false, .hasFanInputs = true};

sys::SystemRoots fixtureMachine() {
    return sys::SystemRoots::under(testsupport::fixturePath("hwmon-desktop"));
}

// One fan sample of two fans with maxima: FNum plus four keys, each one pread of a kept file.
void fanSample(benchmark::State& state) {
    pulsedeck::FanReader reader(std::make_shared<sys::HwmonSmcEmulator>(fixtureMachine()), machine);
    reader.sample();
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.sample());
}
BENCHMARK(fanSample);

// One temperature sample once the package key is known.
void temperatureSample(benchmark::State& state) {
    dispatch::VirtualClock clock;
    pulsedeck::TemperatureReader reader(std::make_shared<sys::HwmonSmcEmulator>(fixtureMachine()),
                                        clock, machine);
    reader.sample();
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.sample());
}
BENCHMARK(temperatureSample);

// The first sample, which walks the hwmon tree and lists the keys.
void temperatureDiscovery(benchmark::State& state) {
    dispatch::VirtualClock clock;
    for (auto _ : state) {
        pulsedeck::TemperatureReader reader(
            std::make_shared<sys::HwmonSmcEmulator>(fixtureMachine()), clock, machine);
        benchmark::DoNotOptimize(reader.sample());
    }
}
BENCHMARK(temperatureDiscovery);

} // namespace
