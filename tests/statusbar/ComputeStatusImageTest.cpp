#include "statusbar/ComputeStatusImage.h"

#include "platform/graphics/RecordingContext.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/StatusText.h"
#include "support/KeptImageSequence.h"
#include "support/NonFinite.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

using testsupport::inf;
using testsupport::nan;

ComputeSnapshot loads(std::optional<double> cpu, std::optional<double> gpu) {
    ComputeSnapshot snapshot;
    snapshot.cpu = cpu;
    snapshot.gpu = gpu;
    return snapshot;
}

// The fills drawn in exactly this colour.
std::vector<gfx::FillRecord> fillsIn(const gfx::DrawingRecorder& log, const gfx::Color& color) {
    std::vector<gfx::FillRecord> found;
    for (const gfx::FillRecord& fill : log.fills()) {
        if (fill.color == color) {
            found.push_back(fill);
        }
    }
    return found;
}

TEST(ComputeStatusImage, PercentTextPrintsOnlyLoadsWithinZeroToHundred) {
    EXPECT_EQ(percentText(0.0), "0%");
    EXPECT_EQ(percentText(42.4), "42%");
    EXPECT_EQ(percentText(99.6), "100%");
    EXPECT_EQ(percentText(100.0), "100%");
    EXPECT_EQ(percentText(std::nullopt), "\u2014");
    EXPECT_EQ(percentText(100.01), "\u2014");
    EXPECT_EQ(percentText(-0.5), "\u2014");
    EXPECT_EQ(percentText(nan), "\u2014");
    EXPECT_EQ(percentText(inf), "\u2014");
}

TEST(ComputeStatusImage, FittedFontKeepsEveryValueWithinTheWidthOfNinetyNinePercent) {
    const double reference = percentReferenceWidth();
    EXPECT_GT(reference, 0);
    EXPECT_DOUBLE_EQ(fittedPercentFont("42%").pointSize(), 9.3);
    EXPECT_DOUBLE_EQ(fittedPercentFont("\u2014").pointSize(), 9.3);
    const gfx::Font hundred = fittedPercentFont("100%");
    EXPECT_LT(hundred.pointSize(), 9.3);
    EXPECT_GE(hundred.pointSize(), 4.0 - 0.05);
    EXPECT_LE(textWidth("100%", hundred), reference);
    // A far wider text starts from the proportional size; the steps never go on below 4 pt.
    const std::string wide = "100% 100% 100% 100% 100%";
    const double proportional =
        9.3 * reference /
        textWidth(wide, gfx::Font::monospacedDigitSystem(9.3, gfx::FontWeight::medium));
    EXPECT_LT(proportional, 4.0);
    EXPECT_DOUBLE_EQ(fittedPercentFont(wide).pointSize(), proportional);
}

TEST(ComputeStatusImage, WidthsFollowTheChartLengthAndMoveLinearlyThroughTheMorph) {
    const double w99 = std::ceil(percentReferenceWidth());
    EXPECT_DOUBLE_EQ(computeBarsWidth(), w99 + 67);
    EXPECT_DOUBLE_EQ(computeChartWidth(85), w99 + 5 + 85 + 39);
    EXPECT_DOUBLE_EQ(computeChartWidth(5), w99 + 5 + 16 + 39);
    EXPECT_DOUBLE_EQ(computeChartWidth(500), w99 + 5 + 160 + 39);
    EXPECT_DOUBLE_EQ(computeChartWidth(inf), w99 + 5 + 85 + 39);
    EXPECT_DOUBLE_EQ(computeChartWidth(nan), w99 + 5 + 85 + 39);

    EXPECT_DOUBLE_EQ(computeMainWidth(0, 85), computeBarsWidth());
    EXPECT_DOUBLE_EQ(computeMainWidth(1, 85), computeChartWidth(85));
    EXPECT_DOUBLE_EQ(computeMainWidth(0.5, 85), (computeBarsWidth() + computeChartWidth(85)) / 2);
    EXPECT_DOUBLE_EQ(computeMainWidth(-3, 85), computeBarsWidth());
    EXPECT_DOUBLE_EQ(computeMainWidth(7, 85), computeChartWidth(85));

    EXPECT_EQ(computeInnerRect(0, 85), (gfx::Rect{8, 3, 20, 18}));
    EXPECT_EQ(computeInnerRect(1, 85), (gfx::Rect{5, 3, 85, 18}));
    EXPECT_EQ(computeInnerRect(0.5, 85), (gfx::Rect{6.5, 3, 52.5, 18}));

    const double label = std::ceil(
        std::max(textWidth("CPU", statusLabelFont()), textWidth("GPU", statusLabelFont())));
    EXPECT_DOUBLE_EQ(computeCompactWidth(), label + 15 + w99);
}

TEST(ComputeStatusImage, TheCrossFadeToCompactMovesTheWidthLinearly) {
    CapsuleCache capsules;
    ComputePicture picture;
    picture.progress = 1;
    picture.chartLength = 60;
    const double main = computeChartWidth(60);
    const double compact = computeCompactWidth();
    for (double q : {0.0, 0.25, 0.5, 0.9, 1.0}) {
        picture.compactProgress = q;
        EXPECT_DOUBLE_EQ(computeImageWidth(picture), main + q * (compact - main)) << q;
        EXPECT_DOUBLE_EQ(computeStatusImage(capsules, picture).size().width,
                         computeImageWidth(picture));
    }
}

