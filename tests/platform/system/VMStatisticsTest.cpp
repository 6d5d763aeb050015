#include "platform/system/VMStatistics.h"

#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t gib = 1ull << 30;
constexpr sys::MachineMemory eightGiB{8 * gib, 4096};

sys::VMStatisticsSample readFixture(std::string_view machine,
                                    sys::MachineMemory memory = eightGiB) {
    sys::VMStatistics statistics(
        sys::SystemRoots::under(testsupport::fixturePath(std::string("memory/") + machine.data())),
        memory);
    return statistics.read();
}

std::uint64_t usedPages(const sys::VMPageCounts& pages, std::uint64_t totalPages) {
    return totalPages - (pages.freeCount - pages.speculativeCount) - pages.externalPageCount;
}

TEST(VMStatistics, MapsMeminfoSoUsedIsTotalMinusAvailableAndCachedIsBufferCache) {
    auto sample = readFixture("typical");
    ASSERT_TRUE(sample.pages);
    const auto& pages = *sample.pages;
    EXPECT_EQ(pages.freeCount, 262144u);         // 1 GiB
    EXPECT_EQ(pages.speculativeCount, 0u);       // MemFree < MemAvailable
    EXPECT_EQ(pages.externalPageCount, 524288u); // MemAvailable − MemFree = 2 GiB
    EXPECT_EQ(pages.purgeableCount, 163840u);    // 2688 MiB of cache − 2 GiB
    EXPECT_EQ(usedPages(pages, 2097152) * 4096, 5 * gib);
    EXPECT_EQ((pages.purgeableCount + pages.externalPageCount) * 4096, 2688ull << 20);
    EXPECT_EQ(sample.memoryStatusLevel, 37u); // 3 GiB of 8 GiB available
    ASSERT_TRUE(sample.swap);
    EXPECT_EQ(sample.swap->total, 2 * gib);
    EXPECT_EQ(sample.swap->used, 512ull << 20);
    EXPECT_EQ(sample.pressureLevel, sys::pressureLevelElevated); // some avg10 12.5
    EXPECT_EQ(sample.machine.physicalMemory, 8 * gib);
}

TEST(VMStatistics, FieldOrderDoesNotMatter) {
    auto typical = readFixture("typical");
    auto reordered = readFixture("reordered");
    EXPECT_EQ(reordered.pages, typical.pages);
    EXPECT_EQ(reordered.swap, typical.swap);
    EXPECT_EQ(reordered.memoryStatusLevel, typical.memoryStatusLevel);
    EXPECT_EQ(reordered.pressureLevel, sys::pressureLevelHigh); // the "some" line comes second
}

TEST(VMStatistics, KernelWithoutMemAvailableGivesNoCountsNoLevelAndNoPressure) {
    auto sample = readFixture("old-kernel");
    EXPECT_FALSE(sample.pages);
    EXPECT_FALSE(sample.memoryStatusLevel);
    EXPECT_FALSE(sample.pressureLevel);
    ASSERT_TRUE(sample.swap);
    EXPECT_EQ(sample.swap->used, 0u);
}

TEST(VMStatistics, TruncatedOrGarbageFilesGiveEmptyFiguresNotCrashes) {
    auto truncated = readFixture("truncated");
    EXPECT_FALSE(truncated.pages) << "a number cut before its unit is not a number";
    EXPECT_FALSE(truncated.memoryStatusLevel);
    EXPECT_FALSE(truncated.swap);

    auto garbage = readFixture("garbage");
    EXPECT_FALSE(garbage.pages);
    EXPECT_FALSE(garbage.swap);
    EXPECT_FALSE(garbage.memoryStatusLevel);
    EXPECT_FALSE(garbage.pressureLevel) << "avg10=nan";

    auto missing = readFixture("does-not-exist");
    EXPECT_FALSE(missing.pages);
    EXPECT_FALSE(missing.swap);
    EXPECT_FALSE(missing.pressureLevel);
}

