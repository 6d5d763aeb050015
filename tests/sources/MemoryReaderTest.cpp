#include "sources/MemoryReader.h"

#include "support/RunUntil.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace pulsedeck;

constexpr std::uint64_t gib = 1ull << 30;
const std::string dash = "\u2014";

class FixedCounters final : public sys::VMStatisticsSource {
public:
    explicit FixedCounters(sys::VMStatisticsSample sample) : sample_(std::move(sample)) {}
    sys::VMStatisticsSample read() override { return sample_; }

private:
    sys::VMStatisticsSample sample_;
};

// 16 GiB in 4 KiB pages: 4 GiB free of which 1 GiB speculative, 2 GiB external, 1 GiB purgeable.
sys::VMStatisticsSample healthy() {
    sys::VMStatisticsSample sample;
    sample.machine = {16 * gib, 4096};
    sample.pages = sys::VMPageCounts{1048576, 262144, 262144, 524288};
    sample.swap = sys::SwapUsage{2 * gib, gib / 2};
    sample.pressureLevel = 1;
    sample.memoryStatusLevel = 40;
    return sample;
}

MemorySnapshot sampleOf(sys::VMStatisticsSample counters) {
    SystemMemoryReader reader(std::make_unique<FixedCounters>(std::move(counters)));
    return reader.sample();
}

MemorySnapshot sampleMachine(const std::filesystem::path& root) {
    SystemMemoryReader reader(std::make_unique<sys::VMStatistics>(
        sys::SystemRoots::under(root), sys::MachineMemory{8 * gib, 4096}));
    return reader.sample();
}

MemorySnapshot sampleFixture(const char* machine) {
    return sampleMachine(testsupport::fixturePath(std::string("memory/") + machine));
}

void expectNoUsedFigures(const MemorySnapshot& snapshot) {
    EXPECT_EQ(snapshot.used, dash);
    EXPECT_EQ(snapshot.cached, dash);
    EXPECT_FALSE(snapshot.usedFraction);
    EXPECT_EQ(snapshot.explanation, Copy::waiting);
}

TEST(MemoryReader, ComputesEveryFigure) {
    auto before = std::chrono::system_clock::now();
    auto snapshot = sampleOf(healthy());
    EXPECT_EQ(snapshot.physical, "16.00 GB");
    // 16 GiB − (4 GiB − 1 GiB) − 2 GiB
    EXPECT_EQ(snapshot.used, "11.00 GB");
    EXPECT_DOUBLE_EQ(*snapshot.usedFraction, 11.0 / 16.0);
    EXPECT_EQ(snapshot.cached, "3.00 GB");
    EXPECT_EQ(snapshot.swap, "512.0 MB");
    EXPECT_EQ(snapshot.pressure, 1);
    EXPECT_DOUBLE_EQ(*snapshot.height, 0.6);
    EXPECT_FALSE(snapshot.mirrored);
    EXPECT_EQ(snapshot.explanation, Copy::independent);
    EXPECT_GE(snapshot.sampledAt, before);
    EXPECT_LE(snapshot.sampledAt, std::chrono::system_clock::now());
}

TEST(MemoryReader, KeepsOnlyKnownPressureLevels) {
    for (std::int32_t level : {0, 3, 5, -1}) {
        auto counters = healthy();
        counters.pressureLevel = level;
        auto snapshot = sampleOf(counters);
        EXPECT_FALSE(snapshot.pressure) << level;
        EXPECT_EQ(snapshot.pressureText(AppLanguage::english),
                  text(Copy::unknown, AppLanguage::english));
    }
    for (std::int32_t level : {1, 2, 4}) {
        auto counters = healthy();
        counters.pressureLevel = level;
        EXPECT_EQ(sampleOf(counters).pressure, level);
    }
}

TEST(MemoryReader, HeightOnlyForLevelsUpTo100) {
    auto counters = healthy();
    counters.memoryStatusLevel = 0;
    EXPECT_EQ(sampleOf(counters).height, 1.0);
    counters.memoryStatusLevel = 100;
    EXPECT_EQ(sampleOf(counters).height, 0.0);
    counters.memoryStatusLevel = 101;
    EXPECT_FALSE(sampleOf(counters).height);
    counters.memoryStatusLevel.reset();
    EXPECT_FALSE(sampleOf(counters).height);
}

