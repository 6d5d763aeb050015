#include "app/ModuleActivity.h"
#include "app/Sampler.h"
#include "app/SamplingResources.h"
#include "app/SamplingState.h"
#include "platform/dispatch/RunLoop.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

// Three seconds of the real loop: the live readers on the sampling worker, the timer on the
// main run loop.
TEST(SamplingLive, ThreeSecondsApplyAboutThreeSamples) {
    auto& loop = dispatch::RunLoop::main();
    Preferences settings;
    SamplingState state;
    int applied = 0;
    Sampler sampler(
        SamplingResources::live(), loop.queue(),
        Sampler::Hooks{.flags = [&] { return requestFlags(settings, {}, state.fanAvailable); },
                       .apply =
                           [&](const SampleResult& sample) {
                               state.apply(sample, activeModules(settings, {}), loop.clock().now());
                               ++applied;
                           }});
    sampler.startTimer();
    loop.queue().asyncAfter(2.9, [&] { loop.stop(); });
    loop.run();
    sampler.stop();

    EXPECT_GE(applied, 2);
    EXPECT_LE(applied, 4);
    EXPECT_EQ(state.history.size(), static_cast<std::size_t>(applied));
    EXPECT_EQ(state.computeHistory.size(), static_cast<std::size_t>(applied));
    EXPECT_GT(state.computeSnapshot.cpuCores, 0);
    EXPECT_NE(state.latest.physical, "\u2014") << "this machine's memory was read";
    // From the second sample on the processor load has a baseline.
    if (applied >= 2) {
        EXPECT_TRUE(state.computeSnapshot.cpu);
    }
}

} // namespace
} // namespace pulsedeck
