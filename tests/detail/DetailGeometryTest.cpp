#include "detail/DetailGeometry.h"

#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

constexpr auto details = DetailPresentation::details;
constexpr auto overview = DetailPresentation::overview;

TEST(DetailGeometry, FooterGrowsARowPerSliderRow) {
    struct Case {
        int visible;
        DetailPresentation presentation;
        double contentWidth;
        double footer;
    };
    const Case cases[] = {
        {0, details, 318, 80},   {1, details, 318, 116},  {2, details, 318, 152},
        {6, details, 318, 152},  {2, overview, 308, 152}, {2, overview, 479.9, 152},
        {2, overview, 480, 116}, {1, overview, 596, 116}, {0, overview, 596, 80},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detailFooterHeight(c.visible, c.presentation, c.contentWidth), c.footer)
            << c.visible << " visible, width " << c.contentWidth;
}

TEST(DetailGeometry, StripSlidersStackOrShareARowAndHideByVisibleCount) {
    auto one = stripSliderFrames(318, details, 318, 1);
    EXPECT_EQ(one.chartLength, (gfx::Rect{132, 85, 126, 22}));
    EXPECT_FALSE(one.chartLengthHidden);
    EXPECT_TRUE(one.gapHidden);
    auto six = stripSliderFrames(318, details, 318, 6);
    EXPECT_EQ(six.chartLength.y(), 121);
    EXPECT_EQ(six.gap, (gfx::Rect{132, 85, 126, 22}));
    EXPECT_TRUE(stripSliderFrames(318, details, 318, 0).chartLengthHidden);

    // A wide overview puts both in the lower row, the gap in the right half.
    auto wide = stripSliderFrames(596, overview, 596, 6);
    EXPECT_EQ(wide.chartLength, (gfx::Rect{132, 85, 106, 22}));
    EXPECT_EQ(wide.gap, (gfx::Rect{298 + 132, 85, 106, 22}));
    auto narrow = stripSliderFrames(308, overview, 308, 6);
    EXPECT_EQ(narrow.gap, (gfx::Rect{132, 121, 116, 22}));
    EXPECT_EQ(stripSliderFrames(200, details, 318, 6).gap.width(), 50) << "never under 50";
}

TEST(DetailGeometry, ScrollerShowsOnlyBeyondHalfAPointAndTracksTheOffset) {
    EXPECT_FALSE(scrollerFigures(400, 400.5, 0).needed);
    EXPECT_EQ(scrollerFigures(400, 400.5, 0).knobProportion, 400 / 400.5);
    EXPECT_TRUE(scrollerFigures(400, 400.6, 0).needed);
    const auto middle = scrollerFigures(400, 1000, 300);
    EXPECT_EQ(middle.value, 0.5);
    EXPECT_EQ(middle.knobProportion, 0.4);
    EXPECT_EQ(scrollerFigures(400, 1000, 900).value, 1) << "overscroll reads as the end";
    EXPECT_EQ(scrollerFigures(400, 1000, -20).value, 0);
    EXPECT_EQ(scrollerFigures(400, 0, 0).knobProportion, 1) << "no document";
    EXPECT_EQ(scrollerFigures(400, 200, 50).value, 0);
}

TEST(DetailGeometry, ScrollOffsetStaysInsideTheDocument) {
    EXPECT_EQ(clampedScrollOffset(900, 1786, 400), 900);
    EXPECT_EQ(clampedScrollOffset(1500, 1786, 400), 1386);
    EXPECT_EQ(clampedScrollOffset(300, 268, 400), 0) << "a document shorter than the clip";
    EXPECT_EQ(clampedScrollOffset(-5, 1786, 400), 0);
}

TEST(DetailGeometry, FittedFontsShrinkToTheWidthButNeverGrowOrDropBelow8) {
    EXPECT_EQ(fittedFontSize(54, 108, 11), 11);
    EXPECT_EQ(fittedFontSize(216, 108, 11), 8);
    EXPECT_EQ(fittedFontSize(120, 108, 11), 108 * 11 / 120.0);
    EXPECT_EQ(fittedFontSize(std::numeric_limits<double>::quiet_NaN(), 108, 11), 11);
}

