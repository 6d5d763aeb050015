#include "platform/dispatch/RunLoop.h"

#include "platform/dispatch/Timer.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <limits>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using dispatch::commonModes;
using dispatch::RunLoop;
using dispatch::RunLoopMode;
using dispatch::Timer;
using dispatch::VirtualClock;

namespace {

// Stops a live loop that failed to wake, so a broken wake-up fails the test instead of hanging it.
class Watchdog {
public:
    explicit Watchdog(RunLoop& loop) {
        thread_ = std::thread([this, &loop] {
            if (done_.get_future().wait_for(std::chrono::seconds(10)) ==
                std::future_status::timeout) {
                fired_ = true;
                loop.stop();
            }
        });
    }
    ~Watchdog() { disarm(); }
    // True when the watchdog had to stop the loop.
    bool disarm() {
        if (thread_.joinable()) {
            done_.set_value();
            thread_.join();
        }
        return fired_;
    }

private:
    std::promise<void> done_;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

struct Pipe {
    Pipe() { EXPECT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0); }
    ~Pipe() {
        close(fds[0]);
        close(fds[1]);
    }
    void put() { EXPECT_EQ(write(fds[1], "x", 1), 1); }
    void take() {
        char byte;
        EXPECT_EQ(read(fds[0], &byte, 1), 1);
    }
    int fds[2];
};

} // namespace

TEST(MainQueue, RunsWorkInTheOrderItWasPostedFromAnyThread) {
    VirtualClock clock;
    RunLoop loop(clock);
    std::vector<int> order;
    for (int i = 0; i < 50; ++i) {
        loop.queue().async([&order, i] { order.push_back(i); });
    }
    std::thread producer([&] {
        for (int i = 50; i < 1000; ++i) {
            loop.queue().async([&order, i] { order.push_back(i); });
        }
    });
    producer.join();
    loop.runUntilIdle();
    ASSERT_EQ(order.size(), 1000u);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
}

TEST(MainQueue, WorkPostedByWorkRunsAfterWhatWasAlreadyQueued) {
    VirtualClock clock;
    RunLoop loop(clock);
    std::vector<std::string> order;
    loop.queue().async([&] {
        order.push_back("a");
        loop.queue().async([&] { order.push_back("c"); });
    });
    loop.queue().async([&] { order.push_back("b"); });
    loop.runUntilIdle();
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(MainQueue, AsyncAfterRunsAtItsDeadlineAndNotBefore) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    std::vector<double> ranAt;
    loop.queue().asyncAfter(0.5, [&] { ranAt.push_back(clock.now()); });
    loop.queue().asyncAfter(0.2, [&] { ranAt.push_back(clock.now()); });
    loop.advanceAndRunDue(0.19);
    EXPECT_TRUE(ranAt.empty());
    loop.advanceAndRunDue(0.3);
    EXPECT_EQ(ranAt, (std::vector<double>{1000.2}));
    loop.advanceAndRunDue(0.01);
    EXPECT_EQ(ranAt, (std::vector<double>{1000.2, 1000.5}));
}

TEST(MainQueue, EqualDeadlinesRunInPostingOrder) {
    VirtualClock clock;
    RunLoop loop(clock);
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) {
        loop.queue().asyncAfter(1.0, [&order, i] { order.push_back(i); });
    }
    loop.advanceAndRunDue(1.0);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(VirtualClockLoop, RunsExactlyWhatIsDueAndNothingMore) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    std::vector<double> ranAt;
    for (double delay : {1.0, 2.0, 3.0}) {
        loop.queue().asyncAfter(delay, [&] { ranAt.push_back(clock.now()); });
    }
    loop.runUntilIdle();
    EXPECT_TRUE(ranAt.empty());
    EXPECT_EQ(clock.now(), 1000.0) << "running what is due never moves the clock";

    loop.advanceAndRunDue(2.0);
    EXPECT_EQ(ranAt, (std::vector<double>{1001.0, 1002.0}));
    EXPECT_EQ(clock.now(), 1002.0);
    EXPECT_EQ(loop.nextWakeTime(), 1003.0);

    clock.advance(10.0);
    loop.runUntilIdle();
    EXPECT_EQ(ranAt.size(), 3u);
    EXPECT_EQ(ranAt.back(), 1012.0);
}

