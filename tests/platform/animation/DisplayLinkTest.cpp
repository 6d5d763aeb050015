#include "platform/animation/DisplayLink.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Frame {
    double now;
    double timestamp;
    double target;
};

class DisplayLinkTest : public ::testing::Test {
protected:
    dispatch::VirtualClock clock{500.0};
    dispatch::RunLoop loop{clock};
};

TEST_F(DisplayLinkTest, DeliversSixtyFramesASecondOnItsGrid) {
    std::vector<Frame> frames;
    anim::DisplayLink link([&](const anim::DisplayLink& l) {
        frames.push_back({clock.now(), l.timestamp(), l.targetTimestamp()});
    });
    link.add(loop, dispatch::commonModes);
    loop.advanceAndRunDue(1.0);
    ASSERT_GE(frames.size(), 59u);
    ASSERT_LE(frames.size(), 61u);
    for (const Frame& frame : frames) {
        EXPECT_LE(frame.timestamp, frame.now + 1e-9);
        EXPECT_NEAR(frame.target - frame.timestamp, 1.0 / 60.0, 1e-9);
    }
    EXPECT_NEAR(frames[1].timestamp - frames[0].timestamp, 1.0 / 60.0, 1e-9);
}

TEST_F(DisplayLinkTest, ALateFrameKeepsItsGridTime) {
    std::vector<Frame> frames;
    anim::DisplayLink link([&](const anim::DisplayLink& l) {
        frames.push_back({clock.now(), l.timestamp(), l.targetTimestamp()});
    });
    link.add(loop, dispatch::commonModes);
    // The loop was busy for a while: missed frames coalesce into one, stamped on the grid.
    clock.advance(0.105);
    loop.runUntilIdle();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_NEAR(frames[0].timestamp, 500.1, 1e-9);
    EXPECT_NEAR(frames[0].target, 500.1 + 1.0 / 60.0, 1e-9);
}

TEST_F(DisplayLinkTest, RunsInTheModesItWasAddedFor) {
    int defaultOnly = 0;
    int common = 0;
    anim::DisplayLink a([&](const anim::DisplayLink&) { ++defaultOnly; });
    anim::DisplayLink b([&](const anim::DisplayLink&) { ++common; });
    a.add(loop, dispatch::RunLoopMode::defaultMode);
    b.add(loop, dispatch::commonModes);
    loop.advanceAndRunDue(0.1, dispatch::RunLoopMode::eventTracking);
    EXPECT_EQ(defaultOnly, 0);
    EXPECT_GT(common, 4);
}

TEST_F(DisplayLinkTest, InvalidateStopsForGoodEvenFromItsCallback) {
    int frames = 0;
    anim::DisplayLink link([&](const anim::DisplayLink& l) {
        ++frames;
        const_cast<anim::DisplayLink&>(l).invalidate();
    });
    link.add(loop, dispatch::commonModes);
    loop.advanceAndRunDue(0.5);
    EXPECT_EQ(frames, 1);
    EXPECT_FALSE(link.isValid());
    link.add(loop, dispatch::commonModes);
    loop.advanceAndRunDue(0.5);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(loop.nextWakeTime(), std::numeric_limits<double>::infinity());
}

TEST_F(DisplayLinkTest, DestroyingALinkStopsIt) {
    int frames = 0;
    {
        anim::DisplayLink link([&](const anim::DisplayLink&) { ++frames; });
        link.add(loop, dispatch::commonModes);
        loop.advanceAndRunDue(0.02);
    }
    const int seen = frames;
    loop.advanceAndRunDue(0.5);
    EXPECT_EQ(frames, seen);
    EXPECT_EQ(loop.nextWakeTime(), std::numeric_limits<double>::infinity());
}

TEST_F(DisplayLinkTest, APreferredRateSetsTheInterval) {
    anim::DisplayLink link([](const anim::DisplayLink&) {});
    link.setPreferredFrameRateRange({30, 30, 30});
    EXPECT_DOUBLE_EQ(link.frameInterval(), 1.0 / 30.0);
    link.setPreferredFrameRateRange({0, 0, 0});
    EXPECT_DOUBLE_EQ(link.frameInterval(), 1.0 / 60.0);
}

} // namespace
