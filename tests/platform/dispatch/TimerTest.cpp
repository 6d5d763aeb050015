#include "platform/dispatch/Timer.h"

#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

using dispatch::RunLoop;
using dispatch::RunLoopMode;
using dispatch::Timer;
using dispatch::VirtualClock;

TEST(Timer, RepeatingTimerFiresOnEachIntervalOfItsGrid) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    std::vector<double> fires;
    Timer timer(
        1.0, true, [&] { fires.push_back(clock.now()); }, RunLoopMode::defaultMode, loop);
    EXPECT_EQ(timer.fireDate(), 1001.0);
    loop.advanceAndRunDue(3.5);
    EXPECT_EQ(fires, (std::vector<double>{1001.0, 1002.0, 1003.0}));
    EXPECT_TRUE(timer.isValid());
    EXPECT_EQ(timer.fireDate(), 1004.0);
}

TEST(Timer, OneShotFiresOnceAndThenIsInvalid) {
    VirtualClock clock;
    RunLoop loop(clock);
    int fires = 0;
    Timer timer(
        0.25, false, [&] { ++fires; }, RunLoopMode::defaultMode, loop);
    EXPECT_TRUE(timer.isValid());
    loop.advanceAndRunDue(0.2);
    EXPECT_EQ(fires, 0);
    loop.advanceAndRunDue(10.0);
    EXPECT_EQ(fires, 1);
    EXPECT_FALSE(timer.isValid());
}

TEST(Timer, MissedFiresAfterAStallCoalesceIntoOne) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    int fires = 0;
    Timer timer(
        1.0, true, [&] { ++fires; }, RunLoopMode::defaultMode, loop);
    // The loop was blocked (or the machine asleep) for five seconds and more.
    clock.advance(5.2);
    loop.runUntilIdle();
    EXPECT_EQ(fires, 1);
    EXPECT_EQ(timer.fireDate(), 1006.0) << "the next fire stays on the one-second grid";
    loop.advanceAndRunDue(0.8);
    EXPECT_EQ(fires, 2);
}

TEST(Timer, FiringLateWithinToleranceDoesNotDrift) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    std::vector<double> fires;
    Timer timer(
        1.0, true, [&] { fires.push_back(clock.now()); }, RunLoopMode::defaultMode, loop);
    timer.setTolerance(0.25);
    EXPECT_EQ(timer.tolerance(), 0.25);
    loop.advanceAndRunDue(3.5);
    EXPECT_EQ(fires, (std::vector<double>{1001.25, 1002.25, 1003.25}));
    EXPECT_EQ(timer.fireDate(), 1004.0);
}

TEST(Timer, InvalidateStopsItForGoodAndIsIdempotent) {
    VirtualClock clock;
    RunLoop loop(clock);
    int fires = 0;
    Timer timer(
        1.0, true, [&] { ++fires; }, RunLoopMode::defaultMode, loop);
    loop.advanceAndRunDue(1.0);
    timer.invalidate();
    timer.invalidate();
    EXPECT_FALSE(timer.isValid());
    loop.advanceAndRunDue(5.0);
    EXPECT_EQ(fires, 1);
    EXPECT_EQ(loop.nextWakeTime(), std::numeric_limits<double>::infinity());
}

TEST(Timer, ActionMayInvalidateOrDestroyItsOwnTimer) {
    VirtualClock clock;
    RunLoop loop(clock);
    int fires = 0;
    std::unique_ptr<Timer> owned;
    owned = std::make_unique<Timer>(
        1.0, true,
        [&] {
            ++fires;
            owned.reset();
        },
        RunLoopMode::defaultMode, loop);
    Timer selfStopping(
        1.0, true, [&] { ++fires; }, RunLoopMode::defaultMode, loop);
    Timer stopper(
        2.5, false, [&] { selfStopping.invalidate(); }, RunLoopMode::defaultMode, loop);
    loop.advanceAndRunDue(5.0);
    EXPECT_EQ(owned, nullptr);
    EXPECT_EQ(fires, 1 + 2);
}

TEST(Timer, TimerDestroyedBeforeItsDeadlineNeverFires) {
    VirtualClock clock;
    RunLoop loop(clock);
    int fires = 0;
    {
        Timer timer(
            1.0, false, [&] { ++fires; }, RunLoopMode::defaultMode, loop);
    }
    loop.advanceAndRunDue(2.0);
    EXPECT_EQ(fires, 0);
}

TEST(Timer, OneTimerCancellingAnotherDueInTheSamePassStopsIt) {
    VirtualClock clock;
    RunLoop loop(clock);
    int laterFires = 0;
    std::unique_ptr<Timer> later = std::make_unique<Timer>(
        1.0, false, [&] { ++laterFires; }, RunLoopMode::defaultMode, loop);
    Timer earlier(
        0.5, false, [&] { later.reset(); }, RunLoopMode::defaultMode, loop);
    clock.advance(2.0);
    loop.runUntilIdle();
    EXPECT_EQ(laterFires, 0);
}

TEST(Timer, NonPositiveIntervalIsRaisedToTheFloorInsteadOfSpinning) {
    VirtualClock clock;
    RunLoop loop(clock);
    int fires = 0;
    Timer timer(
        0.0, true, [&] { ++fires; }, RunLoopMode::defaultMode, loop);
    EXPECT_GT(timer.interval(), 0.0);
    loop.advanceAndRunDue(0.01);
    EXPECT_NEAR(fires, 100, 1);
}
