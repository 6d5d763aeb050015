#include "app/Sampler.h"

#include "app/FakeSampling.h"
#include "app/ModuleActivity.h"
#include "app/SamplingState.h"
#include "platform/dispatch/RunLoop.h"
#include "support/RunUntil.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace pulsedeck {
namespace {

using Calls = std::vector<std::string>;

// The loop on a virtual clock, the sampling queue run by hand, fake readers.
class SamplerTest : public ::testing::Test {
protected:
    void SetUp() override {
        sampler_ = std::make_unique<Sampler>(
            readers_.make(), loop_.queue(),
            Sampler::Hooks{
                .flags = [this] { return requestFlags(settings_, floating_, state_.fanAvailable); },
                .apply =
                    [this](const SampleResult& sample) {
                        state_.apply(sample, activeModules(settings_, floating_), clock_.now());
                        ++applied_;
                    }},
            dispatch::SerialQueue::Execution::manual);
    }

    // Runs what the main loop and the sampling queue have ready, as the live threads would.
    void pump() {
        loop_.runUntilIdle();
        sampler_->samplingQueue().runPending();
        loop_.runUntilIdle();
    }
    void runSeconds(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            loop_.advanceAndRunDue(1.0);
            pump();
        }
    }
    void sampleOnce() {
        sampler_->requestSample();
        pump();
    }

    dispatch::VirtualClock clock_{1000.0};
    dispatch::RunLoop loop_{clock_};
    fakes::FakeReaders readers_;
    Preferences settings_;
    std::optional<FloatingPreferences> floating_;
    SamplingState state_;
    int applied_ = 0;
    std::unique_ptr<Sampler> sampler_;
};

TEST_F(SamplerTest, SixtyFiveSecondsLeaveTheLastSixtyEntriesOldestFirst) {
    sampler_->startTimer();
    pump();
    EXPECT_EQ(applied_, 1) << "the timer fires at once";
    runSeconds(64);
    EXPECT_EQ(applied_, 65);
    EXPECT_EQ(state_.history.size(), 60u);
    EXPECT_EQ(state_.fanHistory.size(), 60u);
    EXPECT_EQ(state_.networkHistory.size(), 60u);
    EXPECT_EQ(state_.temperatureHistory.size(), 60u);
    EXPECT_EQ(state_.computeHistory.size(), 60u);
    // Samples 6…65 remain, oldest first.
    for (std::size_t i = 0; i < 60; ++i) {
        EXPECT_DOUBLE_EQ(*state_.history[i].fraction, (6.0 + i) / 1000.0);
        EXPECT_DOUBLE_EQ(*state_.temperatureHistory[i], 46.0 + i);
        EXPECT_DOUBLE_EQ(*state_.computeHistory[i].cpu, 6.0 + i);
        EXPECT_DOUBLE_EQ(*state_.networkHistory[i].download, 6.0 + i);
        EXPECT_DOUBLE_EQ(*state_.fanHistory[i], (6.0 + i) * 10 / 6000);
    }
    EXPECT_EQ(state_.latest.used, "65");
    EXPECT_EQ(state_.lastHistoryDate, clock_.now());
}

TEST_F(SamplerTest, ReadersRunInTheFixedOrderWithTheirFlags) {
    readers_.log->take();
    sampleOnce();
    EXPECT_EQ(readers_.log->take(),
              (Calls{"memory", "fan", "network:1", "temperature", "compute:1", "devices@1000"}));

    // Switched-off modules cost nothing but the network and compute calls that clear them.
    settings_.look.modules.hidden = {allModuleKinds.begin(), allModuleKinds.end()};
    clock_.advance(1);
    sampleOnce();
    EXPECT_EQ(readers_.log->take(), (Calls{"network:0", "compute:0"}));
    // Devices off: the stored list stays as it was.
    EXPECT_EQ(state_.devicesSnapshot.devices.front().id, "usb:1");
    EXPECT_EQ(state_.fanHistory.size(), 2u) << "an empty fan entry for every appending sample";
    EXPECT_FALSE(state_.fanHistory.back());
}

TEST_F(SamplerTest, ARequestWhileOneIsInFlightIsDropped) {
    sampler_->requestSample();
    sampler_->requestSample();
    EXPECT_TRUE(sampler_->sampleInFlight());
    EXPECT_EQ(sampler_->samplingQueue().runPending(), 1);
    loop_.runUntilIdle();
    EXPECT_EQ(applied_, 1);
    EXPECT_FALSE(sampler_->sampleInFlight());
    sampleOnce();
    EXPECT_EQ(applied_, 2);
}

