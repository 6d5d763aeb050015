// The devices reader's two costs: the call the sampling loop makes every second, which serves
// the cached list, and the full scan that runs once per five seconds or after a hot-plug event,
// of the fixture machine and of this one.

#include "platform/dispatch/SerialQueue.h"
#include "sources/ExternalDevicesReader.h"
#include "support/TestPaths.h"

#include <benchmark/benchmark.h>

using namespace pulsedeck;

namespace {

struct FixtureReader {
    // Background reads are queued here and never run: they stay in flight, so the scans below
    // measure the scan alone.
    dispatch::SerialQueue work{"devices-bench", dispatch::SerialQueue::Execution::manual};
    std::shared_ptr<ExternalDevicesReader> reader;

    explicit FixtureReader(
        sys::SystemRoots roots = sys::SystemRoots::under(testsupport::fixturePath("devices"))) {
        ExternalDevicesEnvironment environment;
        environment.roots = std::move(roots);
        environment.workQueue = &work;
        environment.hotPlug = [](sys::UeventMonitor::Handler) {
            return std::unique_ptr<sys::UeventMonitor>();
        };
        reader = ExternalDevicesReader::create({}, environment);
    }
};

void cachedSample(benchmark::State& state) {
    FixtureReader fixture;
    fixture.reader->sample(100);
    for (auto _ : state) {
        benchmark::DoNotOptimize(fixture.reader->sample(101));
    }
}
BENCHMARK(cachedSample);

void fullScan(benchmark::State& state) {
    FixtureReader fixture;
    double now = 100;
    for (auto _ : state) {
        now += 10;
        benchmark::DoNotOptimize(fixture.reader->sample(now));
    }
    state.counters["devices"] = static_cast<double>(fixture.reader->sample(now).devices.size());
}
BENCHMARK(fullScan)->Unit(benchmark::kMicrosecond);

void liveFullScan(benchmark::State& state) {
    FixtureReader live(sys::SystemRoots::live());
    double now = 100;
    for (auto _ : state) {
        now += 10;
        benchmark::DoNotOptimize(live.reader->sample(now));
    }
    state.counters["devices"] = static_cast<double>(live.reader->sample(now).devices.size());
}
BENCHMARK(liveFullScan)->Unit(benchmark::kMicrosecond);

} // namespace
