#include "app/ModuleActivity.h"
#include "app/Sampler.h"
#include "app/SamplingResources.h"
#include "app/SamplingState.h"
#include "platform/dispatch/RunLoop.h"
#include "support/RunUntil.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pulsedeck {
namespace {

// Three seconds of the real loop: the live readers on the sampling worker, the timer on the
// main run loop. On this machine as it is, and with its /proc/meminfo a FIFO that no one
// writes (bound over it): the memory figures are missing, the others come every second, and
// quitting does not wait on the FIFO.
TEST(SamplingLive, ThreeSecondsApplyAboutThreeSamples) {
    testsupport::TemporaryDirectory fifoMachine;
    const auto fifo = fifoMachine.path() / "meminfo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const char* entry : {"stat", "pressure", "net", "asound", "sys"})
        std::filesystem::create_symlink(std::filesystem::path("/proc") / entry,
                                        fifoMachine.path() / entry);
    sys::SystemRoots withFifo;
    withFifo.proc = fifoMachine.path();

    for (const auto& [roots, memoryRead] :
         {std::pair{sys::SystemRoots::live(), true}, std::pair{withFifo, false}}) {
        SCOPED_TRACE(roots.proc);
        auto& loop = dispatch::RunLoop::main();
        Preferences settings;
        SamplingState state;
        int applied = 0;
        Sampler sampler(
            SamplingResources::live(roots), loop.queue(),
            Sampler::Hooks{.flags = [&] { return requestFlags(settings, {}, state.fanAvailable); },
                           .apply =
                               [&](const SampleResult& sample) {
                                   state.apply(sample, activeModules(settings, {}),
                                               loop.clock().now());
                                   ++applied;
                               }});
        sampler.startTimer();
        loop.queue().asyncAfter(2.9, [&] { loop.stop(); });
        loop.run();
        EXPECT_TRUE(testsupport::returnsWithin(
            0.2, [&] { sampler.stop(); }, testsupport::writerComesAndGoes({fifo})));

        EXPECT_GE(applied, 2);
        EXPECT_LE(applied, 4);
        EXPECT_EQ(state.history.size(), static_cast<std::size_t>(applied));
        EXPECT_EQ(state.computeHistory.size(), static_cast<std::size_t>(applied));
        EXPECT_GT(state.computeSnapshot.cpuCores, 0);
        EXPECT_EQ(state.latest.used != "\u2014", memoryRead) << "this machine's memory was read";
        // From the second sample on the processor load has a baseline.
        if (applied >= 2) {
            EXPECT_TRUE(state.computeSnapshot.cpu);
        }
    }
}

} // namespace
} // namespace pulsedeck
