#include "drawing/FanBladeGlyph.h"

#include "platform/graphics/RecordingContext.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace pulsedeck {
namespace {

TEST(FanBlades, TipAndHubAtSizeTen) {
    gfx::Path blade = fanBladeOutline(10);
    const std::vector<gfx::Path::Element>& elements = blade.elements();
    ASSERT_GE(elements.size(), 4u);
    EXPECT_EQ(elements[0].kind, gfx::Path::ElementKind::moveTo);
    EXPECT_NEAR(elements[0].points[0].x, 2, 1e-12);
    ASSERT_EQ(elements[1].kind, gfx::Path::ElementKind::curveTo);
    EXPECT_NEAR(elements[1].points[2].x, 9.7, 1e-12);
    EXPECT_NEAR(elements[1].points[2].y, 1.3, 1e-12);
    EXPECT_NEAR(elements[2].points[2].x, 1.4, 1e-12);
    EXPECT_NEAR(elements[2].points[2].y, 3.0, 1e-12);
    gfx::Rect hub = fanHubRect(10);
    EXPECT_NEAR(hub.width() / 2, 1.6, 1e-12);
    EXPECT_NEAR(hub.midX(), 0, 1e-12);
    EXPECT_NEAR(hub.midY(), 0, 1e-12);
}

TEST(FanBlades, ThreeBladesAndTheHubAboutTheCentre) {
    gfx::RecordingContext context({40, 40});
    gfx::Color blue = gfx::Color::srgb(0.16, 0.58, 1.0, 0.8);
    context.setFillColor(gfx::Color::srgb(1, 0, 0));
    drawFanBlades(context, blue, 0, 0.5, {20, 20}, 10);

    std::vector<gfx::FillRecord> fills = context.log().fills();
    ASSERT_EQ(fills.size(), 4u);
    for (const gfx::FillRecord& fill : fills) {
        EXPECT_EQ(fill.color, gfx::Color::srgb(0.16, 0.58, 1.0, 0.5));
    }
    // The first blade's outline reaches past its tip at (29.7, 21.3).
    EXPECT_GE(fills[0].bounds.maxX(), 29.7 - 1e-9);
    EXPECT_TRUE(fills[0].bounds.contains(gfx::Point{29.69, 21.3}));
    EXPECT_NEAR(fills[3].bounds.minX(), 18.4, 1e-9);
    EXPECT_NEAR(fills[3].bounds.minY(), 18.4, 1e-9);
    EXPECT_NEAR(fills[3].bounds.width(), 3.2, 1e-9);
    EXPECT_NEAR(fills[3].bounds.height(), 3.2, 1e-9);

    // The state is left as it was found.
    EXPECT_EQ(context.fillColor(), gfx::Color::srgb(1, 0, 0));
    EXPECT_EQ(context.currentTransform(), gfx::AffineTransform());
}

TEST(FanBlades, RotationTurnsTheGlyph) {
    gfx::RecordingContext context({40, 40});
    drawFanBlades(context, gfx::Color::black(), 90, 1, {20, 20}, 10);
    // Turned a quarter anticlockwise, the first tip moves to (20 − 1.3, 20 + 9.7).
    EXPECT_TRUE(context.log().fills()[0].bounds.contains(gfx::Point{18.7, 29.69}));
}

struct Arc {
    double radius;
    double startDegrees;
    double endDegrees;
};

double degreesOf(gfx::Point point, gfx::Point center) {
    double degrees = std::atan2(point.y - center.y, point.x - center.x) * 180 / std::numbers::pi;
    return degrees < 0 ? degrees + 360 : degrees;
}

std::vector<Arc> arcsOf(const gfx::Path& path, gfx::Point center) {
    std::vector<Arc> arcs;
    gfx::Point last;
    for (const gfx::Path::Element& element : path.elements()) {
        if (element.kind == gfx::Path::ElementKind::moveTo) {
            if (!arcs.empty()) {
                arcs.back().endDegrees = degreesOf(last, center);
            }
            gfx::Point start = element.points[0];
            arcs.push_back({start.distanceTo(center), degreesOf(start, center), 0});
            last = start;
        } else if (element.kind == gfx::Path::ElementKind::curveTo) {
            last = element.points[2];
            EXPECT_NEAR(last.distanceTo(center), arcs.back().radius, 1e-9);
        } else if (element.kind == gfx::Path::ElementKind::lineTo) {
            EXPECT_NEAR(element.points[0].distanceTo(last), 0, 1e-9);
        }
    }
    if (!arcs.empty()) {
        arcs.back().endDegrees = degreesOf(last, center);
    }
    return arcs;
}

double sweepOf(const Arc& arc) {
    return std::fmod(arc.endDegrees - arc.startDegrees + 360, 360);
}

TEST(FanMotionArcs, FastHasNineLongerArcsInThreeGroups) {
    gfx::Point center{12, 12};
    gfx::ImmutablePath path = fanMotionArcs(true, center, 7.1, 0);
    std::vector<Arc> arcs = arcsOf(*path, center);
    ASSERT_EQ(arcs.size(), 9u);
    const double radii[] = {7.6, 8.15, 8.7};
    const double groups[] = {52, 172, 292};
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        std::size_t group = i / 3, k = i % 3;
        EXPECT_NEAR(arcs[i].radius, radii[k], 1e-9) << i;
        EXPECT_NEAR(arcs[i].startDegrees, groups[group] + 8.0 * k, 1e-9) << i;
        EXPECT_NEAR(sweepOf(arcs[i]), 43, 1e-9) << i;
    }
}

TEST(FanMotionArcs, NormalHasSixShorterArcsAndTurnsWithTheRotor) {
    gfx::Point center{12, 12};
    std::vector<Arc> arcs = arcsOf(*fanMotionArcs(false, center, 7.1, 100), center);
    ASSERT_EQ(arcs.size(), 6u);
    const double groups[] = {152, 272, 32};
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        EXPECT_NEAR(arcs[i].radius, i % 2 == 0 ? 7.6 : 8.15, 1e-9) << i;
        EXPECT_NEAR(arcs[i].startDegrees, groups[i / 2] + 8.0 * (i % 2), 1e-9) << i;
        EXPECT_NEAR(sweepOf(arcs[i]), 29, 1e-9) << i;
    }
}

} // namespace
} // namespace pulsedeck
