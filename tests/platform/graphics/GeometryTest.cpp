#include "platform/graphics/Geometry.h"

#include "platform/graphics/AffineTransform.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace gfx {
namespace {

TEST(Geometry, EdgesOfARect) {
    Rect r{10, 20, 30, 40};
    EXPECT_EQ(r.minX(), 10);
    EXPECT_EQ(r.midX(), 25);
    EXPECT_EQ(r.maxX(), 40);
    EXPECT_EQ(r.minY(), 20);
    EXPECT_EQ(r.midY(), 40);
    EXPECT_EQ(r.maxY(), 60);
    // A negative extent reads as the standardised rect.
    Rect flipped{40, 60, -30, -40};
    EXPECT_EQ(flipped.minX(), 10);
    EXPECT_EQ(flipped.maxY(), 60);
    EXPECT_EQ(flipped.standardized(), r);
    EXPECT_TRUE(flipped.isEmpty());
}

TEST(Geometry, EmptyMeansNoArea) {
    EXPECT_TRUE(Rect().isEmpty());
    EXPECT_TRUE(Rect(0, 0, 10, 0).isEmpty());
    EXPECT_TRUE(Rect(0, 0, std::nan(""), 5).isEmpty());
    EXPECT_FALSE(Rect(0, 0, 0.01, 0.01).isEmpty());
}

TEST(Geometry, InsetAndOffset) {
    Rect r{0, 0, 20, 10};
    EXPECT_EQ(r.insetBy(2, 3), Rect(2, 3, 16, 4));
    EXPECT_EQ(r.insetBy(-1, -1), Rect(-1, -1, 22, 12));
    // Insetting past the middle leaves nothing rather than a negative rect.
    EXPECT_TRUE(r.insetBy(11, 0).isEmpty());
    EXPECT_EQ(r.offsetBy(5, -5), Rect(5, -5, 20, 10));
}

TEST(Geometry, UnionIgnoresEmptyRects) {
    Rect a{0, 0, 10, 10};
    Rect b{20, 5, 5, 20};
    EXPECT_EQ(a.unionWith(b), Rect(0, 0, 25, 25));
    EXPECT_EQ(a.unionWith(Rect{100, 100, 0, 0}), a);
    EXPECT_EQ(Rect{}.unionWith(b), b);
}

TEST(Geometry, IntersectionAndContainment) {
    Rect a{0, 0, 10, 10};
    EXPECT_EQ(a.intersection({5, 5, 10, 10}), Rect(5, 5, 5, 5));
    EXPECT_EQ(a.intersection({10, 0, 5, 5}), Rect()) << "touching edges do not overlap";
    EXPECT_FALSE(a.intersects({10, 0, 5, 5}));
    EXPECT_TRUE(a.contains(Point{0, 0}));
    EXPECT_FALSE(a.contains(Point{10, 5})) << "the max edge is outside";
    EXPECT_TRUE(a.contains(Rect{2, 2, 8, 8}));
    EXPECT_FALSE(a.contains(Rect{2, 2, 9, 8}));
}

TEST(Geometry, IntegralGrowsToWholePoints) {
    EXPECT_EQ(Rect(0.5, 1.2, 2, 2).integral(), Rect(0, 1, 3, 3));
    EXPECT_EQ(Rect(-0.5, 0, 1, 1).integral(), Rect(-1, 0, 2, 1));
}

TEST(Geometry, RoundingTakesHalvesAwayFromZero) {
    EXPECT_EQ(roundHalfAwayFromZero(2.5), 3);
    EXPECT_EQ(roundHalfAwayFromZero(-2.5), -3);
    EXPECT_EQ(roundHalfAwayFromZero(84.49), 84);
    EXPECT_EQ(roundHalfAwayFromZero(0.5), 1);
}

TEST(Geometry, BoundingRectHoldsEveryPointAndNoneGivesZero) {
    const gfx::Point points[] = {{3, -1}, {-2, 4}, {5, 2}};
    EXPECT_EQ(gfx::boundingRect(points), (gfx::Rect{-2, -1, 7, 5}));
    const gfx::Point one[] = {{1, 2}};
    EXPECT_EQ(gfx::boundingRect(one), (gfx::Rect{1, 2, 0, 0}));
    EXPECT_EQ(gfx::boundingRect({}), gfx::Rect{});
}

TEST(AffineTransform, ALaterStepAppliesInTheSpaceOfTheEarlier) {
    // translate then rotate, as a context's translateBy followed by rotateBy: the rotation
    // happens in the translated space.
    AffineTransform t = AffineTransform::identity().translatedBy(10, 0).rotatedByDegrees(90);
    Point p = t.apply(Point{1, 0});
    EXPECT_NEAR(p.x, 10, 1e-12);
    EXPECT_NEAR(p.y, 1, 1e-12);
    AffineTransform s =
        AffineTransform::scaling(2, 3).concatenating(AffineTransform::translation(1, 1));
    EXPECT_EQ(s.apply(Point{1, 1}), (Point{3, 4}));
}

TEST(AffineTransform, RadiansAndDegreesAgree) {
    AffineTransform degrees = AffineTransform::rotationDegrees(30);
    AffineTransform radians = AffineTransform::rotationRadians(std::numbers::pi / 6);
    EXPECT_NEAR(degrees.a, radians.a, 1e-12);
    EXPECT_NEAR(degrees.b, radians.b, 1e-12);
    // Right angles are exact.
    EXPECT_EQ(AffineTransform::rotationDegrees(90).apply(Point{2, 0}), (Point{0, 2}));
    EXPECT_EQ(AffineTransform::rotationDegrees(-90).apply(Point{2, 0}), (Point{0, -2}));
}

TEST(AffineTransform, InvertUndoesAndZeroScaleHasNoInverse) {
    AffineTransform t = AffineTransform::translation(5, -3).rotatedByDegrees(33).scaledBy(2, 0.5);
    std::optional<AffineTransform> inverse = t.inverted();
    ASSERT_TRUE(inverse);
    Point back = inverse->apply(t.apply(Point{7, 11}));
    EXPECT_NEAR(back.x, 7, 1e-9);
    EXPECT_NEAR(back.y, 11, 1e-9);
    EXPECT_FALSE(AffineTransform::scaling(0, 1).inverted());
}

TEST(AffineTransform, RectBoundsAfterRotation) {
    Rect r = AffineTransform::rotationDegrees(90).apply(Rect{0, 0, 10, 4});
    EXPECT_EQ(r, Rect(-4, 0, 4, 10));
}

} // namespace
} // namespace gfx
