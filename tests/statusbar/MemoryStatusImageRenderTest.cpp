#include "drawing/RenderedBitmapImage.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/MemoryStatusImage.h"
#include "statusbar/MetricStatusDrawing.h"
#include "support/KeptImageSequence.h"
#include "support/TestPaths.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

MemorySnapshot sample() {
    MemorySnapshot snapshot;
    snapshot.physical = "16.00 GB";
    snapshot.used = "9.41 GB";
    snapshot.cached = "3.20 GB";
    snapshot.swap = "1.25 GB";
    snapshot.pressure = 1;
    snapshot.usedFraction = 0.5;
    return snapshot;
}

gfx::Rgba8 probe(const gfx::Image& image, gfx::Point point) {
    return image.bitmap()->pixelAtPoint(point);
}

// A point on the ring at an angle in degrees (anticlockwise from +x, y up).
gfx::Point onRing(double degrees) {
    double radians = degrees * std::numbers::pi / 180;
    return {13 + 9.5 * std::cos(radians), 12 + 9.5 * std::sin(radians)};
}

gfx::Image ring(std::optional<double> fraction, bool dark = false) {
    CapsuleCache capsules;
    MemorySnapshot snapshot = sample();
    snapshot.usedFraction = fraction;
    return memoryStatusImage(capsules, {.dark = dark,
                                        .showChart = false,
                                        .tint = gfx::Color::srgb(1, 0, 0),
                                        .snapshot = snapshot,
                                        .mode = DisplayMode::automatic});
}

bool isArcRed(gfx::Rgba8 pixel) {
    return pixel.alpha > 200 && pixel.red > 200 && pixel.green < 60 && pixel.blue < 60;
}

TEST(MemoryStatusImageRender, RingAtOneIsAWholeCircle) {
    gfx::Image image = ring(1.0);
    ASSERT_EQ(image.bitmap()->pixelsWide(), 52);
    for (double degrees = 0; degrees < 360; degrees += 15) {
        EXPECT_TRUE(isArcRed(probe(image, onRing(degrees)))) << degrees;
    }
}

TEST(MemoryStatusImageRender, RingQuarterRunsClockwiseFromTheTop) {
    gfx::Image image = ring(0.25);
    EXPECT_TRUE(isArcRed(probe(image, onRing(80))));
    EXPECT_TRUE(isArcRed(probe(image, onRing(45))));
    EXPECT_TRUE(isArcRed(probe(image, onRing(10))));
    for (double degrees : {110.0, 180.0, 270.0, 340.0}) {
        gfx::Rgba8 pixel = probe(image, onRing(degrees));
        EXPECT_FALSE(isArcRed(pixel)) << degrees;
        // Only the faint track (black at 0.14 over the capsule's 0.06).
        EXPECT_LT(pixel.alpha, 70) << degrees;
        EXPECT_GT(pixel.alpha, 20) << degrees;
    }
}

TEST(MemoryStatusImageRender, UnusableFractionsDrawNoArc) {
    for (std::optional<double> fraction :
         {std::optional<double>(1.01), std::optional<double>(std::nan(""))}) {
        gfx::Image image = ring(fraction, true);
        for (double degrees = 0; degrees < 360; degrees += 30) {
            gfx::Rgba8 pixel = probe(image, onRing(degrees));
            // White track only: grey, faint.
            EXPECT_EQ(pixel.red, pixel.green) << degrees;
            EXPECT_LT(pixel.alpha, 90) << degrees;
        }
    }
}

TEST(MemoryStatusImageRender, CapsuleAlphaByAppearance) {
    CapsuleCache capsules;
    for (bool dark : {false, true}) {
        gfx::Image image = memoryStatusImage(
            capsules,
            {.dark = dark, .showChart = false, .snapshot = sample(), .mode = DisplayMode::pair});
        double width = image.size().width;
        // Right of the figures, inside the capsule.
        gfx::Rgba8 pixel = probe(image, {width - 6, 12});
        int expectedAlpha = static_cast<int>(std::lround((dark ? 0.10 : 0.06) * 255));
        EXPECT_NEAR(pixel.alpha, expectedAlpha, 1) << dark;
        EXPECT_EQ(pixel.red, dark ? pixel.alpha : 0);
        // Outside the capsule's rounded end the image is clear.
        EXPECT_EQ(probe(image, {width - 1.25, 0.5}).alpha, 0);
        EXPECT_EQ(probe(image, {0.25, 12}).alpha, 0);
    }
}

