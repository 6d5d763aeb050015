#include "statusbar/HistorySegments.h"

#include "platform/graphics/RecordingContext.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace pulsedeck {
namespace {

using Heights = std::vector<std::optional<double>>;

Heights ramp(std::size_t count) {
    Heights heights;
    for (std::size_t i = 0; i < count; ++i) {
        heights.push_back(static_cast<double>(i % 10) / 10);
    }
    return heights;
}

TEST(HistorySegments, AShortHistoryIsRightAligned) {
    gfx::Rect rect{0, 0, 59, 10};
    std::vector<HistorySegment> segments = historySegments(ramp(10), 60, rect);
    ASSERT_EQ(segments.size(), 10u);
    // Ten samples cover the right 10/59 of the width; the newest sits on the right edge.
    EXPECT_DOUBLE_EQ(segments.front().from.x, 49);
    EXPECT_DOUBLE_EQ(segments.front().to.x, 50);
    EXPECT_DOUBLE_EQ(segments.back().to.x, 59);
    // The oldest drawn sample starts flat.
    EXPECT_DOUBLE_EQ(segments.front().from.y, segments.front().to.y);
    EXPECT_DOUBLE_EQ(segments[3].from.y, 2);
    EXPECT_DOUBLE_EQ(segments[3].to.y, 3);
}

TEST(HistorySegments, OnlyTheLastSlotsAreDrawn) {
    gfx::Rect rect{5, 3, 118, 18};
    Heights heights = ramp(75);
    std::vector<HistorySegment> segments = historySegments(heights, 60, rect);
    ASSERT_EQ(segments.size(), 60u);
    EXPECT_EQ(segments.front().sample, 15u);
    EXPECT_DOUBLE_EQ(segments.front().to.x, 5);
    EXPECT_DOUBLE_EQ(segments.back().to.x, 123);
    EXPECT_EQ(segments.back().sample, 74u);
}

TEST(HistorySegments, AGapLeavesAnEmptyColumnAndTheNextStartsFlat) {
    gfx::Rect rect{0, 0, 10, 100};
    Heights heights{0.5, std::nullopt, 0.3, std::numeric_limits<double>::quiet_NaN(), 0.9, 0.1};
    std::vector<HistorySegment> segments = historySegments(heights, 6, rect);
    ASSERT_EQ(segments.size(), 4u);
    EXPECT_EQ(segments[0].sample, 0u);
    EXPECT_EQ(segments[1].sample, 2u);
    EXPECT_DOUBLE_EQ(segments[1].from.y, 30);
    EXPECT_DOUBLE_EQ(segments[1].to.y, 30);
    EXPECT_DOUBLE_EQ(segments[1].from.x, 2);
    EXPECT_EQ(segments[2].sample, 4u);
    EXPECT_DOUBLE_EQ(segments[2].from.y, 90);
    EXPECT_DOUBLE_EQ(segments[3].from.y, 90);
    EXPECT_DOUBLE_EQ(segments[3].to.y, 10);
}

TEST(HistorySegments, FewerThanTwoSlotsCountAsTwo) {
    gfx::Rect rect{0, 0, 20, 10};
    for (std::size_t slots : {0u, 1u}) {
        std::vector<HistorySegment> segments = historySegments(Heights{0.2, 0.4, 0.6}, slots, rect);
        EXPECT_EQ(segments, historySegments(Heights{0.2, 0.4, 0.6}, 2, rect)) << slots;
        ASSERT_EQ(segments.size(), 2u);
        EXPECT_DOUBLE_EQ(segments[0].to.x, 0);
        EXPECT_DOUBLE_EQ(segments[1].to.x, 20);
        EXPECT_TRUE(std::isfinite(segments[0].from.x));
    }
    EXPECT_TRUE(historySegments(Heights{}, 60, rect).empty());
}

TEST(HistorySegments, RunsOfOneColourArePaintedTogether) {
    gfx::RecordingContext context({40, 10});
    gfx::Rect rect{0, 0, 40, 10};
    std::vector<HistorySegment> segments =
        historySegments(Heights{0.1, 0.2, 0.3, 0.4, 0.5}, 5, rect);
    gfx::Color red = gfx::Color::srgb(1, 0, 0);
    gfx::Color blue = gfx::Color::srgb(0, 0, 1);
    auto colorOf = [&](const HistorySegment& segment) { return segment.sample < 3 ? red : blue; };
    gfx::ChartPainter painter(context);
    fillHistorySegments(painter, segments, 0, colorOf);
    strokeHistorySegments(painter, segments, colorOf);

    std::vector<gfx::FillRecord> fills = context.log().fills();
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].color, red);
    EXPECT_DOUBLE_EQ(fills[0].bounds.minX(), -10);
    EXPECT_DOUBLE_EQ(fills[0].bounds.maxX(), 20);
    EXPECT_DOUBLE_EQ(fills[0].bounds.minY(), 0);
    EXPECT_DOUBLE_EQ(fills[0].bounds.maxY(), 3);
    EXPECT_EQ(fills[1].color, blue);
    EXPECT_DOUBLE_EQ(fills[1].bounds.minX(), 20);
    EXPECT_DOUBLE_EQ(fills[1].bounds.maxX(), 40);

    std::vector<gfx::StrokeRecord> strokes = context.log().strokes();
    ASSERT_EQ(strokes.size(), 2u);
    EXPECT_EQ(strokes[1].color, blue);
    EXPECT_DOUBLE_EQ(strokes[1].lineWidth, 1);
    EXPECT_DOUBLE_EQ(strokes[1].bounds.minY(), 3);
    EXPECT_DOUBLE_EQ(strokes[1].bounds.maxY(), 5);
}

} // namespace
} // namespace pulsedeck
