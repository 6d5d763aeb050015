#include "platform/foundation/UserDefaults.h"
#include "support/TestPaths.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

constexpr const char* appDomain = "local.dorvettin.Pulsedeck";

// A domain the size of the application's: a few dozen keys of every kind.
void fill(foundation::UserDefaults& defaults) {
    for (int i = 0; i < 30; ++i)
        defaults.setBool(i % 2 == 0, "flag" + std::to_string(i));
    defaults.setDouble(85, "chartLength");
    defaults.setObject(
        foundation::PropertyArray{"memory", "fan", "network", "temperature", "compute", "devices"},
        "moduleOrder");
    defaults.setObject(foundation::PropertyDictionary{{"memory", 3}, {"cpu", 5}}, "moduleColors");
}

// A typed read on the main thread, as the controller does for each key at launch.
void BM_DefaultsRead(benchmark::State& state) {
    testsupport::TemporaryDirectory dir;
    foundation::UserDefaults defaults(dir.path(), appDomain);
    fill(defaults);
    for (auto _ : state)
        benchmark::DoNotOptimize(defaults.doubleForKey("chartLength"));
}
BENCHMARK(BM_DefaultsRead);

// A set on the main thread (a slider drag): the in-memory change only; the file follows later.
void BM_DefaultsWrite(benchmark::State& state) {
    testsupport::TemporaryDirectory dir;
    foundation::UserDefaults defaults(dir.path(), appDomain);
    fill(defaults);
    double value = 0;
    for (auto _ : state)
        defaults.setDouble(value++, "chartLength");
}
BENCHMARK(BM_DefaultsWrite);

// What the worker does at most a few times a second: the whole domain written atomically to disk.
void BM_DefaultsWriteToDisk(benchmark::State& state) {
    testsupport::TemporaryDirectory dir;
    foundation::UserDefaults defaults(dir.path(), appDomain);
    fill(defaults);
    double value = 0;
    for (auto _ : state) {
        defaults.setDouble(value++, "chartLength");
        defaults.synchronize();
    }
}
BENCHMARK(BM_DefaultsWriteToDisk)->Unit(benchmark::kMicrosecond);

// Loading the domain file at launch.
void BM_DefaultsLoad(benchmark::State& state) {
    testsupport::TemporaryDirectory dir;
    {
        foundation::UserDefaults defaults(dir.path(), appDomain);
        fill(defaults);
    }
    for (auto _ : state) {
        foundation::UserDefaults defaults(dir.path(), appDomain);
        benchmark::DoNotOptimize(defaults.boolForKey("flag0"));
    }
}
BENCHMARK(BM_DefaultsLoad)->Unit(benchmark::kMicrosecond);

} // namespace
