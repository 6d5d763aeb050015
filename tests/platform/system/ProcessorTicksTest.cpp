#include "platform/system/ProcessorTicks.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

namespace {

sys::ProcessorTicks fixtureTicks(const char* machine, int processors = 8) {
    return sys::ProcessorTicks(
        sys::SystemRoots::under(testsupport::fixturePath(std::string("compute/") + machine)),
        processors);
}

TEST(ProcessorTicks, MapsTheAggregateLineOntoUserSystemIdleNice) {
    auto source = fixtureTicks("typical", 2);
    auto ticks = source.loadTicks();
    ASSERT_TRUE(ticks);
    // user nice system idle iowait irq softirq steal: 10000 200 3000 50000 700 40 60 80
    EXPECT_EQ((*ticks)[sys::tickUser], 10000u);
    EXPECT_EQ((*ticks)[sys::tickSystem], 3100u);
    EXPECT_EQ((*ticks)[sys::tickIdle], 50700u);
    EXPECT_EQ((*ticks)[sys::tickNice], 200u);
    EXPECT_EQ(source.processorCount(), 2);
}

TEST(ProcessorTicks, OldKernelWithFourFieldsStillReads) {
    auto ticks = fixtureTicks("old-kernel").loadTicks();
    ASSERT_TRUE(ticks);
    EXPECT_EQ(*ticks, (sys::ProcessorLoadTicks{10000, 3000, 50000, 200}));
}

TEST(ProcessorTicks, TruncatedGarbageOrMissingFileIsEmpty) {
    EXPECT_FALSE(fixtureTicks("truncated").loadTicks());
    EXPECT_FALSE(fixtureTicks("does-not-exist").loadTicks());
    EXPECT_FALSE(sys::parseProcessorTicks("cpu0 1 2 3 4 5 6 7\n"));
    EXPECT_FALSE(sys::parseProcessorTicks("cpu  1 2 3\n"));
    EXPECT_FALSE(sys::parseProcessorTicks("cpu  1 2 -3 4\n"));
    EXPECT_FALSE(sys::parseProcessorTicks("cpu  1 2 3x 4\n"));
    EXPECT_FALSE(sys::parseProcessorTicks("cpu  1 2 3 99999999999999999999999\n"));
    EXPECT_FALSE(sys::parseProcessorTicks(std::string_view("\0\xff\n", 3)));
    EXPECT_FALSE(sys::parseProcessorTicks(""));
}

TEST(ProcessorTicks, CountersWrapAt32Bits) {
    // user 2^32 + 5; system + irq + softirq = 2^32 − 1 + 2 → 1.
    auto ticks = sys::parseProcessorTicks("cpu  4294967301 0 4294967295 7 0 1 1 0 0 0\n");
    ASSERT_TRUE(ticks);
    EXPECT_EQ((*ticks)[sys::tickUser], 5u);
    EXPECT_EQ((*ticks)[sys::tickSystem], 1u);
    EXPECT_EQ((*ticks)[sys::tickIdle], 7u);
}

TEST(ProcessorTicks, ProcessorCountDefaultsToTheOnlineProcessors) {
    sys::ProcessorTicks live(sys::SystemRoots::live());
    EXPECT_EQ(live.processorCount(), foundation::processInfo::processorCount());
    EXPECT_GE(live.processorCount(), 1);
}

} // namespace
