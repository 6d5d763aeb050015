#include "platform/dispatch/Clock.h"

#include <gtest/gtest.h>

TEST(Clock, UptimeMovesForwardAndVirtualClockOnlyWhenStepped) {
    double a = dispatch::systemUptime();
    double b = dispatch::systemUptime();
    EXPECT_GT(a, 0.0);
    EXPECT_GE(b, a);

    dispatch::VirtualClock clock(5.0);
    EXPECT_EQ(clock.now(), 5.0);
    clock.advance(0.25);
    EXPECT_EQ(clock.now(), 5.25);
    clock.set(1.0);
    EXPECT_EQ(clock.now(), 1.0);
}