TEST(VirtualClockLoop, RunJumpsTheClockInsteadOfSleeping) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    double stoppedAt = 0.0;
    loop.queue().asyncAfter(3600.0, [&] {
        stoppedAt = clock.now();
        loop.stop();
    });
    Watchdog watchdog(loop);
    loop.run();
    EXPECT_FALSE(watchdog.disarm());
    EXPECT_EQ(stoppedAt, 4600.0);
}

TEST(RunLoopWake, PostFromAnotherThreadWakesASleepingLoop) {
    RunLoop loop;
    // Something far off, so the loop sleeps with a long timeout rather than forever.
    Timer farOff(
        3600.0, false, [] {}, RunLoopMode::defaultMode, loop);
    std::atomic<bool> ranOnLoop{false};
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        loop.queue().async([&] {
            ranOnLoop = true;
            loop.stop();
        });
    });
    Watchdog watchdog(loop);
    loop.run();
    poster.join();
    EXPECT_FALSE(watchdog.disarm());
    EXPECT_TRUE(ranOnLoop);
}

TEST(RunLoopWake, EarlierDeadlineFromAnotherThreadShortensTheSleep) {
    RunLoop loop;
    Timer farOff(
        3600.0, false, [] {}, RunLoopMode::defaultMode, loop);
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        loop.queue().asyncAfter(0.02, [&] { loop.stop(); });
    });
    Watchdog watchdog(loop);
    loop.run();
    poster.join();
    EXPECT_FALSE(watchdog.disarm());
}

TEST(RunLoopWake, StopFromAnotherThreadEndsRun) {
    RunLoop loop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        loop.stop();
    });
    Watchdog watchdog(loop);
    loop.run();
    stopper.join();
    EXPECT_FALSE(watchdog.disarm());
}

TEST(RunLoopStop, StopBeforeRunMakesRunReturnAndTheLoopRunsAgainAfterwards) {
    VirtualClock clock;
    RunLoop loop(clock);
    bool ran = false;
    loop.queue().async([&] { ran = true; });
    loop.stop();
    loop.run();
    EXPECT_FALSE(ran);

    loop.queue().async([&] { loop.stop(); });
    Watchdog watchdog(loop);
    loop.run();
    EXPECT_FALSE(watchdog.disarm());
    EXPECT_TRUE(ran);
}

TEST(RunLoopModes, NestedTrackingRunServesCommonTimersAndTheMainQueueButNotDefaultTimers) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    int defaultFires = 0;
    int commonFires = 0;
    int blocksInNested = 0;
    RunLoopMode modeInNested = RunLoopMode::defaultMode;
    Timer defaultOnly(
        1.0, true, [&] { ++defaultFires; }, RunLoopMode::defaultMode, loop);
    Timer common(
        1.0, true, [&] { ++commonFires; }, commonModes, loop);
    int defaultFiresDuringMenu = -1;

    loop.queue().async([&] {
        EXPECT_EQ(loop.currentMode(), RunLoopMode::defaultMode);
        loop.queue().asyncAfter(2.5, [&] {
            ++blocksInNested;
            modeInNested = loop.currentMode();
        });
        loop.runNested(RunLoopMode::eventTracking, [&] { return commonFires < 5; });
        defaultFiresDuringMenu = defaultFires;
        loop.stop();
    });
    Watchdog watchdog(loop);
    loop.run();
    EXPECT_FALSE(watchdog.disarm());

    EXPECT_EQ(commonFires, 5);
    EXPECT_EQ(defaultFiresDuringMenu, 0);
    EXPECT_EQ(blocksInNested, 1);
    EXPECT_EQ(modeInNested, RunLoopMode::eventTracking);
    EXPECT_EQ(clock.now(), 1005.0);

    // Back in the default mode the waiting timer fires once for all the seconds it missed.
    loop.runUntilIdle();
    EXPECT_EQ(defaultFires, 1);
    EXPECT_EQ(defaultOnly.fireDate(), 1006.0);
}

TEST(RunLoopModes, ModalPanelRunIsItsOwnMode) {
    VirtualClock clock;
    RunLoop loop(clock);
    int trackingFires = 0;
    int modalFires = 0;
    Timer tracking(
        1.0, true, [&] { ++trackingFires; }, RunLoopMode::eventTracking, loop);
    Timer modal(
        1.0, true, [&] { ++modalFires; }, RunLoopMode::modalPanel, loop);
    loop.runNested(RunLoopMode::modalPanel, [&] { return modalFires < 2; });
    EXPECT_EQ(modalFires, 2);
    EXPECT_EQ(trackingFires, 0);
    EXPECT_EQ(loop.currentMode(), RunLoopMode::defaultMode);
}

