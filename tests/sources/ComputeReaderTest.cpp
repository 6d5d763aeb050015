#include "sources/ComputeReader.h"

#include "support/TestPaths.h"

#include <cmath>
#include <deque>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using namespace pulsedeck;
using Ticks = sys::ProcessorLoadTicks; // user, system, idle, nice

// Hands out counters from a queue the test fills; an empty entry is a failed read.
class ScriptedTicks final : public sys::ProcessorTicksSource {
public:
    explicit ScriptedTicks(std::shared_ptr<std::deque<std::optional<Ticks>>> queue)
        : queue_(std::move(queue)) {}
    std::optional<Ticks> loadTicks() override {
        if (queue_->empty())
            return std::nullopt;
        auto next = queue_->front();
        queue_->pop_front();
        return next;
    }
    int processorCount() const override { return 6; }

private:
    std::shared_ptr<std::deque<std::optional<Ticks>>> queue_;
};

class FixedAccelerators final : public sys::AcceleratorRegistrySource {
public:
    explicit FixedAccelerators(std::optional<std::vector<sys::AcceleratorEntry>> entries)
        : entries_(std::move(entries)) {}
    std::optional<std::vector<sys::AcceleratorEntry>> accelerators() override { return entries_; }

private:
    std::optional<std::vector<sys::AcceleratorEntry>> entries_;
};

sys::AcceleratorEntry accelerator(std::optional<sys::RegistryScalar> utilization,
                                  std::optional<sys::RegistryValue> cores = std::nullopt,
                                  std::optional<sys::RegistryValue> model = std::nullopt,
                                  std::string_view key = sys::deviceUtilizationKey) {
    sys::AcceleratorEntry entry;
    if (utilization) {
        entry.properties.emplace(sys::performanceStatisticsKey,
                                 sys::RegistryDictionary{{std::string(key), *utilization}});
    }
    if (cores)
        entry.properties.emplace(sys::gpuCoreCountKey, *cores);
    if (model)
        entry.properties.emplace(sys::modelKey, *model);
    return entry;
}

struct ComputeMachine {
    explicit ComputeMachine(std::optional<std::vector<sys::AcceleratorEntry>> accelerators = {})
        : queue(std::make_shared<std::deque<std::optional<Ticks>>>()),
          reader(std::make_unique<ScriptedTicks>(queue),
                 std::make_unique<FixedAccelerators>(std::move(accelerators)), clock) {}
    ComputeSnapshot sampleAfter(double seconds, std::optional<Ticks> ticks, bool enabled = true) {
        clock.advance(seconds);
        queue->push_back(ticks);
        return reader.sample(enabled);
    }

    dispatch::VirtualClock clock;
    std::shared_ptr<std::deque<std::optional<Ticks>>> queue;
    ComputeReader reader;
};

TEST(CPUUsageState, BusyShareOfTheTicksSinceThePreviousSample) {
    CPUUsageState state;
    EXPECT_FALSE(state.update(Ticks{100, 100, 100, 100}, 10));
    EXPECT_EQ(state.update(Ticks{130, 110, 150, 110}, 11), 50.0) << "user 30 system 10 nice 10";
    EXPECT_EQ(state.update(Ticks{130, 110, 250, 110}, 12), 0.0);
    EXPECT_EQ(state.update(Ticks{230, 110, 250, 110}, 13), 100.0);
}

