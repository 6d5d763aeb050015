#include "platform/dispatch/SerialQueue.h"

#include "platform/dispatch/WorkerQueue.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>

using dispatch::PendingWork;
using dispatch::SerialQueue;
using dispatch::VirtualClock;

TEST(SerialQueue, RunsWorkOneAtATimeInOrderOnItsOwnThread) {
    SerialQueue queue("test.serial");
    EXPECT_EQ(queue.label(), "test.serial");
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};
    for (int i = 0; i < 500; ++i) {
        queue.async([&, i] {
            int now = ++inFlight;
            mostInFlight = std::max(mostInFlight.load(), now);
            order.push_back(i);
            threads.push_back(std::this_thread::get_id());
            --inFlight;
        });
    }
    queue.shutDown(PendingWork::drain);
    ASSERT_EQ(order.size(), 500u);
    for (int i = 0; i < 500; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
    EXPECT_EQ(mostInFlight, 1);
    for (auto id : threads) {
        EXPECT_EQ(id, threads.front());
    }
    EXPECT_NE(threads.front(), std::this_thread::get_id());
}

TEST(SerialQueue, ItsThreadIsNamedAfterTheQueuesJob) {
    SerialQueue queue("Pulsedeck.sampling");
    std::promise<std::string> named;
    queue.async([&] {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        named.set_value(name);
    });
    auto future = named.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(future.get(), "sampling");
    // Linux keeps 15 bytes; a label without dots is the name as it stands.
    EXPECT_EQ(dispatch::detail::threadNameForLabel("Pulsedeck.sensor-connection"),
              "sensor-connecti");
    EXPECT_EQ(dispatch::detail::threadNameForLabel("writer"), "writer");
    EXPECT_EQ(dispatch::detail::threadNameForLabel("trailing."), "trailing.");
}

TEST(SerialQueue, WorkFromSeveralThreadsKeepsEachSendersOrder) {
    SerialQueue queue("test.serial");
    std::mutex mutex;
    std::vector<std::pair<int, int>> seen;
    std::vector<std::thread> senders;
    for (int sender = 0; sender < 4; ++sender) {
        senders.emplace_back([&, sender] {
            for (int i = 0; i < 200; ++i) {
                queue.async([&, sender, i] {
                    std::lock_guard lock(mutex);
                    seen.push_back({sender, i});
                });
            }
        });
    }
    for (auto& sender : senders) {
        sender.join();
    }
    queue.shutDown(PendingWork::drain);
    ASSERT_EQ(seen.size(), 800u);
    std::vector<int> next(4, 0);
    for (auto [sender, i] : seen) {
        EXPECT_EQ(i, next[static_cast<std::size_t>(sender)]++);
    }
}

TEST(SerialQueue, ShutDownWaitsForTheRunningPieceAsLongAsItIsAsked) {
    std::atomic<bool> finished{false};
    std::promise<void> started;
    {
        SerialQueue queue("test.serial");
        queue.async([&] {
            started.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished = true;
        });
        started.get_future().wait();
    }
    EXPECT_TRUE(finished);

    // A piece that does not return within the wait keeps its thread and what it captured, and
    // the queue goes at once; let go a second later, the piece ends there.
    auto captured = std::make_shared<std::atomic<bool>>(false);
    auto letGo = std::async(std::launch::async, [] {
                     std::this_thread::sleep_for(std::chrono::seconds(1));
                 }).share();
    {
        SerialQueue queue("test.serial");
        std::promise<void> running;
        queue.async([&running, letGo, captured] {
            running.set_value();
            letGo.wait();
            *captured = true;
        });
        running.get_future().wait();
        const auto before = std::chrono::steady_clock::now();
        queue.shutDown(PendingWork::discard, 0.05);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    }
    EXPECT_FALSE(*captured);
    for (int i = 0; i < 500 && captured.use_count() > 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(*captured);
    EXPECT_EQ(captured.use_count(), 1) << "the piece ended and let go of what it held";
}

TEST(SerialQueue, WorkSentAfterShutDownIsDropped) {
    SerialQueue queue("test.serial");
    queue.shutDown(PendingWork::drain);
    bool ran = false;
    queue.async([&] { ran = true; });
    queue.asyncAfter(0.0, [&] { ran = true; });
    queue.shutDown(PendingWork::discard);
    EXPECT_FALSE(ran);
}

TEST(SerialQueue, ManualModeRunsOnlyWhenAskedAndOnlyWhatIsDue) {
    VirtualClock clock(1000.0);
    SerialQueue queue("test.manual", SerialQueue::Execution::manual, clock);
    std::vector<std::string> order;
    queue.asyncAfter(1.0, [&] { order.push_back("later"); });
    queue.async([&] {
        order.push_back("first");
        queue.async([&] { order.push_back("queued by work"); });
    });
    queue.async([&] { order.push_back("second"); });
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(queue.runPending(), 3);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "queued by work"}));
    clock.advance(0.999);
    EXPECT_EQ(queue.runPending(), 0);
    clock.advance(0.001);
    EXPECT_EQ(queue.runPending(), 1);
    EXPECT_EQ(order.back(), "later");
}

TEST(SerialQueue, DiscardDropsQueuedWorkAndDrainRunsIt) {
    VirtualClock clock;
    int ran = 0;
    {
        SerialQueue queue("test.manual", SerialQueue::Execution::manual, clock);
        queue.async([&] { ++ran; });
        queue.async([&] { ++ran; });
        queue.shutDown(PendingWork::discard);
        EXPECT_EQ(queue.runPending(), 0);
    }
    EXPECT_EQ(ran, 0);
    {
        SerialQueue queue("test.manual", SerialQueue::Execution::manual, clock);
        queue.async([&] { ++ran; });
        queue.async([&] { ++ran; });
        queue.asyncAfter(5.0, [&] { ran += 100; });
        queue.shutDown(PendingWork::drain);
    }
    EXPECT_EQ(ran, 2) << "timed work not yet due is not drained";
}

TEST(SerialQueue, DestructorDiscardsWhatHasNotStarted) {
    std::atomic<int> ran{0};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> started;
    auto queue = std::make_unique<SerialQueue>("test.serial");
    queue->async([&] {
        started.set_value();
        released.wait();
        ++ran;
    });
    // Held by each queued piece: once only this one is left, the queued work is gone.
    auto token = std::make_shared<int>(0);
    for (int i = 0; i < 10; ++i) {
        queue->async([&ran, token] { ran += 100; });
    }
    started.get_future().wait();
    std::thread destroyer([&] { queue.reset(); });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (token.use_count() > 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(token.use_count(), 1);
    release.set_value();
    destroyer.join();
    EXPECT_EQ(ran, 1);
}

TEST(SerialQueue, AsyncAfterOnAWorkerRunsAfterTheDelay) {
    SerialQueue queue("test.serial");
    std::promise<double> ranAt;
    double sent = queue.clock().now();
    queue.asyncAfter(0.03, [&] { ranAt.set_value(queue.clock().now()); });
    auto future = ranAt.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_GE(future.get() - sent, 0.03);
}
