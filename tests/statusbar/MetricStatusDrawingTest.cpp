#include "statusbar/MetricStatusDrawing.h"

#include "platform/graphics/RecordingContext.h"
#include "sources/NetworkSnapshot.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusText.h"
#include "support/NonFinite.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace pulsedeck {
namespace {

using testsupport::nan;

void expectColor(const gfx::Color& actual, double red, double green, double blue,
                 double alpha = 1) {
    EXPECT_NEAR(actual.red(), red, 1e-9);
    EXPECT_NEAR(actual.green(), green, 1e-9);
    EXPECT_NEAR(actual.blue(), blue, 1e-9);
    EXPECT_NEAR(actual.alpha(), alpha, 1e-9);
}

TEST(TemperatureColor, RampsFromTheBaseThroughOrangeToRed) {
    gfx::Color base = gfx::Color::srgb(0.2, 0.4, 0.6);
    expectColor(temperatureColor(20.0, base), 0.2, 0.4, 0.6);
    expectColor(temperatureColor(55.0, base), 0.2, 0.4, 0.6);
    expectColor(temperatureColor(67.5, base), 0.6, 0.49, 0.36);
    expectColor(temperatureColor(80.0, base), 1.0, 0.58, 0.12);
    expectColor(temperatureColor(87.5, base), 1.0, 0.40, 0.175);
    expectColor(temperatureColor(95.0, base), 1.0, 0.22, 0.23);
    expectColor(temperatureColor(140.0, base), 1.0, 0.22, 0.23);
    expectColor(temperatureColor(std::numeric_limits<double>::infinity(), base), 1.0, 0.22, 0.23);
    expectColor(temperatureColor(-std::numeric_limits<double>::infinity(), base), 0.2, 0.4, 0.6);
}

TEST(TemperatureColor, AlphaIsAlwaysOpaque) {
    expectColor(temperatureColor(55.0, gfx::Color::srgb(0.2, 0.4, 0.6, 0.3)), 0.2, 0.4, 0.6, 1);
}

TEST(TemperatureColor, MissingOrUnusableBaseIsGreen) {
    expectColor(temperatureColor(50.0, std::nullopt), 0.12, 0.8, 0.32);
    expectColor(temperatureColor(50.0, gfx::Color::srgb(nan, 0, 0)), 0.12, 0.8, 0.32);
    expectColor(temperatureColor(67.5, std::nullopt), 0.56, 0.69, 0.22);
}

TEST(TemperatureColor, NoReadingIsTheSecondaryLabel) {
    EXPECT_EQ(temperatureColor(std::nullopt, paletteBlue), gfx::Color::secondaryLabel());
    EXPECT_EQ(temperatureColor(nan, paletteBlue), gfx::Color::secondaryLabel());
}

NetworkSnapshot rates(std::optional<double> download, std::optional<double> upload) {
    return {download, upload, {}};
}

TEST(NetworkScale, NeverBelowTheFloor) {
    EXPECT_DOUBLE_EQ(networkScale({}), 1177.6);
    std::vector<NetworkSnapshot> quiet{rates(10, 1024), rates(std::nullopt, std::nullopt)};
    EXPECT_DOUBLE_EQ(networkScale(quiet), 1177.6);
    std::vector<NetworkSnapshot> busy{rates(2e6, 10), rates(std::nullopt, 1.5e6)};
    EXPECT_DOUBLE_EQ(networkScale(busy), 2.3e6);
    std::vector<NetworkSnapshot> uploading{rates(std::nullopt, 3e6)};
    EXPECT_DOUBLE_EQ(networkScale(uploading), 3.45e6);
    std::vector<NetworkSnapshot> broken{rates(nan, std::numeric_limits<double>::infinity()),
                                        rates(4096, 0)};
    EXPECT_DOUBLE_EQ(networkScale(broken), 4096 * 1.15);
}

TEST(NetworkColors, ColouredAndPlainDefaults) {
    NetworkColors coloured{.blue = false, .colored = true};
    EXPECT_EQ(coloured.downloadColor(), paletteBlue);
    EXPECT_EQ(coloured.uploadColor(), gfx::Color::systemRed());
    coloured.download = gfx::Color::srgb(0, 1, 0);
    coloured.upload = gfx::Color::srgb(1, 1, 0);
    coloured.module = gfx::Color::srgb(1, 0, 1);
    EXPECT_EQ(coloured.downloadColor(), gfx::Color::srgb(0, 1, 0));
    EXPECT_EQ(coloured.uploadColor(), gfx::Color::srgb(1, 1, 0));

    NetworkColors plain{.blue = false, .colored = false};
    EXPECT_EQ(plain.downloadColor(), paletteGreen);
    EXPECT_EQ(plain.uploadColor(), paletteGreen.withAlpha(0.4));
    plain.blue = true;
    EXPECT_EQ(plain.downloadColor(), paletteBlue);
    plain.module = gfx::Color::srgb(1, 0, 1);
    plain.download = gfx::Color::srgb(0, 1, 0);
    EXPECT_EQ(plain.downloadColor(), gfx::Color::srgb(1, 0, 1));
    EXPECT_EQ(plain.uploadColor(), gfx::Color::srgb(1, 0, 1, 0.4));
}

std::vector<NetworkSnapshot> steadyHistory(std::size_t count, double rate) {
    return std::vector<NetworkSnapshot>(count, rates(rate, rate / 2));
}

TEST(HistoryGraph, ShortHistoryCoversOnlyTheRight) {
    gfx::RecordingContext context({140, 24});
    gfx::Rect rect{5, 3, 118, 18};
    NetworkColors colors{.blue = true};
    drawHistoryGraph(context, steadyHistory(10, 5000), colors, rect);
    std::vector<gfx::FillRecord> fills = context.log().fills();
    ASSERT_EQ(fills.size(), 1u);
    double step = 118.0 / 59;
    EXPECT_NEAR(fills[0].bounds.minX(), 5 + 49 * step, 1e-9);
    EXPECT_NEAR(fills[0].bounds.maxX(), 123, 1e-9);
    EXPECT_NEAR(fills[0].bounds.maxY(), 3 + 18 * 5000 / (5000 * 1.15), 1e-9);
    expectColor(fills[0].color, 0.16, 0.58, 1.0, 0.22);

    std::vector<gfx::StrokeRecord> strokes = context.log().strokes();
    ASSERT_EQ(strokes.size(), 2u);
    EXPECT_EQ(strokes[0].color, paletteBlue);
    EXPECT_EQ(strokes[1].color, paletteBlue.withAlpha(0.4));
    EXPECT_NEAR(strokes[1].bounds.maxY(), 3 + 18 * 2500 / (5000 * 1.15), 1e-9);
}

TEST(HistoryGraph, LongHistoryDrawsItsLastSixtyAgainstTheWholeScale) {
    gfx::Rect rect{5, 3, 118, 18};
    NetworkColors colors;
    std::vector<NetworkSnapshot> history = steadyHistory(75, 4000);
    history[2] = rates(8000, 0);
    gfx::RecordingContext context({140, 24});
    drawHistoryGraph(context, history, colors, rect);
    std::vector<gfx::FillRecord> fills = context.log().fills();
    ASSERT_EQ(fills.size(), 1u);
    // The oldest drawn sample is on the left edge; its flat lead-in starts one step before.
    EXPECT_NEAR(fills[0].bounds.minX(), 5 - 118.0 / 59, 1e-9);
    // The early peak is not drawn but still sets the scale.
    EXPECT_NEAR(fills[0].bounds.maxY(), 3 + 18 * 4000 / (8000 * 1.15), 1e-9);
}

TEST(HistoryGraph, EmptyHistoryDrawsNothing) {
    gfx::RecordingContext context({140, 24});
    drawHistoryGraph(context, {}, NetworkColors{}, {5, 3, 85, 18});
    EXPECT_TRUE(context.log().records().empty());
}

TEST(NetworkSegment, RowsAndSeparatorWithTheGraph) {
    gfx::RecordingContext context({160, 24});
    gfx::Rect imageRect{0, 0, 160, 24};
    std::vector<NetworkSnapshot> history = steadyHistory(5, 2000);
    NetworkSegment segment{.showsGraph = true,
                           .graphRect = {5, 3, 85, 18},
                           .history = history,
                           .download = 1500,
                           .upload = std::nullopt,
                           .textX = 90,
                           .valueBudget = 60};
    NetworkColors colors{.blue = false, .colored = true, .upload = gfx::Color::srgb(1, 1, 0)};
    drawNetwork(context, gfx::Color::black(), imageRect, segment, colors);

    std::vector<gfx::FillRecord> fills = context.log().fills();
    ASSERT_FALSE(fills.empty());
    const gfx::FillRecord& separator = fills.back();
    EXPECT_EQ(separator.bounds, (gfx::Rect{94, 4, 0.5, 16}));
    EXPECT_EQ(separator.color, gfx::Color::black().withAlpha(0.15));

    const gfx::TextRecord* down = context.log().text("\u2193");
    const gfx::TextRecord* up = context.log().text("\u2191");
    ASSERT_TRUE(down && up);
    EXPECT_NEAR(down->origin.x, 101, 1e-9);
    EXPECT_NEAR(down->origin.y, 12.1, 1e-9);
    EXPECT_NEAR(up->origin.y, 1.8, 1e-9);
    EXPECT_EQ(down->color, paletteBlue);
    EXPECT_EQ(up->color, gfx::Color::srgb(1, 1, 0));
    EXPECT_EQ(down->font, statusArrowFont());

    std::string downText = formatRate(1500);
    const gfx::TextRecord* downValue = context.log().text(downText);
    const gfx::TextRecord* upValue = context.log().text("\u2014");
    ASSERT_TRUE(downValue && upValue);
    EXPECT_NEAR(downValue->bounds.maxX(), 152, 1e-6);
    EXPECT_NEAR(downValue->origin.y, 11.9, 1e-9);
    EXPECT_NEAR(upValue->bounds.maxX(), 152, 1e-6);
    EXPECT_NEAR(upValue->origin.y, 1.6, 1e-9);
    EXPECT_EQ(downValue->font, statusFigureFont());
    EXPECT_EQ(downValue->color, gfx::Color::black());
}

TEST(NetworkSegment, PlainRowsWithoutTheGraphDrawNoSeparator) {
    gfx::RecordingContext context({100, 24});
    NetworkSegment segment{.showsGraph = false, .textX = -1, .valueBudget = 60};
    NetworkColors colors{.blue = false, .colored = false};
    drawNetwork(context, gfx::Color::white(), {0, 0, 100, 24}, segment, colors);
    EXPECT_TRUE(context.log().fills().empty());
    EXPECT_TRUE(context.log().strokes().empty());
    ASSERT_EQ(context.log().texts().size(), 4u);
    EXPECT_NEAR(context.log().text("\u2193")->origin.x, 10, 1e-9);
    EXPECT_EQ(context.log().text("\u2193")->color, paletteGreen);
    EXPECT_EQ(context.log().text("\u2191")->color, paletteGreen.withAlpha(0.4));
}

TEST(NetworkSegment, ARateWiderThanItsBudgetShrinksItsFont) {
    gfx::RecordingContext context({100, 24});
    std::string wide = formatRate(123.4e9);
    double measured = textWidth(wide, statusFigureFont());
    NetworkSegment segment{.showsGraph = false,
                           .download = 123.4e9,
                           .upload = 10,
                           .textX = -1,
                           .valueBudget = measured * 0.8};
    drawNetwork(context, gfx::Color::black(), {0, 0, 100, 24}, segment, NetworkColors{});
    const gfx::TextRecord* value = context.log().text(wide);
    ASSERT_TRUE(value);
    EXPECT_NEAR(value->font.pointSize(), 9.3 * 0.8, 1e-9);
    ASSERT_LT(textWidth(formatRate(10), statusFigureFont()), measured * 0.8);
    EXPECT_NEAR(value->bounds.maxX(), 92, 1e-6);
    // Narrower rates keep the full size.
    EXPECT_NEAR(context.log().text(formatRate(10))->font.pointSize(), 9.3, 1e-9);
}

TEST(GraphWithValue, EmptyHistoryStillDrawsSeparatorTitleAndValue) {
    gfx::RecordingContext context({140, 24});
    drawGraphWithValue(context, gfx::Color::black(), {0, 0, 140, 24}, {5, 3, 85, 18}, {},
                       std::nullopt, AppLanguage::english, std::nullopt);
    std::vector<gfx::FillRecord> fills = context.log().fills();
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].bounds, (gfx::Rect{94, 4, 0.5, 16}));
    const gfx::TextRecord* title =
        context.log().text(text(Copy::shortTemperature, AppLanguage::english));
    ASSERT_TRUE(title);
    EXPECT_NEAR(title->bounds.maxX(), 132, 1e-6);
    EXPECT_NEAR(title->origin.y, 13, 1e-9);
    EXPECT_EQ(title->color, gfx::Color::black().withAlpha(0.4));
    EXPECT_EQ(title->font, statusTitleFont());
    const gfx::TextRecord* value = context.log().text("\u2014 \u00B0C");
    ASSERT_TRUE(value);
    EXPECT_NEAR(value->bounds.maxX(), 132, 1e-6);
    EXPECT_NEAR(value->origin.y, 2, 1e-9);
    EXPECT_EQ(value->font, statusValueFont());
}

