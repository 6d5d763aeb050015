#include "app/AppDelegate.h"
#include "app/Preferences.h"
#include "app/SampleSources.h"
#include "app/SamplingResources.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "statusbar/MenuBarContentView.h"
#include "support/TestPaths.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

using namespace pulsedeck;

// Readings of a machine at rest: figures that wander a little every second, two fans at a
// steady speed, one USB stick that stays plugged in. Nothing arrives, so nothing pulses.
double wander(int second, double middle, double swing) {
    return middle + swing * std::sin(second / 7.0);
}

class SteadyMemory final : public MemorySource {
public:
    MemorySnapshot sample() override {
        MemorySnapshot snapshot;
        snapshot.physical = "16.00 GB";
        snapshot.used = second_ % 2 ? "6.59 GB" : "6.61 GB";
        snapshot.cached = "3.20 GB";
        snapshot.swap = "0 KB";
        snapshot.pressure = 1;
        snapshot.usedFraction = wander(second_, 0.41, 0.01);
        snapshot.height = snapshot.usedFraction;
        snapshot.explanation = Copy::independent;
        ++second_;
        return snapshot;
    }

private:
    int second_ = 0;
};

class SteadyFans final : public FanSource {
public:
    FanSnapshot sample() override { return {"Bench", {{0, 1800, 6000}, {1, 1750, 6000}}, 2}; }
};

class SteadyNetwork final : public NetworkSource {
public:
    NetworkSnapshot sample(bool) override {
        ++second_;
        return {wander(second_, 40e3, 30e3), wander(second_, 8e3, 6e3), {"eth0"}};
    }

private:
    int second_ = 0;
};

class SteadyTemperature final : public TemperatureSource {
public:
    TemperatureSnapshot sample() override {
        return {.celsius = wander(++second_, 48, 2), .sensorCount = 4, .sensor = "Tp01"};
    }

private:
    int second_ = 0;
};

class SteadyCompute final : public ComputeSource {
public:
    ComputeSnapshot sample(bool) override {
        ComputeSnapshot snapshot;
        snapshot.cpu = wander(++second_, 9, 5);
        snapshot.gpu = wander(second_, 3, 2);
        snapshot.cpuCores = 8;
        return snapshot;
    }

private:
    int second_ = 0;
};

class SteadyDevices final : public DevicesSource {
public:
    ExternalDevicesSnapshot sample(double) override {
        ExternalDevice stick;
        stick.id = "usb:4100";
        stick.name = "Stick";
        stick.connection = "USB";
        stick.bitsPerSecond = 480e6;
        return ExternalDevicesSnapshot{{stick}};
    }
    void setChangedAction(std::function<void()>) override {}
};

std::shared_ptr<SamplingResources> steadyReaders() {
    return std::make_shared<SamplingResources>(
        std::make_unique<SteadyMemory>(), std::make_unique<SteadyFans>(),
        std::make_unique<SteadyNetwork>(), std::make_unique<SteadyTemperature>(),
        std::make_unique<SteadyCompute>(), std::make_unique<SteadyDevices>());
}

// A machine where nothing moves from one second to the next: the same memory figures, an idle
// link, no temperature sensor ("— °C"), an idle processor, the same stick.
class QuietMemory final : public MemorySource {
public:
    MemorySnapshot sample() override {
        MemorySnapshot snapshot;
        snapshot.physical = "16.00 GB";
        snapshot.used = "6.60 GB";
        snapshot.cached = "3.20 GB";
        snapshot.swap = "0 KB";
        snapshot.pressure = 1;
        snapshot.usedFraction = 0.41;
        snapshot.height = snapshot.usedFraction;
        snapshot.explanation = Copy::independent;
        return snapshot;
    }
};

class QuietNetwork final : public NetworkSource {
public:
    NetworkSnapshot sample(bool) override { return {0, 0, {"eth0"}}; }
};

class QuietTemperature final : public TemperatureSource {
public:
    TemperatureSnapshot sample() override { return {}; }
};

class QuietCompute final : public ComputeSource {
public:
    ComputeSnapshot sample(bool) override {
        ComputeSnapshot snapshot;
        snapshot.cpu = 2;
        snapshot.cpuCores = 8;
        return snapshot;
    }
};

std::shared_ptr<SamplingResources> quietReaders() {
    return std::make_shared<SamplingResources>(
        std::make_unique<QuietMemory>(), std::make_unique<SteadyFans>(),
        std::make_unique<QuietNetwork>(), std::make_unique<QuietTemperature>(),
        std::make_unique<QuietCompute>(), std::make_unique<SteadyDevices>());
}