TEST(MemoryReader, EveryGuardOfThePageArithmeticLeavesUsedAndCachedOpen) {
    auto notWholePages = healthy();
    notWholePages.machine.physicalMemory += 1;
    expectNoUsedFigures(sampleOf(notWholePages));

    auto noPageSize = healthy();
    noPageSize.machine.pageSize = 0;
    expectNoUsedFigures(sampleOf(noPageSize));

    auto noMemory = healthy();
    noMemory.machine.physicalMemory = 0;
    noMemory.pages = sys::VMPageCounts{};
    expectNoUsedFigures(sampleOf(noMemory));

    auto speculativeAboveFree = healthy();
    speculativeAboveFree.pages->speculativeCount = speculativeAboveFree.pages->freeCount + 1;
    expectNoUsedFigures(sampleOf(speculativeAboveFree));

    auto freeAboveTotal = healthy();
    freeAboveTotal.pages->freeCount = 4194304 + 262144 + 1;
    expectNoUsedFigures(sampleOf(freeAboveTotal));

    auto usedBelowZero = healthy();
    usedBelowZero.pages->externalPageCount = 4194304 - 786432 + 1;
    expectNoUsedFigures(sampleOf(usedBelowZero));

    auto cacheAboveTotal = healthy();
    cacheAboveTotal.pages->externalPageCount = 0;
    cacheAboveTotal.pages->purgeableCount = 4194304 + 1;
    expectNoUsedFigures(sampleOf(cacheAboveTotal));

    auto noCounters = healthy();
    noCounters.pages.reset();
    auto snapshot = sampleOf(noCounters);
    expectNoUsedFigures(snapshot);
    EXPECT_EQ(snapshot.physical, "16.00 GB") << "the other figures still show";
    EXPECT_EQ(snapshot.swap, "512.0 MB");
    EXPECT_EQ(snapshot.pressure, 1);

    // Exactly at the limits every guard still passes.
    auto atLimits = healthy();
    atLimits.pages = sys::VMPageCounts{4194304, 0, 0, 0};
    EXPECT_EQ(sampleOf(atLimits).used, "0 bytes");
    atLimits.pages = sys::VMPageCounts{0, 4194304, 0, 0};
    EXPECT_EQ(sampleOf(atLimits).cached, "16.00 GB");
}

TEST(MemoryReader, ZeroSwapIsStoredAsZeroBytesAndHiddenInTheTooltip) {
    auto counters = healthy();
    counters.swap = sys::SwapUsage{0, 0};
    auto snapshot = sampleOf(counters);
    EXPECT_EQ(snapshot.swap, "0 bytes");
    const auto language = AppLanguage::english;
    EXPECT_NE(snapshot.summaryText(language).find(text(Copy::swap, language) + ": \u2014. "),
              std::string::npos);
    EXPECT_EQ(snapshot.secondaryLabel(language), text(Copy::shortUsed, language));

    counters.swap.reset();
    EXPECT_EQ(sampleOf(counters).swap, dash);
}

TEST(MemoryReader, FixtureMachinesGiveWhatFreeWouldShow) {
    auto typical = sampleFixture("typical");
    EXPECT_EQ(typical.physical, "8.00 GB");
    EXPECT_EQ(typical.used, "5.00 GB") << "MemTotal − MemAvailable";
    EXPECT_EQ(typical.cached, formatMemoryBytes(2688ull << 20))
        << "Buffers + Cached + SReclaimable";
    EXPECT_EQ(typical.swap, "512.0 MB");
    EXPECT_EQ(typical.pressure, 2);
    EXPECT_DOUBLE_EQ(*typical.height, 0.63);
    EXPECT_DOUBLE_EQ(*typical.usedFraction, 0.625);
    EXPECT_EQ(typical.explanation, Copy::independent);

    auto reordered = sampleFixture("reordered");
    EXPECT_EQ(reordered.used, typical.used);
    EXPECT_EQ(reordered.cached, typical.cached);
    EXPECT_EQ(reordered.pressure, 4);
}

TEST(MemoryReader, OldTruncatedOrGarbageMeminfoWaitsWithoutCrashing) {
    auto old = sampleFixture("old-kernel");
    expectNoUsedFigures(old);
    EXPECT_FALSE(old.height);
    EXPECT_FALSE(old.pressure);
    EXPECT_EQ(old.swap, "0 bytes");
    EXPECT_EQ(old.physical, "8.00 GB");

    // FIFOs in the files' place (bound over them) are refused at once, never waited on.
    testsupport::TemporaryDirectory fifoMachine;
    std::filesystem::create_directories(fifoMachine.path() / "proc/pressure");
    const std::vector<std::filesystem::path> fifos = {fifoMachine.path() / "proc/meminfo",
                                                      fifoMachine.path() / "proc/pressure/memory"};
    for (const auto& fifo : fifos)
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    for (const auto& machine :
         {testsupport::fixturePath("memory/truncated"), testsupport::fixturePath("memory/garbage"),
          testsupport::fixturePath("memory/does-not-exist"), fifoMachine.path()}) {
        MemorySnapshot snapshot;
        EXPECT_TRUE(testsupport::returnsWithin(
            2, [&] { snapshot = sampleMachine(machine); }, testsupport::writerComesAndGoes(fifos)))
            << machine;
        expectNoUsedFigures(snapshot);
        EXPECT_EQ(snapshot.swap, dash) << machine;
        EXPECT_FALSE(snapshot.height) << machine;
        EXPECT_FALSE(snapshot.pressure) << machine;
    }
}

} // namespace
