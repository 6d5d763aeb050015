#include "platform/animation/AnimationFrameClock.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

namespace anim {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

class AnimationFrameClockTest : public ::testing::Test {
protected:
    dispatch::VirtualClock clock{200.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scoped{loop};

    struct Call {
        double now;
        double frameTime;
    };
    AnimationFrameClock::FrameHandler recorder(std::vector<Call>& calls) {
        return [this, &calls](double frameTime) { calls.push_back({clock.now(), frameTime}); };
    }
};

TEST_F(AnimationFrameClockTest, TheTimerPathHandsUptimePlusOneFrame) {
    std::vector<Call> calls;
    AnimationFrameClock frameClock(recorder(calls), AnimationFrameClock::Source::timer);
    loop.advanceAndRunDue(0.5);
    ASSERT_GE(calls.size(), 29u);
    for (const Call& call : calls)
        EXPECT_NEAR(call.frameTime, call.now + 1.0 / 60.0, 1e-12);
    EXPECT_NEAR(calls[1].now - calls[0].now, 1.0 / 60.0, 0.0011);
}

TEST_F(AnimationFrameClockTest, TheDisplayLinkPathHandsTheTimeTheFrameShows) {
    std::vector<Call> calls;
    AnimationFrameClock frameClock(recorder(calls));
    loop.advanceAndRunDue(0.5);
    ASSERT_GE(calls.size(), 29u);
    for (const Call& call : calls)
        EXPECT_NEAR(call.frameTime, call.now + 1.0 / 60.0, 1e-9);
}

TEST_F(AnimationFrameClockTest, TheDisplayLinkFrameTimeIsAtMostTwoFramesAhead) {
    EXPECT_DOUBLE_EQ(displayLinkFrameTime(10, 5, 5 + 1.0 / 60), 10 + 1.0 / 60);
    EXPECT_DOUBLE_EQ(displayLinkFrameTime(10, 5, 5.1), 10 + 1.0 / 30);
    EXPECT_DOUBLE_EQ(displayLinkFrameTime(10, 5, 4.9), 10);
    EXPECT_DOUBLE_EQ(displayLinkFrameTime(10, 5, 5), 10);
    EXPECT_DOUBLE_EQ(displayLinkFrameTime(10, inf, inf), 10);
    EXPECT_DOUBLE_EQ(displayLinkFrameTime(10, 5, inf), 10 + 1.0 / 30);
}

TEST_F(AnimationFrameClockTest, StopIsForGoodAndHarmlessTwice) {
    for (auto source :
         {AnimationFrameClock::Source::displayLink, AnimationFrameClock::Source::timer}) {
        std::vector<Call> calls;
        AnimationFrameClock frameClock(recorder(calls), source);
        loop.advanceAndRunDue(0.1);
        const std::size_t seen = calls.size();
        EXPECT_GT(seen, 0u);
        EXPECT_TRUE(frameClock.isRunning());
        frameClock.stop();
        frameClock.stop();
        EXPECT_FALSE(frameClock.isRunning());
        loop.advanceAndRunDue(0.5);
        EXPECT_EQ(calls.size(), seen);
        EXPECT_EQ(loop.nextWakeTime(), inf);
    }
}

TEST_F(AnimationFrameClockTest, ReleasingARunningClockStopsItsCallbacks) {
    for (auto source :
         {AnimationFrameClock::Source::displayLink, AnimationFrameClock::Source::timer}) {
        std::vector<Call> calls;
        auto frameClock = std::make_unique<AnimationFrameClock>(recorder(calls), source);
        loop.advanceAndRunDue(0.1);
        const std::size_t seen = calls.size();
        frameClock.reset();
        loop.advanceAndRunDue(0.5);
        EXPECT_EQ(calls.size(), seen);
        EXPECT_EQ(loop.nextWakeTime(), inf);
    }
}

TEST_F(AnimationFrameClockTest, AHandlerMayStopAndReleaseItsOwnClock) {
    for (auto source :
         {AnimationFrameClock::Source::displayLink, AnimationFrameClock::Source::timer}) {
        int frames = 0;
        std::unique_ptr<AnimationFrameClock> frameClock;
        frameClock = std::make_unique<AnimationFrameClock>(
            [&](double) {
                if (++frames == 3) {
                    frameClock->stop();
                    frameClock.reset();
                }
            },
            source);
        loop.advanceAndRunDue(0.5);
        EXPECT_EQ(frames, 3);
        EXPECT_EQ(frameClock, nullptr);
    }
}

} // namespace
} // namespace anim
