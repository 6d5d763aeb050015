#include "app/AppDelegate.h"
#include "app/FakeSampling.h"
#include "app/SampleJob.h"
#include "app/SamplingResources.h"
#include "app/SamplingState.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "support/TestPaths.h"

#include <benchmark/benchmark.h>

namespace {

using namespace pulsedeck;

// A launched controller on the headless server with fake readers and a minute of history: the
// state every second's rebuild starts from.
class LaunchedController {
public:
    LaunchedController() {
        AppDelegate::Environment environment;
        environment.defaults = &defaults_;
        environment.loop = &loop_;
        environment.makeResources = [this] { return readers_.make(); };
        environment.samplingExecution = dispatch::SerialQueue::Execution::manual;
        environment.preferredLanguages = [] { return std::vector<std::string>{"en"}; };
        defaults_.setBool(true, PreferenceKey::hasLaunched);
        defaults_.setBool(true, PreferenceKey::menuBarTipShown);
        delegate_ = AppDelegate::create(environment);
        app_.setDelegate(delegate_);
        app_.finishLaunching();
        for (int second = 0; second < 65; ++second) {
            loop_.advanceAndRunDue(1);
            delegate_->samplingQueue().runPending();
            loop_.runUntilIdle();
        }
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
    fakes::FakeReaders readers_;
    std::shared_ptr<AppDelegate> delegate_;
};

} // namespace

// One status rebuild as every applied sample makes it: the memory, network and devices images
// drawn and rendered, the tooltip, the item's length and the detail view's hand-off.
static void BM_StatusRebuild(benchmark::State& state) {
    LaunchedController controller;
    for (auto _ : state)
        controller.delegate().refreshStatus(false);
}
BENCHMARK(BM_StatusRebuild)->Unit(benchmark::kMicrosecond);

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