TEST(VMStatistics, PressureThresholds) {
    EXPECT_EQ(sys::pressureLevelForStallAverage(0), 1);
    EXPECT_EQ(sys::pressureLevelForStallAverage(9.99), 1);
    EXPECT_EQ(sys::pressureLevelForStallAverage(10), 2);
    EXPECT_EQ(sys::pressureLevelForStallAverage(39.99), 2);
    EXPECT_EQ(sys::pressureLevelForStallAverage(40), 4);
    EXPECT_EQ(sys::pressureLevelForStallAverage(100), 4);

    EXPECT_EQ(sys::parsePressureSomeAverage("some avg10=0.00 avg60=0.00 avg300=0.00 total=0\n"),
              0.0);
    EXPECT_FALSE(sys::parsePressureSomeAverage("full avg10=50.00 avg60=0.00\n"));
    EXPECT_FALSE(sys::parsePressureSomeAverage("some avg10=-1.00 avg60=0.00\n"));
    EXPECT_FALSE(sys::parsePressureSomeAverage("some avg10=12x avg60=0.00\n"));
    EXPECT_FALSE(sys::parsePressureSomeAverage("some avg60=1.00\n"));
    EXPECT_FALSE(sys::parsePressureSomeAverage(""));
}

TEST(VMStatistics, MeminfoEdgeValues) {
    // MemFree above MemAvailable: the excess is speculative, nothing is external.
    auto fields = sys::parseMeminfo("MemTotal: 1000 kB\nMemFree: 600 kB\nMemAvailable: 400 kB\n"
                                    "Buffers: 40 kB\nCached: 100 kB\nSReclaimable: 60 kB\n");
    auto pages = sys::pageCountsFromMeminfo(fields, 1024);
    ASSERT_TRUE(pages);
    EXPECT_EQ(pages->freeCount, 600u);
    EXPECT_EQ(pages->speculativeCount, 200u);
    EXPECT_EQ(pages->externalPageCount, 0u);
    EXPECT_EQ(pages->purgeableCount, 200u);
    EXPECT_EQ(usedPages(*pages, 1000), 600u);
    EXPECT_FALSE(sys::pageCountsFromMeminfo(fields, 0));

    // More available than total gives a level above 100, which the reader refuses.
    auto odd = sys::parseMeminfo("MemTotal: 100 kB\nMemAvailable: 150 kB\nMemTotal: 1 kB\n");
    EXPECT_EQ(odd.memTotal, 100u) << "the first occurrence counts";
    auto retried = sys::parseMeminfo(
        "MemTotal: 8 kB\nMemFree: 7 k\nMemAvailable: 6 kB\nBuffers: 1 kB\nCached: 2 kB\n"
        "SReclaimable: 1 kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\nMemFree: 5 kB\nMemTotal: 9 kB\n");
    EXPECT_EQ(retried.memFree, 5u) << "a malformed line leaves the field to a later one";
    EXPECT_EQ(retried.memTotal, 8u);
    EXPECT_EQ(sys::memoryStatusLevelFromMeminfo(odd), 150u);
    EXPECT_FALSE(sys::memoryStatusLevelFromMeminfo(sys::parseMeminfo("MemTotal: 0 kB\n"
                                                                     "MemAvailable: 0 kB\n")));
    // Free swap above total does not wrap round.
    auto swap = sys::swapUsageFromMeminfo(sys::parseMeminfo("SwapTotal: 4 kB\nSwapFree: 8 kB\n"));
    ASSERT_TRUE(swap);
    EXPECT_EQ(swap->used, 0u);
    // A value too large to be bytes is no value.
    EXPECT_FALSE(sys::parseMeminfo("MemTotal: 18014398509481984 kB\n").memTotal);
    EXPECT_TRUE(sys::parseMeminfo("MemTotal: 18014398509481983 kB\n").memTotal);
}

TEST(VMStatistics, KeptDescriptorSeesEachNewReading) {
    testsupport::TemporaryDirectory dir;
    std::filesystem::create_directories(dir.path() / "proc/pressure");
    auto write = [&](const char* name, const std::string& text) {
        std::ofstream(dir.path() / "proc" / name, std::ios::binary | std::ios::trunc) << text;
    };
    const std::string meminfo = "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 0 kB\n"
                                "Cached: 0 kB\nSReclaimable: 0 kB\n";
    write("meminfo", meminfo + "MemAvailable: 500 kB\n");
    write("pressure/memory", "some avg10=5.00 avg60=0 avg300=0 total=0\n");
    sys::VMStatistics statistics(sys::SystemRoots::under(dir.path()), {1000 * 1024, 1024});
    auto first = statistics.read();
    EXPECT_EQ(first.memoryStatusLevel, 50u);
    EXPECT_EQ(first.pressureLevel, 1);

    write("meminfo", meminfo + "MemAvailable: 250 kB\n");
    write("pressure/memory", "some avg10=75.00 avg60=0 avg300=0 total=0\n");
    auto second = statistics.read();
    EXPECT_EQ(second.memoryStatusLevel, 25u);
    EXPECT_EQ(second.pressureLevel, 4);
}

} // namespace
