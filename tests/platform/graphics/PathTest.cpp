#include "platform/graphics/Path.h"

#include <gtest/gtest.h>

namespace gfx {
namespace {

TEST(Path, ClockwiseQuarterArcFromTopEndsAtRight) {
    Path path;
    path.appendArc({0, 0}, 10, 90, 0, true);
    ASSERT_TRUE(path.currentPoint());
    EXPECT_NEAR(path.currentPoint()->x, 10, 1e-9);
    EXPECT_NEAR(path.currentPoint()->y, 0, 1e-9);
    Rect bounds = path.bounds();
    EXPECT_NEAR(bounds.minX(), 0, 1e-9);
    EXPECT_NEAR(bounds.maxY(), 10, 1e-9);
    EXPECT_NEAR(bounds.minY(), 0, 1e-9);
}

TEST(Path, CounterclockwiseQuarterArcFromTopGoesLeft) {
    Path path;
    path.appendArc({0, 0}, 10, 90, 0, false);
    // Anticlockwise from 90° to 0° is three quarters of a turn through the left and the bottom.
    Rect bounds = path.bounds();
    EXPECT_NEAR(bounds.minX(), -10, 1e-9);
    EXPECT_NEAR(bounds.minY(), -10, 1e-9);
    EXPECT_NEAR(bounds.maxX(), 10, 1e-9);
}

TEST(Path, FullTurnSweepsEitherWayGiveWholeCircle) {
    for (bool clockwise : {false, true}) {
        Path path;
        path.appendArc({5, 5}, 4, 90, clockwise ? -270 : 450, clockwise);
        Rect bounds = path.bounds();
        EXPECT_NEAR(bounds.minX(), 1, 1e-9);
        EXPECT_NEAR(bounds.maxX(), 9, 1e-9);
        EXPECT_NEAR(bounds.minY(), 1, 1e-9);
        EXPECT_NEAR(bounds.maxY(), 9, 1e-9);
        EXPECT_NEAR(path.currentPoint()->x, 5, 1e-9);
        EXPECT_NEAR(path.currentPoint()->y, 9, 1e-9);
    }
}

TEST(Path, RoundedRectClampsRadiiToHalfTheSide) {
    Path clamped = Path::roundedRect({0, 0, 40, 10}, 30, 30);
    Path capsule = Path::roundedRect({0, 0, 40, 10}, 20, 5);
    EXPECT_EQ(clamped.elements().size(), capsule.elements().size());
    for (std::size_t i = 0; i < clamped.elements().size(); ++i) {
        for (int p = 0; p < 3; ++p) {
            EXPECT_NEAR(clamped.elements()[i].points[p].x, capsule.elements()[i].points[p].x,
                        1e-12);
            EXPECT_NEAR(clamped.elements()[i].points[p].y, capsule.elements()[i].points[p].y,
                        1e-12);
        }
    }
    EXPECT_FALSE(clamped.containsPoint({0.5, 0.5}));
    EXPECT_TRUE(clamped.containsPoint({5, 5}));
    EXPECT_EQ(Path::roundedRect({0, 0, 40, 10}, 0, 0).bounds(), Rect(0, 0, 40, 10));
}

} // namespace
} // namespace gfx
