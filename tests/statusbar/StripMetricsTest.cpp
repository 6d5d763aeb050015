#include "statusbar/StripMetrics.h"

#include "support/NonFinite.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

using testsupport::inf;
using testsupport::nan;

StripMetrics atHeight(double height) {
    StripMetrics metrics;
    metrics.height = height;
    return metrics;
}

TEST(StripMetrics, HeightScaleTakesThePaddingOffAndCapsAtSevenSixths) {
    EXPECT_DOUBLE_EQ(atHeight(24).heightScale(), 20.5 / 24);
    EXPECT_DOUBLE_EQ(atHeight(30).heightScale(), 26.5 / 24);
    EXPECT_NEAR(atHeight(30).heightScale(), 1.104, 0.001);
    EXPECT_DOUBLE_EQ(atHeight(40).heightScale(), 7.0 / 6.0);
    EXPECT_DOUBLE_EQ(atHeight(40).heightScale() * 24, 28);

    StripMetrics mark = atHeight(24);
    mark.displaysAppMark = true;
    EXPECT_DOUBLE_EQ(mark.padding(), 0);
    EXPECT_DOUBLE_EQ(mark.heightScale(), 1);

    EXPECT_DOUBLE_EQ(atHeight(2).heightScale(), 0);
    EXPECT_DOUBLE_EQ(atHeight(nan).heightScale(), 0);
}

TEST(StripMetrics, RequiredWidthKeepsWhatIsLeftOfThePadding) {
    StripMetrics metrics = atHeight(24);
    const double modules = metrics.modulesWidth({{ModuleKind::memory, 40}});
    EXPECT_DOUBLE_EQ(modules, 40 * 20.5 / 24);
    EXPECT_EQ(metrics.requiredWidth(modules), 36);
    // 1.75 − 20.5/24 per side.
    EXPECT_EQ(metrics.requiredWidth(100), std::ceil(100 + 2 * (1.75 - 20.5 / 24) - 0.001));
    // A whole-number result does not gain a point from rounding noise.
    EXPECT_EQ(metrics.requiredWidth(100 - 2 * (1.75 - 20.5 / 24)), 100);

    StripMetrics mark = atHeight(24);
    mark.displaysAppMark = true;
    EXPECT_EQ(mark.requiredWidth(40), 40);
}

TEST(StripMetrics, AnEmptyStripKeepsRoomForOneModule) {
    EXPECT_EQ(atHeight(24).requiredWidth(0), 24);
    EXPECT_EQ(atHeight(40).requiredWidth(0), 32);
    EXPECT_EQ(atHeight(2).requiredWidth(0), 4);
    EXPECT_EQ(atHeight(nan).requiredWidth(0), 4);
}

TEST(StripMetrics, GapsAreUnscaledAndOnlyBetweenShownModules) {
    StripMetrics metrics = atHeight(24);
    metrics.gap = 6;
    const double s = metrics.heightScale();
    EXPECT_DOUBLE_EQ(metrics.modulesWidth({}), 0);
    EXPECT_DOUBLE_EQ(metrics.modulesWidth({{ModuleKind::memory, 40}}), 40 * s);
    EXPECT_DOUBLE_EQ(metrics.modulesWidth({{ModuleKind::memory, 40}, {ModuleKind::network, 60}}),
                     6 + 100 * s);
}

TEST(StripMetrics, FanWidthGrowsFromTheRingByTheChartPlus72) {
    EXPECT_DOUBLE_EQ(fanModuleWidth(85, 0), 24);
    EXPECT_DOUBLE_EQ(fanModuleWidth(85, 1), 181);
    EXPECT_DOUBLE_EQ(fanModuleWidth(10, 1), 24 + 88);
    EXPECT_DOUBLE_EQ(fanModuleWidth(10, 0.5), 24 + 44);
    EXPECT_DOUBLE_EQ(fanModuleWidth(inf, 1), 24 + 157);
    EXPECT_DOUBLE_EQ(fanModuleWidth(500, 1), 24 + 232);
    EXPECT_DOUBLE_EQ(fanModuleWidth(84.5, 1), 24 + 85 + 72);
    EXPECT_DOUBLE_EQ(fanModuleWidth(85, 2), 181);
    EXPECT_DOUBLE_EQ(fanModuleWidth(85, -1), 24);
    EXPECT_DOUBLE_EQ(fanModuleWidth(85, nan), 24);
}

TEST(StripMetrics, LayoutCentresTheModulesLeftToRight) {
    StripMetrics metrics = atHeight(30);
    metrics.gap = 8;
    const double s = metrics.heightScale();
    const std::vector<std::pair<ModuleKind, double>> shown{{ModuleKind::network, 50},
                                                           {ModuleKind::memory, 40}};
    const ModuleRects rects = metrics.layout(shown);
    ASSERT_EQ(rects.size(), 2u);
    const double modules = metrics.modulesWidth(shown);
    const double x0 = (metrics.requiredWidth(modules) - modules) / 2;
    EXPECT_GT(x0, 0);
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::network).x(), x0);
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::network).y(), 15 - 12 * s);
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::network).width(), 50 * s);
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::network).height(), 24 * s);
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::memory).x(), x0 + 50 * s + 8);
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::memory).width(), 40 * s);
    EXPECT_LE(rects.at(ModuleKind::memory).maxX(), metrics.requiredWidth(modules));
}

} // namespace
} // namespace pulsedeck