TEST(RunLoopModes, StopEndsNestedRunsAndTheOuterRun) {
    VirtualClock clock;
    RunLoop loop(clock);
    bool nestedReturned = false;
    loop.queue().async([&] {
        loop.queue().asyncAfter(1.0, [&] { loop.stop(); });
        loop.runNested(RunLoopMode::eventTracking, [] { return true; });
        nestedReturned = true;
    });
    Watchdog watchdog(loop);
    loop.run();
    EXPECT_FALSE(watchdog.disarm());
    EXPECT_TRUE(nestedReturned);
}

TEST(RunLoopTolerance, TimersWithToleranceShareAWakeUp) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    std::vector<std::pair<char, double>> fires;
    Timer lenient(
        1.0, false,
        [&] {
            fires.push_back({'a', clock.now()});
        },
        RunLoopMode::defaultMode, loop);
    lenient.setTolerance(0.5);
    Timer strict(
        1.3, false,
        [&] {
            fires.push_back({'b', clock.now()});
        },
        RunLoopMode::defaultMode, loop);
    EXPECT_EQ(loop.nextWakeTime(), 1001.3);
    loop.advanceAndRunDue(2.0);
    ASSERT_EQ(fires.size(), 2u);
    EXPECT_EQ(fires[0], std::make_pair('a', 1001.3));
    EXPECT_EQ(fires[1], std::make_pair('b', 1001.3));
}

TEST(RunLoopTolerance, WithoutToleranceEachTimerWakesTheLoopAtItsOwnDeadline) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    std::vector<double> fires;
    Timer first(
        1.0, false, [&] { fires.push_back(clock.now()); }, RunLoopMode::defaultMode, loop);
    Timer second(
        1.3, false, [&] { fires.push_back(clock.now()); }, RunLoopMode::defaultMode, loop);
    loop.advanceAndRunDue(2.0);
    EXPECT_EQ(fires, (std::vector<double>{1001.0, 1001.3}));
}

TEST(RunLoopTolerance, ALoneTimerMayFireAsLateAsItsTolerance) {
    VirtualClock clock(1000.0);
    RunLoop loop(clock);
    Timer timer(
        1.0, true, [] {}, RunLoopMode::defaultMode, loop);
    timer.setTolerance(0.1);
    EXPECT_EQ(loop.nextWakeTime(), 1001.1);
    EXPECT_EQ(loop.nextWakeTime(RunLoopMode::eventTracking),
              std::numeric_limits<double>::infinity());
}

TEST(RunLoopSources, ReadyDescriptorCallsBackUntilTheRegistrationEnds) {
    VirtualClock clock;
    RunLoop loop(clock);
    Pipe pipe;
    int calls = 0;
    short seen = 0;
    auto registration = loop.addSource(pipe.fds[0], POLLIN, [&](short revents) {
        ++calls;
        seen = revents;
        pipe.take();
    });
    loop.runUntilIdle();
    EXPECT_EQ(calls, 0);
    pipe.put();
    loop.runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(seen & POLLIN);

    registration.reset();
    pipe.put();
    loop.runUntilIdle();
    EXPECT_EQ(calls, 1);
}

TEST(RunLoopSources, SourceWakesARealSleepingLoop) {
    RunLoop loop;
    Pipe pipe;
    auto registration = loop.addSource(pipe.fds[0], POLLIN, [&](short) {
        pipe.take();
        loop.stop();
    });
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        pipe.put();
    });
    Watchdog watchdog(loop);
    loop.run();
    writer.join();
    EXPECT_FALSE(watchdog.disarm());
}

TEST(RunLoopSources, DefaultOnlySourceWaitsOutANestedRun) {
    VirtualClock clock;
    RunLoop loop(clock);
    Pipe pipe;
    int calls = 0;
    auto registration = loop.addSource(
        pipe.fds[0], POLLIN,
        [&](short) {
            ++calls;
            pipe.take();
        },
        RunLoopMode::defaultMode);
    pipe.put();
    loop.runUntilIdle(RunLoopMode::eventTracking);
    EXPECT_EQ(calls, 0);
    loop.runUntilIdle();
    EXPECT_EQ(calls, 1);
}