TEST(DetailGeometry, MemoryRegionsRunDownFromTheColourRow) {
    const double height = detailSectionHeight(ModuleKind::memory, details, {});
    const auto regions = sectionRegions(ModuleKind::memory, details, 282, height, {});
    EXPECT_EQ(regions.at("color-memory"), (gfx::Rect{0, 379 - 27, 282, 27}));
    EXPECT_EQ(regions.at("memoryChart"), (gfx::Rect{0, 343 - 76, 282, 76}));
    EXPECT_EQ(regions.at("memoryRow0").maxY(), 343 - 76 - 12);
    EXPECT_EQ(regions.at("memoryChartChoice"), (gfx::Rect{0, 15, 282, 27}));
    EXPECT_GE(regions.at("memoryChartChoice").minY(), 0) << "every row inside the card";

    const auto compact = sectionRegions(ModuleKind::memory, overview, 244, 264, {});
    EXPECT_EQ(compact.at("color-memory"), (gfx::Rect{0, 264 - 25, 244, 25}));
    EXPECT_EQ(compact.at("memoryChart").height(), 32);
    EXPECT_GE(compact.at("memoryChartChoice").minY(), 0);
}

TEST(DetailGeometry, ComputeHasTwoColourRowsAndOnlyTheOverviewFanHasAChart) {
    const auto compute = sectionRegions(ModuleKind::compute, details, 282, 249, {});
    EXPECT_EQ(compute.at("color-cpu").minY(), 249 - 27);
    EXPECT_EQ(compute.at("color-gpu").minY(), 249 - 27 - 9 - 27);
    EXPECT_EQ(compute.at("computeChart").maxY(), 249 - 72);
    EXPECT_FALSE(sectionRegions(ModuleKind::fan, details, 282, 190, {}).contains("fanChart"));
    const auto fan = sectionRegions(ModuleKind::fan, overview, 244, 224, {});
    EXPECT_EQ(fan.at("fanChart").height(), 36);
    EXPECT_EQ(fan.at("fan0").maxY(), fan.at("fanChart").minY() - 8);
    EXPECT_EQ(
        sectionRegions(ModuleKind::network, overview, 244, 234, {}).at("networkChart").height(),
        36);
}

TEST(DetailGeometry, DeviceRowsFollowEachCardsHeight) {
    // No device: one empty slot still, and the hint in the details only.
    const auto none = sectionRegions(ModuleKind::devices, details, 282, 124, {});
    EXPECT_EQ(none.at("device0"), (gfx::Rect{0, 124 - 36 - 56, 282, 56}));
    EXPECT_EQ(none.at("deviceHint"), (gfx::Rect{0, 124 - 36 - 56 - 8 - 18, 282, 18}));
    const auto noneCompact = sectionRegions(ModuleKind::devices, overview, 244, 120, {});
    EXPECT_EQ(noneCompact.at("device0").height(), 44);
    EXPECT_FALSE(noneCompact.contains("deviceHint"));

    const std::vector<bool> two = {true, false};
    const double height = detailSectionHeight(ModuleKind::devices, details, two);
    EXPECT_EQ(height, 24 + 76 + 64 + 36);
    const auto listed = sectionRegions(ModuleKind::devices, details, 282, height, two);
    EXPECT_EQ(listed.at("device0").height(), 68);
    EXPECT_EQ(listed.at("device1").height(), 56);
    EXPECT_EQ(listed.at("device1").maxY(), listed.at("device0").minY() - 8);
    EXPECT_FALSE(listed.contains("device2"));
}

TEST(DetailGeometry, AWideOverviewPairsDevicesInRows) {
    const std::vector<bool> five = {true, false, false, false, true};
    const auto regions = sectionRegions(ModuleKind::devices, overview, 500, 400, five);
    EXPECT_TRUE(regions.contains("deviceRow0"));
    EXPECT_TRUE(regions.contains("deviceRow2"));
    EXPECT_TRUE(regions.contains("deviceRow4"));
    EXPECT_FALSE(regions.contains("deviceRow1"));
    EXPECT_EQ(regions.at("deviceRow0").height(), 68) << "the taller card sets the row";
    EXPECT_EQ(regions.at("deviceRow2").height(), 56);
    EXPECT_EQ(regions.at("device1"), (gfx::Rect{254, regions.at("deviceRow0").minY(), 246, 68}));
    EXPECT_EQ(regions.at("device4").x(), 0) << "the last row holds one device";
    EXPECT_FALSE(regions.contains("device5"));
}

} // namespace
} // namespace pulsedeck