TEST(GraphWithValue, EachStepTakesTheHeatColourOfItsNewerReading) {
    gfx::RecordingContext context({140, 24});
    std::vector<std::optional<double>> history{40, 90, std::nullopt, 60};
    drawGraphWithValue(context, gfx::Color::white(), {0, 0, 140, 24}, {5, 3, 85, 18}, history,
                       paletteBlue, AppLanguage::english, 61.4);
    std::vector<gfx::StrokeRecord> strokes = context.log().strokes();
    ASSERT_EQ(strokes.size(), 3u);
    EXPECT_EQ(strokes[0].color, paletteBlue);
    EXPECT_EQ(strokes[1].color, temperatureColor(90, paletteBlue));
    EXPECT_EQ(strokes[2].color, temperatureColor(60, paletteBlue));
    // Flat after the gap, at 60/110 of the height.
    EXPECT_NEAR(strokes[2].bounds.height(), 0, 1e-9);
    EXPECT_NEAR(strokes[2].bounds.minY(), 3 + 18 * 60 / 110.0, 1e-9);
    std::vector<gfx::FillRecord> fills = context.log().fills();
    ASSERT_EQ(fills.size(), 4u);
    EXPECT_NEAR(fills[1].color.alpha(), 0.22, 1e-9);
    EXPECT_TRUE(context.log().text("61 \u00B0C"));
}

