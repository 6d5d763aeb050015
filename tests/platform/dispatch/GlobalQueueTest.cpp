#include "platform/dispatch/GlobalQueue.h"

#include "platform/dispatch/MainThread.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>

TEST(GlobalQueue, RunsWorkConcurrentlyOffTheMainThread) {
    // Each piece waits for the other, so both finish only if two threads serve them at once.
    std::promise<void> firstStarted;
    std::promise<void> secondStarted;
    std::promise<bool> firstOnMain;
    auto firstSeen = firstStarted.get_future().share();
    auto secondSeen = secondStarted.get_future().share();
    std::promise<void> bothDone;
    std::atomic<int> done{0};
    dispatch::globalQueue().async([&] {
        firstOnMain.set_value(dispatch::isMainThread());
        firstStarted.set_value();
        secondSeen.wait_for(std::chrono::seconds(10));
        if (++done == 2) {
            bothDone.set_value();
        }
    });
    dispatch::globalQueue().async([&] {
        secondStarted.set_value();
        firstSeen.wait_for(std::chrono::seconds(10));
        if (++done == 2) {
            bothDone.set_value();
        }
    });
    auto finished = bothDone.get_future();
    ASSERT_EQ(finished.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(secondSeen.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_FALSE(firstOnMain.get_future().get());
}

TEST(GlobalQueue, AsyncAfterRuns) {
    std::promise<void> ran;
    dispatch::globalQueue().asyncAfter(0.01, [&] { ran.set_value(); });
    EXPECT_EQ(ran.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
}