TEST(RunLoopSources, CallbackMayEndItsOwnAndAnotherRegistration) {
    VirtualClock clock;
    RunLoop loop(clock);
    Pipe first;
    Pipe second;
    int firstCalls = 0;
    int secondCalls = 0;
    RunLoop::Registration secondRegistration;
    RunLoop::Registration firstRegistration = loop.addSource(first.fds[0], POLLIN, [&](short) {
        ++firstCalls;
        firstRegistration.reset();
        secondRegistration.reset();
    });
    secondRegistration = loop.addSource(second.fds[0], POLLIN, [&](short) { ++secondCalls; });
    first.put();
    second.put();
    loop.runUntilIdle();
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
}

TEST(RunLoopSources, RegistrationMayOutliveItsLoop) {
    Pipe pipe;
    RunLoop::Registration registration;
    {
        VirtualClock clock;
        RunLoop loop(clock);
        registration = loop.addSource(pipe.fds[0], POLLIN, [](short) {});
        EXPECT_TRUE(registration);
    }
    registration.reset();
    EXPECT_FALSE(registration);
}

TEST(RunLoopObservers, BeforeWaitingObserverRunsBeforeSleepAndItsWorkIsNotLeftWaiting) {
    RunLoop loop;
    int calls = 0;
    auto observer = loop.addBeforeWaitingObserver([&] {
        if (++calls == 1) {
            loop.queue().async([&] { loop.stop(); });
        }
    });
    Watchdog watchdog(loop);
    loop.run();
    EXPECT_FALSE(watchdog.disarm());
    EXPECT_GE(calls, 1);
}

TEST(MainRunLoop, ScopedInstallRoutesTheMainQueueAndRestoresIt) {
    RunLoop& original = RunLoop::main();
    VirtualClock clock;
    RunLoop loop(clock);
    bool ran = false;
    {
        dispatch::ScopedMainRunLoop installed(loop);
        EXPECT_EQ(&RunLoop::main(), &loop);
        dispatch::mainQueue().async([&] { ran = true; });
    }
    EXPECT_EQ(&RunLoop::main(), &original);
    loop.runUntilIdle();
    EXPECT_TRUE(ran);
}

TEST(MainQueue, NegativeOrNaNDelayRunsAtOnceAndAnInfiniteOneNever) {
    VirtualClock clock;
    RunLoop loop(clock);
    int ran = 0;
    loop.queue().asyncAfter(-3.0, [&] { ++ran; });
    loop.queue().asyncAfter(std::numeric_limits<double>::quiet_NaN(), [&] { ++ran; });
    loop.queue().asyncAfter(std::numeric_limits<double>::infinity(), [&] { ran += 100; });
    loop.runUntilIdle();
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(loop.nextWakeTime(), std::numeric_limits<double>::infinity());
}

TEST(RunLoopModes, NestedRunServesWorkAlreadyQueuedBeforeItInOrder) {
    VirtualClock clock;
    RunLoop loop(clock);
    std::vector<std::string> order;
    loop.queue().async([&] {
        order.push_back("a");
        loop.queue().async([&] { order.push_back("c"); });
        loop.runNested(RunLoopMode::eventTracking, [&] { return order.size() < 3; });
        order.push_back("a done");
    });
    loop.queue().async([&] { order.push_back("b"); });
    loop.runUntilIdle();
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "a done"}));
}

TEST(RunLoopModes, NestedRunStartedByATimerServesTheTimersDueWithIt) {
    VirtualClock clock;
    RunLoop loop(clock);
    bool secondFired = false;
    bool nestedSawSecond = false;
    Timer first(
        1.0, false,
        [&] {
            loop.runNested(RunLoopMode::eventTracking, [&] { return !secondFired; });
            nestedSawSecond = secondFired;
        },
        commonModes, loop);
    Timer second(
        1.0, false, [&] { secondFired = true; }, commonModes, loop);
    loop.advanceAndRunDue(1.0);
    EXPECT_TRUE(nestedSawSecond);
}

TEST(RunLoopSources, DescriptorClosedUnderItsRegistrationIsReportedOnceNotSpun) {
    VirtualClock clock;
    RunLoop loop(clock);
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    int calls = 0;
    short seen = 0;
    auto registration = loop.addSource(fds[0], POLLIN, [&](short revents) {
        ++calls;
        seen = revents;
    });
    close(fds[0]);
    close(fds[1]);
    loop.runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(seen & POLLNVAL);
}