TEST(MemoryStatusImageRender, StatusDotAndSeparatorBesideTheChart) {
    CapsuleCache capsules;
    for (std::size_t count : {0u, 1u, 2u}) {
        std::vector<PressurePoint> history(count, PressurePoint{0.1, 1});
        gfx::Image image = memoryStatusImage(capsules, {.history = history,
                                                        .blue = false,
                                                        .snapshot = sample(),
                                                        .mode = DisplayMode::pair,
                                                        .chartLength = 40});
        // The dot at (w − 5, 9), 5 × 5, in the normal green.
        gfx::Rgba8 dot = probe(image, {37.5, 11.5});
        bool green = dot.alpha > 240 && dot.green > 180 && dot.red < 30;
        EXPECT_EQ(green, count < 2) << count;
        // The separator at 5 + w + 4, half a point wide: one pixel at scale 2.
        gfx::Rgba8 separator = probe(image, {49.25, 12});
        EXPECT_NEAR(separator.alpha, std::lround((0.06 + 0.15 * 0.94) * 255), 2);
        EXPECT_NEAR(probe(image, {49.75, 12}).alpha, std::lround(0.06 * 255), 1);
    }
}

TEST(MemoryStatusImageRender, GridSeparatorIsFaintWithoutTheChart) {
    CapsuleCache capsules;
    MemorySnapshot snapshot = sample();
    for (bool chart : {false, true}) {
        StatusLayout layout =
            StatusLayout::measure(DisplayMode::four, AppLanguage::english, snapshot, chart, 85);
        gfx::Image image = memoryStatusImage(
            capsules, {.showChart = chart, .snapshot = snapshot, .mode = DisplayMode::four});
        gfx::Rgba8 separator = probe(image, {layout.rightStart - 5.75, 20});
        // Capsule fill twice without the chart; the 0.15 rule over it with the chart.
        double alpha = chart ? 0.06 + 0.15 * 0.94 : 0.06 + 0.06 * 0.94;
        EXPECT_NEAR(separator.alpha, std::lround(alpha * 255), 2) << chart;
    }
}

TEST(MemoryStatusImageRender, ChartIsRoundedOnTheLeftOnly) {
    CapsuleCache capsules;
    std::vector<PressurePoint> full(60, PressurePoint{1.0, 1});
    gfx::Image image = memoryStatusImage(capsules, {.history = full,
                                                    .blue = true,
                                                    .snapshot = sample(),
                                                    .mode = DisplayMode::pair,
                                                    .chartLength = 85});
    int capsuleAlpha = static_cast<int>(std::lround(0.06 * 255));
    // The corners left of the radius-9 rounding stay bare capsule.
    EXPECT_NEAR(probe(image, {5.25, 3.25}).alpha, capsuleAlpha, 1);
    EXPECT_NEAR(probe(image, {5.25, 20.75}).alpha, capsuleAlpha, 1);
    // The chart fills its rect elsewhere: blue at 0.28 over the capsule, square on the right.
    // The pixel where the left rounding touches the rect's edge is an edge pixel, in part
    // covered; the one after it is wholly inside.
    for (gfx::Point inside : {gfx::Point{5.75, 12}, gfx::Point{50, 10}, gfx::Point{89.75, 3.25}}) {
        gfx::Rgba8 pixel = probe(image, inside);
        EXPECT_NEAR(pixel.alpha, std::lround((0.28 + 0.06 * 0.72) * 255), 2)
            << inside.x << "," << inside.y;
        EXPECT_GT(pixel.blue, pixel.red);
    }
    // Nothing of it right of the chart's rect.
    EXPECT_NEAR(probe(image, {90.25, 10}).alpha, capsuleAlpha, 1);
}

TEST(MemoryStatusImageRender, ImageWidthIsTheMeasuredWidthAtScaleTwo) {
    CapsuleCache capsules;
    MemorySnapshot snapshot = sample();
    for (DisplayMode mode : {DisplayMode::four, DisplayMode::automatic, DisplayMode::pair}) {
        for (bool chart : {false, true}) {
            StatusLayout layout =
                StatusLayout::measure(mode, AppLanguage::french, snapshot, chart, 22);
            gfx::Image image = memoryStatusImage(capsules, {.showChart = chart,
                                                            .snapshot = snapshot,
                                                            .mode = mode,
                                                            .language = AppLanguage::french,
                                                            .chartLength = 22});
            EXPECT_EQ(image.size(), (gfx::Size{layout.width, 24}));
            EXPECT_EQ(image.bitmap()->pixelsWide(), static_cast<int>(std::ceil(layout.width * 2)));
            EXPECT_EQ(image.bitmap()->pixelsHigh(), 48);
        }
    }
}