TEST(ComputeStatusImage, TargetsOfEachMode) {
    EXPECT_EQ(computeTargets(ComputeDisplayMode::bars), (ComputeTargets{0, 0}));
    EXPECT_EQ(computeTargets(ComputeDisplayMode::chart), (ComputeTargets{1, 0}));
    EXPECT_EQ(computeTargets(ComputeDisplayMode::compact), (ComputeTargets{0, 1}));
}

TEST(ComputeStatusImage, ColoursFallBackToThePaletteAndTheFadedCPUColour) {
    EXPECT_EQ((ComputeColors{std::nullopt, std::nullopt, true}).cpuColor(), paletteBlue);
    EXPECT_EQ((ComputeColors{std::nullopt, std::nullopt, false}).cpuColor(), paletteGreen);
    EXPECT_EQ((ComputeColors{std::nullopt, std::nullopt, true}).gpuColor(),
              paletteBlue.withAlpha(0.45));
    const gfx::Color red = gfx::Color::srgb(1, 0, 0);
    EXPECT_EQ((ComputeColors{red, std::nullopt, true}).gpuColor(), red.withAlpha(0.45));
    EXPECT_EQ((ComputeColors{red, paletteGreen, true}).gpuColor(), paletteGreen);
}

TEST(ComputeStatusImage, LoadBarsShowOnlyAcceptedValuesAtTheirHeight) {
    const ComputeColors colors{gfx::Color::srgb(1, 0, 0), gfx::Color::srgb(0, 0, 1), true};
    const gfx::Rect inner{8, 3, 20, 18};
    auto barsFor = [&](std::optional<double> cpu, std::optional<double> gpu) {
        gfx::RecordingContext context({80, 24});
        drawComputeSegment(context, gfx::Color::white(), colors, false, {}, loads(cpu, gpu),
                           {0, 0, 80, 24}, inner);
        return std::pair{fillsIn(context.log(), *colors.cpu), fillsIn(context.log(), *colors.gpu)};
    };

    auto [cpu, gpu] = barsFor(50, 100);
    ASSERT_EQ(cpu.size(), 1u);
    EXPECT_NEAR(cpu[0].bounds.height(), 9, 1e-9);
    EXPECT_NEAR(cpu[0].bounds.minX(), 8, 1e-9);
    ASSERT_EQ(gpu.size(), 1u);
    EXPECT_NEAR(gpu[0].bounds.height(), 18, 1e-9);
    EXPECT_NEAR(gpu[0].bounds.minX(), 18, 1e-9);

    // Values the text shows as "—" draw no bar, however far outside they lie.
    for (std::optional<double> bad : {std::optional<double>(), std::optional(150.0),
                                      std::optional(-20.0), std::optional(nan)}) {
        auto [noCpu, noGpu] = barsFor(bad, bad);
        EXPECT_TRUE(noCpu.empty());
        EXPECT_TRUE(noGpu.empty());
    }
}

TEST(ComputeStatusImage, AnEmptyChartStillDrawsTheSeparatorAndBothRows) {
    gfx::RecordingContext context({140, 24});
    const gfx::Rect inner{5, 3, 85, 18};
    drawComputeSegment(context, gfx::Color::white(), {}, true, {}, loads(12, std::nullopt),
                       {0, 0, 140, 24}, inner);
    const gfx::DrawingRecorder& log = context.log();
    const auto separators = fillsIn(log, gfx::Color::white().withAlpha(0.15));
    ASSERT_EQ(separators.size(), 1u);
    EXPECT_NEAR(separators[0].bounds.minX(), 94, 1e-9);
    ASSERT_NE(log.text("CPU"), nullptr);
    ASSERT_NE(log.text("GPU"), nullptr);
    EXPECT_NEAR(log.text("CPU")->origin.x, 100, 1e-9);
    EXPECT_NEAR(log.text("CPU")->origin.y, 12.1, 1e-9);
    ASSERT_NE(log.text("12%"), nullptr);
    EXPECT_NEAR(log.text("12%")->bounds.maxX(), 132, 1e-6);
    EXPECT_NEAR(log.text("12%")->origin.y, 11.9, 1e-9);
    ASSERT_NE(log.text("\u2014"), nullptr);
    EXPECT_NEAR(log.text("\u2014")->origin.y, 1.6, 1e-9);
    EXPECT_TRUE(log.strokes().empty());
}

