#include "platform/dispatch/MainThread.h"

#include <gtest/gtest.h>
#include <thread>

TEST(MainThread, OnlyTheThreadTheProcessStartedOnIsMain) {
    EXPECT_TRUE(dispatch::isMainThread());
    bool onWorker = true;
    std::thread worker([&] { onWorker = dispatch::isMainThread(); });
    worker.join();
    EXPECT_FALSE(onWorker);
}