TEST_F(SamplerTest, HistoriesGrowAtMostOncePerNinetyFiveHundredths) {
    sampleOnce();
    clock_.advance(0.94);
    sampleOnce();
    EXPECT_EQ(applied_, 2);
    EXPECT_EQ(state_.latest.used, "2") << "the snapshot is stored";
    EXPECT_EQ(state_.history.size(), 1u) << "but nothing is appended";
    EXPECT_EQ(state_.fanHistory.size(), 1u);
    clock_.advance(0.02);
    sampleOnce();
    EXPECT_EQ(state_.history.size(), 2u);
    EXPECT_EQ(state_.networkHistory.size(), 2u);
}

TEST_F(SamplerTest, WithoutAMemoryHistoryEverySampleAppends) {
    settings_.look.modules.setShown(ModuleKind::memory, false);
    sampleOnce();
    sampleOnce();
    sampleOnce();
    EXPECT_TRUE(state_.history.empty());
    EXPECT_EQ(state_.networkHistory.size(), 3u);
    EXPECT_EQ(state_.fanHistory.size(), 3u);
}

TEST_F(SamplerTest, AFanCountOfZeroTurnsTheFanOffForTheRun) {
    *readers_.fanCount = 0;
    sampleOnce();
    EXPECT_FALSE(state_.fanAvailable);
    readers_.log->take();
    *readers_.fanCount = 2;
    clock_.advance(1);
    sampleOnce();
    EXPECT_EQ(readers_.log->take(),
              (Calls{"memory", "network:1", "temperature", "compute:1", "devices@1001"}));
    EXPECT_FALSE(state_.fanAvailable);
    EXPECT_FALSE(state_.fanHistory.back());

    // An unknown count leaves the fan alone.
    SamplingState other;
    SampleResult sample;
    sample.flags.fan = true;
    sample.fan.detectedCount = std::nullopt;
    other.apply(sample, sample.flags, 0);
    EXPECT_TRUE(other.fanAvailable);
}

TEST_F(SamplerTest, AModuleSwitchedOffWhileItsSampleRunsIsNotStored) {
    sampleOnce();
    const auto network = state_.networkSnapshot;
    clock_.advance(1);
    sampler_->requestSample();
    settings_.look.modules.setShown(ModuleKind::network, false);
    settings_.look.modules.setShown(ModuleKind::memory, false);
    pump();
    EXPECT_EQ(state_.networkSnapshot, network);
    EXPECT_EQ(state_.networkHistory.size(), 1u);
    EXPECT_EQ(state_.latest.used, "1");
    EXPECT_EQ(state_.history.size(), 1u);
    EXPECT_EQ(state_.temperatureHistory.size(), 2u);

    // One switched on while its sample runs gets its first snapshot from the next one.
    settings_.look.modules.setShown(ModuleKind::network, true);
    clock_.advance(1);
    sampleOnce();
    EXPECT_EQ(state_.networkHistory.size(), 2u);
}

TEST_F(SamplerTest, AModuleShownOnlyByTheFloatingBarIsStillSampled) {
    settings_.look.modules.setShown(ModuleKind::memory, false);
    settings_.floatingMode = FloatingMode::copy;
    sampleOnce();
    EXPECT_TRUE(state_.history.empty()) << "no floating preferences loaded yet";

    floating_ = FloatingPreferences{};
    clock_.advance(1);
    sampleOnce();
    EXPECT_EQ(state_.history.size(), 1u);

    floating_->look.modules.hidden.insert(ModuleKind::memory);
    clock_.advance(1);
    sampleOnce();
    EXPECT_EQ(state_.history.size(), 1u);
    EXPECT_EQ(state_.latest.used, "1");
}

TEST_F(SamplerTest, MissedTicksCoalesceInsteadOfBursting) {
    sampler_->startTimer();
    pump();
    // The main thread stalls for five seconds, then catches up.
    clock_.advance(5);
    pump();
    EXPECT_EQ(applied_, 2);
}

TEST_F(SamplerTest, NothingIsAppliedAfterStop) {
    sampler_->startTimer();
    pump();
    sampler_->requestSample();
    clock_.advance(0.5);
    sampler_->samplingQueue().runPending();
    // The job ran, its result waits on the main queue; then the owner terminates.
    sampler_->stop();
    loop_.runUntilIdle();
    EXPECT_EQ(applied_, 1);
    runSeconds(3);
    EXPECT_EQ(applied_, 1);
    ASSERT_TRUE(sampler_->timer());
    EXPECT_TRUE(sampler_->timer()->isCancelled());
}

TEST_F(SamplerTest, RestartingTheTimerReplacesTheOldOne) {
    sampler_->startTimer();
    pump();
    sampler_->startTimer();
    pump();
    EXPECT_EQ(applied_, 2);
    runSeconds(2);
    EXPECT_EQ(applied_, 4);
}

