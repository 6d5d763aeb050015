#include "updates/MenuBarTipTimeline.h"

#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

TEST(MenuBarTipTimeline, EachMovementRunsInItsOwnStretchOfTheLoop) {
    struct Row {
        double time;
        MenuBarTipFactors expected;
    };
    // back, drag, release, close
    const Row rows[] = {
        {0, {1, 0, 0, 0}},          {0.5, {1, 0, 0, 0}},
        {1.05, {1, 0.5, 0, 0}},     {1.6, {1, 1, 0, 0}},
        {1.725, {1, 1, 0.5, 0}},    {1.85, {1, 1, 1, 0}},
        {2.075, {1, 1, 1, 0.5}},    {2.3, {1, 1, 1, 1}},
        {3.85, {1, 1, 1, 1}},       {4.025, {0.5, 0.5, 0.5, 0.5}},
        {4.2 - 1e-6, {0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.time);
        const MenuBarTipFactors factors = menuBarTipFactors(row.time);
        EXPECT_NEAR(factors.back, row.expected.back, 1e-9);
        EXPECT_NEAR(factors.drag, row.expected.drag, 1e-9);
        EXPECT_NEAR(factors.release, row.expected.release, 1e-9);
        EXPECT_NEAR(factors.close, row.expected.close, 1e-9);
    }
}

TEST(MenuBarTipTimeline, TheLoopRepeatsAndReduceMotionHoldsTheStillFrame) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NEAR(menuBarTipTime(5.0, false), 0.8, 1e-12);
    EXPECT_NEAR(menuBarTipTime(4.2 * 3 + 1.25, false), 1.25, 1e-9);
    EXPECT_EQ(menuBarTipTime(-0.5, false), 0) << "a clock that stepped back rests";
    EXPECT_EQ(menuBarTipTime(nan, false), 0);
    for (double elapsed : {0.0, 0.5, 3.0, 1e6, nan})
        EXPECT_EQ(menuBarTipTime(elapsed, true), 1.5);
}

TEST(MenuBarTipTimeline, TheStripIsDimBehindTheMenusAndFullOnceClear) {
    const double rows[][2] = {{50, 0.3}, {93, 0.3}, {98, 0.65}, {103, 1}, {180, 1}};
    for (const auto& [edge, fraction] : rows)
        EXPECT_NEAR(menuBarTipStripFraction(edge), fraction, 1e-12) << edge;
}

} // namespace
} // namespace pulsedeck