TEST(Capsule, FrameAlphaFollowsTheAppearance) {
    for (bool dark : {false, true}) {
        gfx::RecordingContext context({60, 24});
        gfx::Color seen;
        gfx::Rect seenRect;
        EXPECT_TRUE(drawCapsule(context, dark, {0, 0, 60, 24},
                                [&](const gfx::Color& foreground, const gfx::Rect& rect) {
                                    seen = foreground;
                                    seenRect = rect;
                                    EXPECT_EQ(context.clipBoundingBox(), (gfx::Rect{1, 0, 58, 24}));
                                }));
        std::vector<gfx::FillRecord> fills = context.log().fills();
        ASSERT_EQ(fills.size(), 1u);
        EXPECT_EQ(fills[0].bounds, (gfx::Rect{1, 0, 58, 24}));
        EXPECT_EQ(fills[0].color,
                  dark ? gfx::Color::white().withAlpha(0.1) : gfx::Color::black().withAlpha(0.06));
        EXPECT_EQ(seen, dark ? gfx::Color::white() : gfx::Color::black());
        EXPECT_EQ(seenRect, (gfx::Rect{0, 0, 60, 24}));
        EXPECT_EQ(context.clipBoundingBox(), (gfx::Rect{0, 0, 60, 24}));
    }
}

