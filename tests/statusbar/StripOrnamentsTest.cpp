#include "statusbar/StripOrnaments.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace pulsedeck {
namespace {

TEST(StripOrnaments, WiderModulesSwingThroughSmallerAngles) {
    EXPECT_DOUBLE_EQ(jiggleAmplitude(16), 0.055);
    EXPECT_DOUBLE_EQ(jiggleAmplitude(200), 0.014);
    EXPECT_DOUBLE_EQ(jiggleAmplitude(1000), 0.012);
    EXPECT_DOUBLE_EQ(jiggleAmplitude(1), 0.055);
    EXPECT_DOUBLE_EQ(jiggleAmplitude(0), 0.055);
}

TEST(StripOrnaments, AStillEditableModuleIsDrawnAtNinetyPercentAboutItsCentre) {
    const gfx::Rect module{10, 2, 40, 20};
    const gfx::AffineTransform still = jiggleTransform(module, 3, 123.4, false);
    const gfx::Point centre = still.apply(module.center());
    EXPECT_NEAR(centre.x, 30, 1e-9);
    EXPECT_NEAR(centre.y, 12, 1e-9);
    const gfx::Point corner = still.apply({10, 2});
    EXPECT_NEAR(corner.x, 12, 1e-9);
    EXPECT_NEAR(corner.y, 3, 1e-9);
}

TEST(StripOrnaments, AMovingModuleLiftsAndTurnsByItsPhase) {
    const gfx::Rect module{0, 0, 200, 24};
    const double t = 0.05;
    const int k = 2;
    const gfx::AffineTransform moving = jiggleTransform(module, k, t, true);
    const double angle = 0.014 * std::sin(1.9 * k + 25 * t);
    const double lift = 0.45 * std::sin(1.9 * k + 12.5 * t + 0.8);
    const gfx::Point centre = moving.apply(module.center());
    EXPECT_NEAR(centre.x, 100, 1e-9);
    EXPECT_NEAR(centre.y, 12 + lift, 1e-9);
    // The right edge's midpoint turns by the angle about the centre, at 90 %.
    const gfx::Point edge = moving.apply({200, 12});
    EXPECT_NEAR(edge.x, 100 + 90 * std::cos(angle), 1e-9);
    EXPECT_NEAR(edge.y, 12 + lift + 90 * std::sin(angle), 1e-9);
}

TEST(StripOrnaments, TheCloseBadgeSitsTopRight) {
    EXPECT_EQ(closeBadgeSide(24), 12);
    EXPECT_EQ(closeBadgeSide(20), 10);
    EXPECT_EQ(closeBadgeSide(29), 12);
    EXPECT_EQ(closeBadgeSide(19), 9);
    EXPECT_EQ(closeBadgeRect({10, 1, 40, 20}, 24), (gfx::Rect{38, 12, 12, 12}));
}

TEST(StripOrnaments, TheDeviceGlowPeaksHalfWayWithTheImageGrown) {
    const gfx::Rect module{0, 0, 34, 24};
    const DeviceGlow start = DeviceGlow::at(0);
    EXPECT_DOUBLE_EQ(start.strength, 0);
    EXPECT_EQ(start.imageRect(module), (gfx::Rect{2, 1, 30, 22}));
    EXPECT_DOUBLE_EQ(start.imageFraction(), 0.65);

    const DeviceGlow middle = DeviceGlow::at(0.5);
    EXPECT_DOUBLE_EQ(middle.strength, 1);
    EXPECT_EQ(middle.imageRect(module), module);
    EXPECT_DOUBLE_EQ(middle.imageFraction(), 1);

    const DeviceGlow early = DeviceGlow::at(0.225);
    EXPECT_DOUBLE_EQ(early.growth, 0.875);
    EXPECT_NEAR(DeviceGlow::at(1).strength, 0, 1e-12);
}

TEST(StripOrnaments, SixtyRotorFramesCoverOneThirdOfATurn) {
    EXPECT_EQ(rotorFrameIndex(0, 60), 0);
    EXPECT_EQ(rotorFrameIndex(1.9, 60), 0);
    EXPECT_EQ(rotorFrameIndex(2, 60), 1);
    EXPECT_EQ(rotorFrameIndex(119.9, 60), 59);
    EXPECT_EQ(rotorFrameIndex(120, 60), 0);
    EXPECT_EQ(rotorFrameIndex(364, 60), 2);
    EXPECT_EQ(rotorFrameIndex(30, 10), 5);
    EXPECT_EQ(rotorFrameIndex(30, 0), 0);
    EXPECT_EQ(rotorFrameIndex(std::numeric_limits<double>::infinity(), 60), 0);
}

TEST(StripOrnaments, TheRotorGrowsAndMovesRightTowardsTheGraph) {
    const gfx::Rect module{10, 0, 24, 24};
    const gfx::Rect ring = rotorRect(module, 0, 1);
    EXPECT_DOUBLE_EQ(ring.width(), 24);
    EXPECT_DOUBLE_EQ(ring.midX(), 22);
    EXPECT_DOUBLE_EQ(ring.midY(), 12);
    const double s = 20.5 / 24;
    const gfx::Rect half = rotorRect(module, 0.5, s);
    EXPECT_DOUBLE_EQ(half.width(), 7.55 * 24 / 7.1 * s);
    EXPECT_DOUBLE_EQ(half.midX(), 10 + 12.5 * s);
}

} // namespace
} // namespace pulsedeck