TEST(MemoryStatusImageRender, TheImageIsItsDrawingOnAFreshBitmap) {
    CapsuleCache capsules;
    // Its capsule is copied from the one kept, not filled again.
    MemorySnapshot snapshot = sample();
    std::vector<PressurePoint> history;
    for (int i = 0; i < 60; ++i) {
        history.push_back({0.2 + 0.01 * i, i % 7 == 0 ? 2 : 1});
    }
    for (bool dark : {false, true}) {
        MemoryStatusContent content{.dark = dark,
                                    .history = history,
                                    .snapshot = snapshot,
                                    .mode = DisplayMode::four,
                                    .chartLength = 85};
        const StatusLayout layout = StatusLayout::measure(content.mode, content.language, snapshot,
                                                          content.showChart, content.chartLength);
        gfx::Image image = memoryStatusImage(capsules, content);
        gfx::Image direct = renderedBitmapImage(
            gfx::Image::withDrawingHandler({layout.width, 24}, false,
                                           [&](gfx::Context& context, const gfx::Rect& rect) {
                                               return drawMemoryStatus(context, content, layout,
                                                                       rect);
                                           }),
            2, dark);
        ASSERT_TRUE(image.bitmap() && direct.bitmap());
        const gfx::Bitmap& kept = *image.bitmap();
        const gfx::Bitmap& drawn = *direct.bitmap();
        ASSERT_EQ(kept.pixelsWide(), drawn.pixelsWide());
        ASSERT_EQ(kept.pixelsHigh(), drawn.pixelsHigh());
        for (int row = 0; row < kept.pixelsHigh(); ++row)
            for (int column = 0; column < kept.pixelsWide(); ++column)
                ASSERT_EQ(kept.pixel(column, row), drawn.pixel(column, row))
                    << dark << " " << column << " " << row;
        EXPECT_TRUE(image.bitmap()->writePng(
            testsupport::artifactPath(dark ? "capsule-memory-dark.png" : "capsule-memory.png")
                .string()));
    }
}

// The image a second draws from an earlier one shows what a fresh image would, pixel for pixel:
// the chart moves, its dot goes, its colour turns, and a figure that reads differently brings
// the whole image back.
TEST(MemoryStatusImageRender, AnImageDrawnFromAnEarlierOneShowsTheNewSecond) {
    CapsuleCache capsules;
    struct Second {
        std::vector<PressurePoint> history;
        std::string used;
    };
    const std::vector<Second> seconds{
        {{{0.40, 1}}, "9.41 GB"},
        {{{0.40, 1}, {0.42, 1}}, "9.41 GB"},
        {{{0.40, 1}, {0.42, 1}, {0.90, 2}}, "9.41 GB"},
        {{{0.42, 1}, {0.90, 2}, {0.95, 4}}, "9.41 GB"},
        {{{0.90, 2}, {0.95, 4}, {0.30, 1}}, "9.52 GB"},
        {{{0.95, 4}, {0.30, 1}, {0.31, 1}}, "9.52 GB"},
        {{{0.30, 1}, {0.31, 1}, {0.30, 1}}, "95 MB"},
        {{{0.30, 1}, {0.31, 1}, {0.31, 1}}, "1023.0 MB"},
        {{{0.31, 1}, {0.31, 1}, {0.29, 1}}, "1017.4 MB"},
        {{{0.31, 1}, {0.29, 1}, {0.33, 1}}, "1017.4 MB"},
    };
    for (DisplayMode mode : {DisplayMode::automatic, DisplayMode::pair, DisplayMode::four}) {
        for (bool dark : {false, true}) {
            SCOPED_TRACE(testing::Message() << "mode " << int(mode) << ", dark " << dark);
            std::vector<MemoryStatusContent> contents;
            for (const Second& second : seconds) {
                MemorySnapshot snapshot = sample();
                snapshot.used = second.used;
                snapshot.usedFraction = second.history.back().fraction;
                contents.push_back({.dark = dark,
                                    .history = second.history,
                                    .tint = std::nullopt,
                                    .snapshot = snapshot,
                                    .mode = mode,
                                    .chartLength = 40});
            }
            const std::vector<const void*> storage = testsupport::expectKeptImagesDrawnFresh(
                std::span<const MemoryStatusContent>(contents),
                [&capsules](const MemoryStatusContent& drawn) {
                    return memoryStatusImage(capsules, drawn);
                },
                [&capsules](const MemoryStatusContent& drawn, const MemoryStatusContent& before,
                            gfx::Image image) {
                    return memoryStatusImage(capsules, drawn, before, std::move(image));
                });
            // Each second changes what the image shows.
            for (std::size_t second = 1; second < contents.size(); ++second) {
                const gfx::Image now = memoryStatusImage(capsules, contents[second]);
                const gfx::Image before = memoryStatusImage(capsules, contents[second - 1]);
                if (now.size() == before.size()) {
                    EXPECT_GT(testsupport::differingPixels(now, before), 0) << second;
                }
            }
            // The last two seconds keep the frame: the last is drawn over the pixels of the one
            // before the one before.
            ASSERT_EQ(storage.size(), contents.size());
            EXPECT_EQ(storage.back(), storage[storage.size() - 3]);
        }
    }
}

} // namespace
} // namespace pulsedeck