// The same loop on the real sampling worker: results hop back to the loop's thread.
TEST(SamplerThreads, JobsRunOnTheWorkerAndApplyOnTheLoopThread) {
    dispatch::RunLoop loop;
    fakes::FakeReaders readers;
    const auto loopThread = std::this_thread::get_id();
    int applied = 0;
    bool appliedOnLoopThread = true;
    Sampler sampler(
        readers.make(), loop.queue(),
        Sampler::Hooks{.flags = [] { return SampleFlags{true, true, true, true, true, true}; },
                       .apply =
                           [&](const SampleResult& sample) {
                               appliedOnLoopThread &= std::this_thread::get_id() == loopThread;
                               EXPECT_EQ(sample.memory.used, std::to_string(applied + 1));
                               if (++applied == 20)
                                   loop.stop();
                               else
                                   loop.queue().async([&] { sampler.requestSample(); });
                           }});
    sampler.requestSample();
    loop.queue().asyncAfter(10, [&] { loop.stop(); });
    loop.run();
    EXPECT_EQ(applied, 20);
    EXPECT_TRUE(appliedOnLoopThread);

    // A job still running at stop() finishes before stop() returns, and is never applied.
    sampler.requestSample();
    sampler.stop();
    loop.runUntilIdle();
    EXPECT_EQ(applied, 20);
}

// A memory reader whose read never returns, on the real sampling worker: the other modules keep
// their figures every second, one thread waits on the reader however often it is due, the reader
// is asked again once it answers, and quitting does not wait on it.
TEST(SamplerThreads, AReaderThatNeverAnswersCostsOnlyItsOwnModule) {
    dispatch::VirtualClock clock{1000.0};
    dispatch::RunLoop loop{clock};
    fakes::FakeReaders readers;
    int held[2];
    ASSERT_EQ(::pipe2(held, O_CLOEXEC), 0);
    *readers.memoryHeldBy = held[0];
    auto letGo = [&held] {
        if (held[1] >= 0)
            ::close(std::exchange(held[1], -1));
    };
    std::vector<SampleResult> applied;
    Sampler sampler(
        readers.make(), loop.queue(),
        Sampler::Hooks{.flags = [] { return SampleFlags{true, true, true, true, true, true}; },
                       .apply = [&](const SampleResult& sample) { applied.push_back(sample); }});
    auto threads = [] {
        const std::filesystem::directory_iterator tasks("/proc/self/task");
        return std::distance(begin(tasks), end(tasks));
    };
    auto within5s = [](const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        bool holds = false;
        while (!(holds = done()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return holds;
    };
    // One second of the timer; answers whether it brought a sample.
    auto tick = [&] {
        const auto before = applied.size();
        loop.advanceAndRunDue(1.0);
        return within5s([&] {
            loop.runUntilIdle();
            return applied.size() > before;
        });
    };
    const auto resting = threads();

    sampler.startTimer();
    loop.runUntilIdle();
    ASSERT_TRUE(within5s([&] { return !readers.log->take().empty(); })) << "held in the reader";
    for (int second = 1; second <= 60; ++second)
        ASSERT_TRUE(tick()) << "second " << second;
    for (const auto& sample : applied) {
        EXPECT_EQ(sample.memory.used, "\u2014");
        EXPECT_TRUE(sample.network.download);
        EXPECT_TRUE(sample.temperature.celsius);
        EXPECT_TRUE(sample.compute.cpu);
    }
    EXPECT_EQ(threads(), resting + 1) << "one thread waits on the reader, one samples";

    letGo();
    ASSERT_TRUE(within5s([&] { return threads() == resting; })) << "the held thread ends";
    ASSERT_TRUE(tick());
    EXPECT_NE(applied.back().memory.used, "\u2014") << "asked again once it answered";

    // Held again by the job in flight when the program quits.
    ::close(std::exchange(held[0], -1));
    ASSERT_EQ(::pipe2(held, O_CLOEXEC), 0);
    *readers.memoryHeldBy = held[0];
    readers.log->take();
    loop.advanceAndRunDue(1.0);
    ASSERT_TRUE(within5s([&] { return !readers.log->take().empty(); }));
    EXPECT_TRUE(testsupport::returnsWithin(
        0.2, [&] { sampler.stop(); }, letGo));
    const auto count = applied.size();
    letGo();
    ASSERT_TRUE(within5s([&] { return threads() == resting - 1; })) << "the held worker ends";
    loop.runUntilIdle();
    EXPECT_EQ(readers.log->take(), Calls{"memory answered"}) << "and calls no other reader";
    EXPECT_EQ(applied.size(), count) << "a job left behind hands nothing back";
    ::close(held[0]);
}

} // namespace
} // namespace pulsedeck
