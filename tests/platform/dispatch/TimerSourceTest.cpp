#include "platform/dispatch/TimerSource.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/SerialQueue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

using dispatch::RunLoop;
using dispatch::RunLoopMode;
using dispatch::SerialQueue;
using dispatch::TimerSource;
using dispatch::VirtualClock;

TEST(TimerSource, FiresAtOnceThenEveryIntervalOnTheMainQueue) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    std::vector<double> fires;
    TimerSource source(loop.queue());
    source.setHandler([&] { fires.push_back(clock.now()); });
    source.schedule(clock.now(), 1.0, 0.0);
    loop.runUntilIdle();
    EXPECT_TRUE(fires.empty()) << "a source starts suspended";

    source.resume();
    loop.runUntilIdle();
    EXPECT_EQ(fires, (std::vector<double>{1000.0}));
    loop.advanceAndRunDue(3.0);
    EXPECT_EQ(fires, (std::vector<double>{1000.0, 1001.0, 1002.0, 1003.0}));
}

TEST(TimerSource, LeewayLetsTheFireComeLateButKeepsTheGrid) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    std::vector<double> fires;
    TimerSource source(loop.queue());
    source.setHandler([&] { fires.push_back(clock.now()); });
    source.schedule(clock.now() + 1.0, 1.0, 0.05);
    source.resume();
    EXPECT_EQ(loop.nextWakeTime(), 1001.05);
    loop.advanceAndRunDue(2.1);
    EXPECT_EQ(fires, (std::vector<double>{1001.05, 1002.05}));
}

TEST(TimerSource, AFiveSecondStallGivesOneFireNotFive) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    int fires = 0;
    TimerSource source(loop.queue());
    source.setHandler([&] { ++fires; });
    source.schedule(clock.now(), 1.0, 0.05);
    source.resume();
    loop.runUntilIdle();
    EXPECT_EQ(fires, 1);

    clock.advance(5.0);
    loop.runUntilIdle();
    EXPECT_EQ(fires, 2);
    EXPECT_EQ(loop.nextWakeTime(), 1006.05);
    loop.advanceAndRunDue(1.0);
    EXPECT_EQ(fires, 3);
}

TEST(TimerSource, FiresInEveryModeOfTheLoop) {
    VirtualClock clock;
    RunLoop loop(clock);
    int fires = 0;
    TimerSource source(loop.queue());
    source.setHandler([&] { ++fires; });
    source.schedule(clock.now(), 1.0, 0.0);
    source.resume();
    loop.runNested(RunLoopMode::eventTracking, [&] { return fires < 3; });
    loop.runNested(RunLoopMode::modalPanel, [&] { return fires < 5; });
    EXPECT_EQ(fires, 5);
}

TEST(TimerSource, CancelIsFinalAndIdempotentAlsoFromTheHandler) {
    VirtualClock clock;
    RunLoop loop(clock);
    int fires = 0;
    TimerSource source(loop.queue());
    source.setHandler([&] {
        if (++fires == 2) {
            source.cancel();
        }
    });
    source.schedule(clock.now(), 1.0, 0.0);
    source.resume();
    loop.advanceAndRunDue(5.0);
    EXPECT_EQ(fires, 2);
    EXPECT_TRUE(source.isCancelled());
    source.cancel();
    source.resume();
    source.schedule(clock.now(), 1.0, 0.0);
    loop.advanceAndRunDue(5.0);
    EXPECT_EQ(fires, 2);
}

TEST(TimerSource, RescheduleReplacesThePendingDeadline) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    std::vector<double> fires;
    TimerSource source(loop.queue());
    source.setHandler([&] { fires.push_back(clock.now()); });
    source.schedule(clock.now() + 1.0, 0.0, 0.0);
    source.resume();
    source.schedule(clock.now() + 3.0, 0.0, 0.0);
    loop.advanceAndRunDue(10.0);
    EXPECT_EQ(fires, (std::vector<double>{1003.0})) << "a zero interval fires once";
}

TEST(TimerSource, DestroyedSourceNeverFires) {
    VirtualClock clock;
    RunLoop loop(clock);
    int fires = 0;
    {
        TimerSource source(loop.queue());
        source.setHandler([&] { ++fires; });
        source.schedule(clock.now() + 1.0, 1.0, 0.0);
        source.resume();
    }
    loop.advanceAndRunDue(3.0);
    EXPECT_EQ(fires, 0);
    EXPECT_EQ(loop.nextWakeTime(), std::numeric_limits<double>::infinity());
}

TEST(TimerSource, StallOnAManualSerialQueueAlsoCoalesces) {
    VirtualClock clock(1000.0);
    SerialQueue queue("test.sampling", SerialQueue::Execution::manual, clock);
    int fires = 0;
    TimerSource source(queue);
    source.setHandler([&] { ++fires; });
    source.schedule(clock.now() + 1.0, 1.0, 0.0);
    source.resume();
    EXPECT_EQ(queue.runPending(), 0);
    clock.advance(5.5);
    EXPECT_EQ(queue.runPending(), 1);
    EXPECT_EQ(fires, 1);
    clock.advance(0.5);
    queue.runPending();
    EXPECT_EQ(fires, 2);
}

TEST(TimerSource, CancelFromAnotherThreadWaitsForARunningHandler) {
    SerialQueue queue("test.worker");
    std::mutex mutex;
    std::condition_variable changed;
    int fires = 0;
    bool inHandler = false;
    std::atomic<bool> handlerFinished{false};
    TimerSource source(queue);
    source.setHandler([&] {
        {
            std::lock_guard lock(mutex);
            ++fires;
            inHandler = true;
        }
        changed.notify_all();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        handlerFinished = true;
    });
    source.schedule(queue.clock().now(), 0.01, 0.0);
    source.resume();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return inHandler; }));
    }
    source.cancel();
    EXPECT_TRUE(handlerFinished) << "cancel returned while the handler was still running";
    int firesAtCancel = 0;
    {
        std::lock_guard lock(mutex);
        firesAtCancel = fires;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    std::lock_guard lock(mutex);
    EXPECT_EQ(fires, firesAtCancel);
}

TEST(TimerSource, RepeatsOnARealSerialQueue) {
    SerialQueue queue("test.worker");
    std::mutex mutex;
    std::condition_variable changed;
    int fires = 0;
    TimerSource source(queue);
    source.setHandler([&] {
        {
            std::lock_guard lock(mutex);
            ++fires;
        }
        changed.notify_all();
    });
    source.schedule(queue.clock().now(), 0.005, 0.001);
    source.resume();
    std::unique_lock lock(mutex);
    EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return fires >= 3; }));
    lock.unlock();
    source.cancel();
}

TEST(TimerSource, InfiniteStartHoldsFireUntilScheduledAgain) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    std::vector<double> fires;
    TimerSource source(loop.queue());
    source.setHandler([&] { fires.push_back(clock.now()); });
    source.schedule(clock.now(), 1.0, 0.0);
    source.resume();
    loop.runUntilIdle();
    source.schedule(std::numeric_limits<double>::infinity(), 1.0, 0.0);
    loop.advanceAndRunDue(5.0);
    EXPECT_EQ(fires, (std::vector<double>{1000.0}));
    source.schedule(std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0);
    loop.runUntilIdle();
    EXPECT_EQ(fires, (std::vector<double>{1000.0, 1005.0}));
}