TEST(CPUUsageState, WrappedCountersStillCountForward) {
    CPUUsageState state;
    state.update(Ticks{4'294'967'290u, 0, 0, 0}, 1);
    EXPECT_EQ(state.update(Ticks{6, 0, 12, 0}, 2), 50.0) << "user delta 12, idle delta 12";
}

TEST(CPUUsageState, EmptyOrImplausibleIntervalsReseed) {
    CPUUsageState state;
    state.update(Ticks{0, 0, 0, 0}, 1);
    EXPECT_FALSE(state.update(Ticks{0, 0, 0, 0}, 2)) << "no ticks passed";
    EXPECT_EQ(state.update(Ticks{10, 0, 10, 0}, 3), 50.0) << "compared with the idle sample";

    EXPECT_EQ(state.update(Ticks{20, 0, 20, 0}, 8.0), 50.0) << "5.0 s is still an interval";
    EXPECT_FALSE(state.update(Ticks{30, 0, 30, 0}, 13.01)) << "5.01 s is too long";
    EXPECT_EQ(state.update(Ticks{40, 0, 30, 0}, 14), 100.0);
    EXPECT_FALSE(state.update(Ticks{50, 0, 30, 0}, 14)) << "no time passed";
    EXPECT_FALSE(state.update(Ticks{60, 0, 30, 0}, 13)) << "time ran backwards";
    EXPECT_EQ(state.update(Ticks{70, 0, 40, 0}, 13.5), 50.0);

    EXPECT_FALSE(state.update(Ticks{70 + 99'999'999u, 0, 40, 1}, 14)) << "total above the limit";
    EXPECT_EQ(state.update(Ticks{70 + 99'999'999u + 99'999'999u, 0, 40, 1}, 15), 100.0)
        << "a total of exactly 99,999,999 counts";

    EXPECT_FALSE(state.update(std::nullopt, 16));
    EXPECT_FALSE(state.previous);
    EXPECT_FALSE(state.timestamp);
    EXPECT_FALSE(state.update(Ticks{1, 1, 1, 1}, 17)) << "only seeds after a failed read";
}

TEST(ComputeReader, FirstSampleSeedsThenReportsLoad) {
    ComputeMachine machine({{accelerator(40.0, 8.0, std::string("Test GPU"))}});
    auto first = machine.sampleAfter(0, Ticks{0, 0, 0, 0});
    EXPECT_FALSE(first.cpu);
    EXPECT_EQ(first.cpuCores, 6);
    EXPECT_EQ(first.gpu, 40.0);
    EXPECT_EQ(first.gpuCores, 8);
    EXPECT_EQ(first.gpuModel, "Test GPU");
    EXPECT_EQ(machine.sampleAfter(1, Ticks{30, 10, 50, 10}).cpu, 50.0);
}

TEST(ComputeReader, DisabledSampleReportsOnlyCoresAndForgetsTheCounters) {
    ComputeMachine machine({{accelerator(40.0)}});
    machine.sampleAfter(0, Ticks{0, 0, 0, 0});
    auto off = machine.sampleAfter(1, std::nullopt, false);
    EXPECT_EQ(off, (ComputeSnapshot{std::nullopt, std::nullopt, 6, std::nullopt, std::nullopt}));
    EXPECT_EQ(machine.queue->size(), 1u) << "nothing was read";
    machine.queue->clear();
    EXPECT_FALSE(machine.sampleAfter(1, Ticks{10, 0, 10, 0}).cpu);
    EXPECT_EQ(machine.sampleAfter(1, Ticks{20, 0, 20, 0}).cpu, 50.0);
}

TEST(ComputeReader, FailedCounterReadEmptiesTheState) {
    ComputeMachine machine;
    machine.sampleAfter(0, Ticks{0, 0, 0, 0});
    auto failed = machine.sampleAfter(1, std::nullopt);
    EXPECT_FALSE(failed.cpu);
    EXPECT_EQ(failed.cpuCores, 6);
    EXPECT_FALSE(machine.sampleAfter(1, Ticks{10, 0, 10, 0}).cpu);
    EXPECT_EQ(machine.sampleAfter(1, Ticks{20, 0, 20, 0}).cpu, 50.0);
    EXPECT_FALSE(machine.sampleAfter(6, Ticks{30, 0, 30, 0}).cpu) << "a 6 s gap";
}

TEST(ComputeReader, AnIntelLaptopHasAGpuLoad) {
    testsupport::TemporaryDirectory dir;
    std::filesystem::copy(testsupport::fixturePath("compute/intel-laptop"), dir.path(),
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::copy_symlinks);
    dispatch::VirtualClock clock{50};
    ComputeReader reader(sys::SystemRoots::under(dir.path()), clock);
    EXPECT_EQ(reader.sample(true).gpu, 0.0) << "only the sleeping NVIDIA GPU has a figure yet";
    // The compositor renders for 600 ms of the next second.
    std::ofstream(dir.path() / "proc/1874/fdinfo/14", std::ios::trunc)
        << "drm-driver:\ti915\ndrm-client-id:\t17\ndrm-pdev:\t0000:00:02.0\n"
           "drm-engine-render:\t52918000000 ns\n";
    clock.advance(1);
    EXPECT_DOUBLE_EQ(reader.sample(true).gpu.value_or(-1), 60.0);
}

TEST(ComputeReader, BusiestAcceleratorWinsAndBringsItsCoresAndModel) {
    auto tie = chooseAccelerator({accelerator(40.0, 10.0, std::string("First")),
                                  accelerator(40.0, 16.0, std::string("Second"))});
    EXPECT_EQ(tie, (AcceleratorChoice{40.0, 10, "First"}));

    EXPECT_EQ(chooseAccelerator({accelerator(40.0), accelerator(100.5, 32.0)}),
              (AcceleratorChoice{40.0, std::nullopt, std::nullopt}));
    EXPECT_EQ(chooseAccelerator({accelerator(10.0, 4.0), accelerator(60.0)}),
              (AcceleratorChoice{60.0, std::nullopt, std::nullopt}))
        << "cores never come from another accelerator";
    EXPECT_EQ(chooseAccelerator({accelerator(100.0), accelerator(0.0)}).gpu, 100.0);
}

TEST(ComputeReader, AcceleratorPropertiesOfTheWrongKindAreIgnored) {
    EXPECT_EQ(chooseAccelerator({accelerator(25.0, {}, {}, sys::gpuActivityKey)}).gpu, 25.0)
        << "the second key serves when the first is absent";
    EXPECT_FALSE(chooseAccelerator({accelerator(std::string("25"))}).gpu)
        << "a non-number under the first key does not fall back";
    EXPECT_FALSE(chooseAccelerator({accelerator(std::nan(""))}).gpu);
    EXPECT_FALSE(chooseAccelerator({accelerator(-0.5)}).gpu);
    EXPECT_FALSE(chooseAccelerator({accelerator(std::nullopt)}).gpu);

    sys::AcceleratorEntry plainNumber;
    plainNumber.properties.emplace(sys::performanceStatisticsKey, 50.0);
    EXPECT_FALSE(chooseAccelerator({plainNumber}).gpu) << "statistics must be a dictionary";

    auto odd = chooseAccelerator({accelerator(50.0, std::string("8"), 3.0)});
    EXPECT_EQ(odd, (AcceleratorChoice{50.0, std::nullopt, std::nullopt}));
    EXPECT_EQ(chooseAccelerator({accelerator(50.0, 7.9)}).gpuCores, 7);
    EXPECT_EQ(chooseAccelerator({accelerator(50.0, 1e300)}).gpuCores, std::nullopt);

    ComputeMachine failing(std::nullopt);
    auto snapshot = failing.sampleAfter(0, Ticks{0, 0, 0, 0});
    EXPECT_FALSE(snapshot.gpu);
    EXPECT_EQ(snapshot.cpuCores, 6);
}

TEST(ComputeReader, FixtureMachineReadsTicksAndOnlyAwakeGPUs) {
    testsupport::TemporaryDirectory dir;
    auto gpus = sys::SystemRoots::under(testsupport::fixturePath("compute/gpus"));
    auto ticks = sys::SystemRoots::under(testsupport::fixturePath("compute/typical"));
    dispatch::VirtualClock clock;
    ComputeReader reader(std::make_unique<sys::ProcessorTicks>(ticks, 2),
                         std::make_unique<sys::AcceleratorRegistry>(gpus), clock);
    auto first = reader.sample(true);
    EXPECT_EQ(first.cpuCores, 2);
    EXPECT_FALSE(first.cpu);
    // card1 (90 %) has suspended and card3 (99 %) may suspend: neither is read.
    EXPECT_EQ(first.gpu, 55.0);
    EXPECT_FALSE(first.gpuModel) << "card2 has no product name";
    clock.advance(1);
    EXPECT_FALSE(reader.sample(true).cpu) << "the same counters again";
}

} // namespace