TEST(ComputeStatusImage, TheMorphDrawsFlatLinesAtTheCurrentValuesWithoutHistory) {
    gfx::RecordingContext context({120, 24});
    const ComputeColors colors{gfx::Color::srgb(1, 0, 0), gfx::Color::srgb(0, 0, 1), true};
    const gfx::Rect inner = computeInnerRect(0.5, 85);
    drawComputeMorph(context, gfx::Color::white(), colors, loads(50, 150), {}, {0, 0, 120, 24}, 0.5,
                     inner);
    const auto strokes = context.log().strokes();
    ASSERT_EQ(strokes.size(), 2u);
    // CPU at 50 %: 3 + 9 both for the bar top and the chart value.
    EXPECT_NEAR(strokes[0].bounds.height(), 0, 1e-9);
    EXPECT_NEAR(strokes[0].bounds.minY(), 12, 1e-9);
    EXPECT_NEAR(strokes[0].lineWidth, 0.8, 1e-9);
    // A GPU value out of range counts as none: the line lies on the floor.
    EXPECT_NEAR(strokes[1].bounds.minY(), 3, 1e-9);
    EXPECT_NEAR(strokes[1].bounds.height(), 0, 1e-9);
    // The line spans from the bar's start to the chart's end, mixed half and half.
    EXPECT_NEAR(strokes[0].bounds.minX(), 0.5 * 8 + 0.5 * inner.minX(), 1e-9);
    EXPECT_NEAR(strokes[0].bounds.maxX(), 0.5 * 14 + 0.5 * inner.maxX(), 1e-9);
    // Fills: the CPU band at 1 − 0.7p, the GPU band at q.
    EXPECT_EQ(fillsIn(context.log(), colors.cpu->withAlpha(0.65)).size(), 1u);
    EXPECT_EQ(fillsIn(context.log(), colors.gpu->withAlpha(0.5)).size(), 1u);
}

TEST(ComputeStatusImage, TheMorphFollowsTheHistoryAndFillsGapsWithTheCurrentValue) {
    gfx::RecordingContext context({120, 24});
    std::vector<ComputeSnapshot> history(60, loads(100, std::nullopt));
    history[10].cpu = std::nullopt;
    drawComputeMorph(context, gfx::Color::white(), {}, loads(0, 0), history, {0, 0, 120, 24}, 0.999,
                     computeInnerRect(0.999, 85));
    const auto strokes = context.log().strokes();
    ASSERT_EQ(strokes.size(), 2u);
    // Nearly all of the CPU line sits at 100 %; the gap drops to the current 0 %.
    EXPECT_NEAR(strokes[0].bounds.maxY(), 21, 0.02);
    EXPECT_NEAR(strokes[0].bounds.minY(), 3, 0.02);
    // No GPU history: flat at the current value.
    EXPECT_NEAR(strokes[1].bounds.height(), 0, 1e-9);
}

TEST(ComputeStatusImage, CompactRowsSitAtTheirColumns) {
    gfx::RecordingContext context({60, 24});
    drawComputeCompact(context, gfx::Color::white(), {}, loads(100, 7), statusLabelFont(),
                       {0, 0, 60, 24});
    const gfx::DrawingRecorder& log = context.log();
    ASSERT_NE(log.text("CPU"), nullptr);
    EXPECT_NEAR(log.text("CPU")->origin.x, 7, 1e-9);
    ASSERT_NE(log.text("100%"), nullptr);
    EXPECT_NEAR(log.text("100%")->bounds.maxX(), 53, 1e-6);
    EXPECT_LT(log.text("100%")->font.pointSize(), 9.3);
    ASSERT_NE(log.text("7%"), nullptr);
    EXPECT_NEAR(log.text("7%")->origin.y, 1.6, 1e-9);
}

// Each second's image, drawn from an earlier one, shows what a fresh image would, pixel for pixel,
// in every mode at rest and through a change of mode: the bars and the chart move, figures grow
// to "100%" in a smaller font, fall to "—", come back.
TEST(ComputeStatusImage, AnImageDrawnFromAnEarlierOneShowsTheNewSecond) {
    CapsuleCache capsules;
    const std::vector<std::pair<std::optional<double>, std::optional<double>>> loadsEachSecond{
        {12, 3}, {12, 3}, {47, 3}, {100, 8}, {100, std::nullopt}, {9, 0}, {9.4, 0}, {63, 99},
    };
    // Bars, chart, compact, and halfway through two changes of mode.
    const std::vector<std::pair<double, double>> modes{{0, 0}, {1, 0}, {0, 1}, {0.5, 0}, {1, 0.5}};
    for (bool dark : {false, true}) {
        SCOPED_TRACE(testing::Message() << "dark " << dark);
        std::vector<ComputePicture> pictures;
        ComputePicture picture;
        picture.dark = dark;
        picture.chartLength = 40;
        for (const auto& [progress, compactProgress] : modes) {
            picture.progress = progress;
            picture.compactProgress = compactProgress;
            for (const auto& [cpu, gpu] : loadsEachSecond) {
                picture.snapshot = loads(cpu, gpu);
                picture.history.push_back(picture.snapshot);
                pictures.push_back(picture);
            }
        }
        testsupport::expectKeptImagesDrawnFresh(
            std::span<const ComputePicture>(pictures),
            [&capsules](const ComputePicture& drawn) {
                return computeStatusImage(capsules, drawn);
            },
            [&capsules](const ComputePicture& drawn, const ComputePicture& before,
                        gfx::Image image) {
                return computeStatusImage(capsules, drawn, before, std::move(image));
            });
    }
}

} // namespace
} // namespace pulsedeck