// The program as a user lives with it, on the headless server: every module on, the popover and
// tip already seen, steady readings, a minute of history behind it.
class WholeProgram {
public:
    explicit WholeProgram(
        std::function<std::shared_ptr<SamplingResources>()> readers = steadyReaders) {
        AppDelegate::Environment environment;
        environment.defaults = &defaults_;
        environment.loop = &loop_;
        environment.makeResources = std::move(readers);
        environment.samplingExecution = dispatch::SerialQueue::Execution::manual;
        environment.preferredLanguages = [] { return std::vector<std::string>{"en"}; };
        defaults_.setBool(true, PreferenceKey::hasLaunched);
        defaults_.setBool(true, PreferenceKey::menuBarTipShown);
        for (auto key : {PreferenceKey::memoryEnabled, PreferenceKey::fanEnabled,
                         PreferenceKey::networkEnabled, PreferenceKey::temperatureEnabled,
                         PreferenceKey::computeEnabled, PreferenceKey::devicesEnabled})
            defaults_.setBool(true, key);
        delegate_ = AppDelegate::create(environment);
        app_.setDelegate(delegate_);
        app_.finishLaunching();
        for (int second = 0; second < 65; ++second)
            step();
    }

    // One second of the program: the timer fires, the sample runs, the result is applied and
    // everything it touches is rebuilt and drawn.
    void step() {
        loop_.advanceAndRunDue(1);
        delegate_->sampler().samplingQueue().runPending();
        loop_.runUntilIdle();
    }

    AppDelegate& delegate() { return *delegate_; }

private:
    testsupport::TemporaryDirectory config_;
    foundation::UserDefaults defaults_{config_.path(), "local.dorvettin.Pulsedeck"};
    dispatch::VirtualClock clock_;
    dispatch::RunLoop loop_{clock_};
    dispatch::ScopedMainRunLoop main_{loop_};
    ui::HeadlessWindowServer server_{{ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1)},
                                     clock_};
    ui::Application app_{server_, loop_};
    std::shared_ptr<AppDelegate> delegate_;
};

} // namespace

// One full status rebuild with all six modules: every module image drawn and rendered, the
// tooltip, the item's length, the editing panels and the detail view's hand-off.
static void BM_StatusRebuildAllModules(benchmark::State& state) {
    WholeProgram program;
    for (auto _ : state)
        program.delegate().refresh();
}
BENCHMARK(BM_StatusRebuildAllModules)->Unit(benchmark::kMicrosecond);

// The same rebuild with the detail popover open: the details take every reading and history.
static void BM_StatusRebuildDetailsOpen(benchmark::State& state) {
    WholeProgram program;
    program.delegate().details().show(std::nullopt);
    if (!program.delegate().details().popover()->isShown())
        state.SkipWithError("the popover did not open");
    for (auto _ : state)
        program.delegate().refresh();
}
BENCHMARK(BM_StatusRebuildDetailsOpen)->Unit(benchmark::kMicrosecond);

// A whole second of the main road: timer, sample job on steady readers, histories, rebuild and
// every window drawn that the sample dirtied, with the rotor's frames of that second. What a
// second costs apart from the live readers and the X server.
static void BM_OneSecondOfTheProgram(benchmark::State& state) {
    WholeProgram program;
    for (auto _ : state)
        program.step();
}
BENCHMARK(BM_OneSecondOfTheProgram)->Unit(benchmark::kMicrosecond);

// A second in which no reading moved: what the program pays just for looking again.
static void BM_QuietSecondOfTheProgram(benchmark::State& state) {
    WholeProgram program(quietReaders);
    for (auto _ : state)
        program.step();
}
BENCHMARK(BM_QuietSecondOfTheProgram)->Unit(benchmark::kMicrosecond);

// One draw of the program's own status strip with all six modules into a window backing of the
// given scale, as the status item's window paints it.
static void BM_StatusStripDrawAllModules(benchmark::State& state) {
    WholeProgram program;
    MenuBarContentView& strip = *program.delegate().statusStrip().view();
    gfx::Bitmap backing =
        gfx::Bitmap::forPointSize(strip.bounds().size, static_cast<double>(state.range(0)));
    for (auto _ : state) {
        gfx::Context context(backing);
        context.clearRect(strip.bounds());
        strip.drawStrip(context, true, strip.bounds());
        benchmark::DoNotOptimize(backing.surface());
    }
    state.counters["modules"] = static_cast<double>(strip.layoutModuleRects().size());
}
BENCHMARK(BM_StatusStripDrawAllModules)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
