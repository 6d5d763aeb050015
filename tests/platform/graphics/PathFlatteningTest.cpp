#include "platform/graphics/PathFlattening.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace gfx {
namespace {

std::vector<Point> pointsOf(const FlatPath& flat, std::size_t index) {
    std::span<const Point> points = flat.points(flat.subpaths().at(index));
    return {points.begin(), points.end()};
}

double distance(Point a, Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

TEST(PathFlattening, CurvesStayWithinTheToleranceOfTheCircle) {
    for (double radius : {0.5, 3.0, 9.5, 40.0, 400.0}) {
        for (double tolerance : {0.1, 0.02}) {
            Path circle = Path::oval({-radius, -radius, 2 * radius, 2 * radius});
            FlatPath flat(circle, AffineTransform{}, tolerance);
            ASSERT_EQ(flat.subpaths().size(), 1u);
            EXPECT_TRUE(flat.subpaths()[0].closed);
            std::vector<Point> points = pointsOf(flat, 0);
            ASSERT_GE(points.size(), 4u);
            for (std::size_t i = 0; i < points.size(); ++i) {
                Point p = points[i], q = points[(i + 1) % points.size()];
                // The cubic arcs themselves stray from the circle by a few parts in ten thousand.
                EXPECT_NEAR(distance(p, {0, 0}), radius, radius * 3e-4 + 1e-9);
                Point middle{(p.x + q.x) / 2, (p.y + q.y) / 2};
                EXPECT_LE(radius - distance(middle, {0, 0}), tolerance + radius * 3e-4)
                    << radius << " " << tolerance;
            }
            // No more chords than needed: a tenth of the tolerance would be far too fine.
            double chordsForTenthOfTolerance = M_PI / std::acos(1 - tolerance / 10 / radius);
            EXPECT_LT(double(points.size()), chordsForTenthOfTolerance) << radius;
        }
    }
}

TEST(PathFlattening, FlattensInDeviceSpace) {
    Path path;
    path.moveTo({1, 2});
    path.lineTo({3, 2});
    FlatPath flat(path, AffineTransform{2, 0, 0, -2, 10, 40});
    EXPECT_EQ(pointsOf(flat, 0), (std::vector<Point>{{12, 36}, {16, 36}}));
    EXPECT_FALSE(flat.subpaths()[0].closed);
    EXPECT_EQ(flat.bounds(), (Rect{12, 36, 4, 0}));

    // A quarter circle of radius 10 pt at scale 4 needs the chords of a 40-pixel one.
    Path arc;
    arc.appendArc({0, 0}, 10, 0, 90, false);
    std::size_t atOne = pointsOf(FlatPath(arc, AffineTransform{}), 0).size();
    FlatPath scaled(arc, AffineTransform::scaling(4, 4));
    EXPECT_GT(pointsOf(scaled, 0).size(), atOne);
}

TEST(PathFlattening, SubpathsBeginAsCairosDo) {
    Path path;
    path.moveTo({0, 0});
    path.lineTo({4, 0});
    path.lineTo({4, 4});
    path.lineTo({0, 0});
    path.close();
    // A line after a close begins at the closed subpath's start.
    path.lineTo({-4, 0});
    path.moveTo({9, 9});
    path.moveTo({10, 10});
    path.lineTo({10, 10});
    path.lineTo({12, 10});
    FlatPath flat(path, AffineTransform{});
    ASSERT_EQ(flat.subpaths().size(), 4u);
    // The closing point that repeats the first is dropped.
    EXPECT_EQ(pointsOf(flat, 0), (std::vector<Point>{{0, 0}, {4, 0}, {4, 4}}));
    EXPECT_TRUE(flat.subpaths()[0].closed);
    EXPECT_EQ(pointsOf(flat, 1), (std::vector<Point>{{0, 0}, {-4, 0}}));
    EXPECT_FALSE(flat.subpaths()[1].closed);
    EXPECT_EQ(pointsOf(flat, 2), (std::vector<Point>{{9, 9}}));
    // A repeated point is dropped.
    EXPECT_EQ(pointsOf(flat, 3), (std::vector<Point>{{10, 10}, {12, 10}}));
}

TEST(PathFlattening, EmptyAndHugeCurvesAreHarmless) {
    FlatPath empty(Path{}, AffineTransform{});
    EXPECT_TRUE(empty.subpaths().empty());
    EXPECT_EQ(empty.bounds(), Rect{});

    Path huge;
    huge.moveTo({0, 0});
    huge.curveTo({1e300, 0}, {-1e300, 1e300}, {1e300, -1e300});
    FlatPath flat(huge, AffineTransform{});
    ASSERT_EQ(flat.subpaths().size(), 1u);
    EXPECT_LE(pointsOf(flat, 0).size(), 1025u);

    Path curl;
    curl.moveTo({0, 0});
    curl.curveTo({0, 0}, {0, 0}, {0, 0});
    EXPECT_EQ(pointsOf(FlatPath(curl, AffineTransform{}), 0).size(), 1u);
}

} // namespace
} // namespace gfx
