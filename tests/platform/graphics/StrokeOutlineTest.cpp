#include "platform/graphics/StrokeOutline.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace gfx {
namespace {

using Pieces = std::vector<std::vector<Point>>;

Pieces outline(std::vector<Point> polyline, double width) {
    Pieces pieces;
    bevelStrokeOutline(polyline, width, [&](std::span<const Point> piece) {
        pieces.emplace_back(piece.begin(), piece.end());
    });
    return pieces;
}

double signedArea(const std::vector<Point>& polygon) {
    double twice = 0;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Point& a = polygon[i];
        const Point& b = polygon[(i + 1) % polygon.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return twice / 2;
}

double totalArea(const Pieces& pieces) {
    double total = 0;
    for (const std::vector<Point>& piece : pieces) {
        total += std::fabs(signedArea(piece));
    }
    return total;
}

TEST(StrokeOutline, ASegmentIsARectangleHalfTheWidthEitherSide) {
    Pieces pieces = outline({{0, 0}, {10, 0}}, 2);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0], (std::vector<Point>{{0, 1}, {10, 1}, {10, -1}, {0, -1}}));
}

TEST(StrokeOutline, ACornerIsBevelledOutsideAndMeetsWithoutOverlapInside) {
    // Right, then up, 2 wide: the inner edges meet at (9, 1); the bevel runs from (10, −1) to
    // (11, 0). Two 10 × 2 rectangles sharing a 1 × 1 square, and half a square of bevel.
    Pieces pieces = outline({{0, 0}, {10, 0}, {10, 10}}, 2);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0],
              (std::vector<Point>{{0, 1}, {9, 1}, {9, 10}, {11, 10}, {11, 0}, {10, -1}, {0, -1}}));
    EXPECT_NEAR(totalArea(pieces), 20 + 20 - 1 + 0.5, 1e-9);

    // Turning the other way mirrors it.
    Pieces mirrored = outline({{0, 0}, {10, 0}, {10, -10}}, 2);
    ASSERT_EQ(mirrored.size(), 1u);
    EXPECT_EQ(mirrored[0], (std::vector<Point>{
                               {0, 1}, {10, 1}, {11, 0}, {11, -10}, {9, -10}, {9, -1}, {0, -1}}));
}

TEST(StrokeOutline, ASharpTurnBetweenShortSegmentsKeepsSquareEnds) {
    // The inner edges of a hairpin cross far beyond these short segments: each keeps its whole
    // rectangle and the corner is the plain bevel from the turning point.
    Pieces pieces = outline({{0, 0}, {1, 0}, {0, 0.2}}, 2);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_NEAR(std::fabs(signedArea(pieces[0])), 2, 1e-9);
    EXPECT_NEAR(std::fabs(signedArea(pieces[2])), 2 * std::hypot(1, 0.2), 1e-9);
    EXPECT_EQ(pieces[1][0], (Point{1, 0}));
}

TEST(StrokeOutline, EveryPieceWindsTheSameWay) {
    Pieces pieces = outline({{0, 0}, {3, 8}, {6, -2}, {9, 9}, {4, 4}, {20, 1}}, 1.5);
    ASSERT_FALSE(pieces.empty());
    for (const std::vector<Point>& piece : pieces) {
        EXPECT_LT(signedArea(piece), 0);
    }
}

TEST(StrokeOutline, StraightOnAndRepeatedPointsAddNoJoin) {
    Pieces straight = outline({{0, 0}, {5, 0}, {10, 0}}, 1);
    ASSERT_EQ(straight.size(), 1u);
    EXPECT_NEAR(totalArea(straight), 10, 1e-9);
    // The repeated point is passed over: the corner joins the two real segments.
    Pieces repeated = outline({{0, 0}, {5, 0}, {5, 0}, {5, 5}}, 1);
    ASSERT_EQ(repeated.size(), 1u);
    EXPECT_NEAR(totalArea(repeated), 5 + 5 - 0.25 + 0.125, 1e-9);
}

TEST(StrokeOutline, NothingToOutline) {
    EXPECT_TRUE(outline({}, 1).empty());
    EXPECT_TRUE(outline({{3, 3}}, 1).empty());
    EXPECT_TRUE(outline({{3, 3}, {3, 3}}, 1).empty());
    EXPECT_TRUE(outline({{0, 0}, {10, 0}}, 0).empty());
    EXPECT_TRUE(outline({{0, 0}, {10, 0}}, -1).empty());
    EXPECT_TRUE(outline({{0, 0}, {10, 0}}, std::nan("")).empty());
}

} // namespace
} // namespace gfx