TEST(LeftRoundedClip, RoundsOnlyTheLeftCorners) {
    gfx::Path path = leftRoundedPath({10, 0, 50, 24});
    EXPECT_EQ(path.bounds(), (gfx::Rect{10, 0, 50, 24}));
    EXPECT_TRUE(path.containsPoint({59.9, 0.1}));
    EXPECT_TRUE(path.containsPoint({59.9, 23.9}));
    EXPECT_FALSE(path.containsPoint({10.2, 0.2}));
    EXPECT_FALSE(path.containsPoint({10.2, 23.8}));
    EXPECT_TRUE(path.containsPoint({10.2, 12}));
    // The radius is 9 at most: a tall rect keeps a straight left edge in its middle.
    gfx::Path tall = leftRoundedPath({0, 0, 40, 40});
    EXPECT_TRUE(tall.containsPoint({0.1, 20}));
    EXPECT_TRUE(tall.containsPoint({2.7, 2.7}));
    EXPECT_FALSE(tall.containsPoint({2.5, 2.5}));

    gfx::RecordingContext context({80, 40});
    clipLeftRounded(context, {10, 5, 50, 24});
    EXPECT_EQ(context.clipBoundingBox(), (gfx::Rect{10, 5, 50, 24}));
}

TEST(AppMark, FrameAndStrokeInTheForeground) {
    for (bool dark : {false, true}) {
        gfx::RecordingContext context({24, 24});
        EXPECT_TRUE(drawGlyph(context, dark));
        std::vector<gfx::StrokeRecord> strokes = context.log().strokes();
        ASSERT_EQ(strokes.size(), 2u);
        gfx::Color c = dark ? gfx::Color::white() : gfx::Color::black();
        EXPECT_EQ(strokes[0].color, c.withAlpha(0.65));
        EXPECT_DOUBLE_EQ(strokes[0].lineWidth, 0.9);
        EXPECT_EQ(strokes[0].bounds, (gfx::Rect{1.5, 1.5, 21, 21}));
        EXPECT_EQ(strokes[1].color, c);
        EXPECT_DOUBLE_EQ(strokes[1].lineWidth, 2.1);
        EXPECT_NEAR(strokes[1].bounds.minX(), 4.5, 1e-9);
        EXPECT_NEAR(strokes[1].bounds.maxY(), 18.0, 1e-9);
    }
    gfx::Image mark = appMarkImage(true);
    ASSERT_TRUE(mark.bitmap());
    EXPECT_EQ(mark.bitmap()->pixelsWide(), 48);
    EXPECT_EQ(mark.size(), (gfx::Size{24, 24}));
}

} // namespace
} // namespace pulsedeck
