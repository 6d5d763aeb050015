#include "statusbar/MemoryStatusImage.h"

#include "drawing/CenteredTextOrigin.h"
#include "platform/graphics/RecordingContext.h"
#include "statusbar/PressureChart.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusText.h"
#include "support/NonFinite.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace pulsedeck {
namespace {

using testsupport::nan;

MemorySnapshot sample() {
    MemorySnapshot snapshot;
    snapshot.physical = "16.00 GB";
    snapshot.used = "9.41 GB";
    snapshot.cached = "3.20 GB";
    snapshot.swap = "1.25 GB";
    snapshot.pressure = 1;
    snapshot.usedFraction = 0.588;
    return snapshot;
}

std::vector<PressurePoint> points(std::size_t count, std::optional<std::int32_t> level = 1) {
    std::vector<PressurePoint> history;
    for (std::size_t i = 0; i < count; ++i) {
        history.push_back({0.2 + 0.01 * static_cast<double>(i), level});
    }
    return history;
}

// Draws the memory segment into a recording context of its measured size.
struct Drawn {
    StatusLayout layout;
    gfx::RecordingContext context;

    explicit Drawn(const MemoryStatusContent& content)
        : layout(StatusLayout::measure(content.mode, content.language, content.snapshot,
                                       content.showChart, content.chartLength)),
          context({layout.width, 24}) {
        EXPECT_TRUE(drawMemoryStatus(context, content, layout, {0, 0, layout.width, 24}));
    }
    const gfx::DrawingRecorder& log() const { return context.log(); }
};

TEST(MemoryStatusImage, CapsuleFollowsTheAppearance) {
    for (bool dark : {false, true}) {
        MemoryStatusContent content{.dark = dark, .snapshot = sample(), .mode = DisplayMode::pair};
        Drawn drawn(content);
        std::vector<gfx::FillRecord> fills = drawn.log().fills();
        ASSERT_FALSE(fills.empty());
        EXPECT_EQ(fills[0].bounds, (gfx::Rect{1, 0, drawn.layout.width - 2, 24}));
        gfx::Color foreground = dark ? gfx::Color::white() : gfx::Color::black();
        EXPECT_EQ(fills[0].color, foreground.withAlpha(dark ? 0.10 : 0.06));
        for (const gfx::TextRecord& text : drawn.log().texts()) {
            EXPECT_EQ(text.color.red(), foreground.red()) << text.text;
        }
    }
}

TEST(MemoryStatusImage, StatusDotOnlyWhileFewerThanTwoPoints) {
    for (std::size_t count : {0u, 1u, 2u}) {
        std::vector<PressurePoint> history = points(count, 2);
        MemorySnapshot snapshot = sample();
        snapshot.pressure = 4;
        MemoryStatusContent content{
            .history = history, .snapshot = snapshot, .mode = DisplayMode::pair, .chartLength = 85};
        Drawn drawn(content);
        bool dotDrawn = false;
        for (const gfx::FillRecord& fill : drawn.log().fills()) {
            if (fill.bounds == gfx::Rect{80, 9, 5, 5}) {
                dotDrawn = true;
                EXPECT_EQ(fill.color, gfx::Color::srgb(1.0, 0.24, 0.22));
            }
        }
        EXPECT_EQ(dotDrawn, count < 2) << count;
    }
}

TEST(MemoryStatusImage, TheDotTakesTheTintForTheNormalLevel) {
    MemoryStatusContent content{.tint = gfx::Color::srgb(1, 0, 1),
                                .snapshot = sample(),
                                .mode = DisplayMode::pair,
                                .chartLength = 10};
    Drawn drawn(content);
    std::vector<gfx::FillRecord> fills = drawn.log().fills();
    // Capsule, dot, separator.
    ASSERT_EQ(fills.size(), 3u);
    EXPECT_EQ(fills[1].bounds, (gfx::Rect{11, 9, 5, 5}));
    EXPECT_EQ(fills[1].color, gfx::Color::srgb(1, 0, 1));
    EXPECT_EQ(fills[2].bounds, (gfx::Rect{25, 4, 0.5, 16}));
    EXPECT_EQ(fills[2].color, gfx::Color::black().withAlpha(0.15));
}

TEST(MemoryStatusImage, PairRowsSitInTheirColumn) {
    for (bool chart : {true, false}) {
        MemorySnapshot snapshot = sample();
        snapshot.swap = "0 KB";
        MemoryStatusContent content{
            .dark = true, .showChart = chart, .snapshot = snapshot, .mode = DisplayMode::pair};
        Drawn drawn(content);
        const gfx::TextRecord* used = drawn.log().text("Used:");
        const gfx::TextRecord* swap = drawn.log().text("Swap:");
        ASSERT_TRUE(used && swap);
        EXPECT_NEAR(used->origin.x, drawn.layout.leftStart, 1e-9);
        EXPECT_NEAR(used->origin.y, 12.1, 1e-9);
        EXPECT_NEAR(swap->origin.y, 1.8, 1e-9);
        EXPECT_EQ(used->color, gfx::Color::white().withAlpha(0.76));
        EXPECT_EQ(used->font, statusLabelFont());

        const gfx::TextRecord* value = drawn.log().text(chart ? "9.41 GB" : "9.41GB");
        ASSERT_TRUE(value) << chart;
        EXPECT_NEAR(value->bounds.maxX(), drawn.layout.leftEnd, 1e-6);
        EXPECT_NEAR(value->origin.y, 11.9, 1e-9);
        EXPECT_EQ(value->color, gfx::Color::white());
        EXPECT_EQ(value->font, statusFigureFont());
        const gfx::TextRecord* dash = drawn.log().text("\u2014");
        ASSERT_TRUE(dash);
        EXPECT_NEAR(dash->origin.y, 1.6, 1e-9);
        EXPECT_NEAR(dash->bounds.maxX(), drawn.layout.leftEnd, 1e-6);
    }
}

TEST(MemoryStatusImage, FourFillsTheGridAndItsSeparator) {
    for (bool chart : {true, false}) {
        MemorySnapshot snapshot = sample();
        snapshot.swap = "0.00 GB";
        MemoryStatusContent content{.showChart = chart,
                                    .snapshot = snapshot,
                                    .mode = DisplayMode::four,
                                    .language = AppLanguage::english};
        Drawn drawn(content);
        const StatusLayout& layout = drawn.layout;

        gfx::Rect separatorRect{layout.rightStart - 6, 4, 0.5, 16};
        const gfx::FillRecord* separator = nullptr;
        std::vector<gfx::FillRecord> fills = drawn.log().fills();
        for (const gfx::FillRecord& fill : fills) {
            if (fill.bounds == separatorRect) {
                separator = &fill;
            }
        }
        ASSERT_TRUE(separator) << chart;
        EXPECT_EQ(separator->color, gfx::Color::black().withAlpha(chart ? 0.15 : 0.06));

        struct Cell {
            const char* label;
            const char* value;
            double start, end, y;
        };
        for (Cell cell : {Cell{"RAM:", "16.00 GB", layout.leftStart, layout.leftEnd, 12.1},
                          Cell{"Cache:", "3.20 GB", layout.leftStart, layout.leftEnd, 1.8},
                          Cell{"Used:", "9.41 GB", layout.rightStart, layout.rightEnd, 12.1},
                          Cell{"Swap:", "\u2014", layout.rightStart, layout.rightEnd, 1.8}}) {
            const gfx::TextRecord* label = drawn.log().text(cell.label);
            const gfx::TextRecord* value = drawn.log().text(cell.value);
            ASSERT_TRUE(label && value) << cell.label;
            EXPECT_NEAR(label->origin.x, cell.start, 1e-9) << cell.label;
            EXPECT_NEAR(label->origin.y, cell.y, 1e-9);
            EXPECT_NEAR(value->bounds.maxX(), cell.end, 1e-6) << cell.value;
            EXPECT_NEAR(value->origin.y, cell.y - 0.2, 1e-9);
        }
    }
}

TEST(MemoryStatusImage, AutomaticWithTheChartShowsOneValueUnderItsTitle) {
    MemorySnapshot snapshot = sample();
    MemoryStatusContent content{.snapshot = snapshot, .mode = DisplayMode::automatic};
    Drawn drawn(content);
    const gfx::TextRecord* title = drawn.log().text("Swap");
    const gfx::TextRecord* value = drawn.log().text("1.25 GB");
    ASSERT_TRUE(title && value);
    EXPECT_NEAR(title->bounds.maxX(), drawn.layout.leftEnd, 1e-6);
    EXPECT_NEAR(title->origin.y, 13, 1e-9);
    EXPECT_EQ(title->color, gfx::Color::black().withAlpha(0.65));
    EXPECT_EQ(title->font, statusTitleFont());
    EXPECT_NEAR(value->bounds.maxX(), drawn.layout.leftEnd, 1e-6);
    EXPECT_NEAR(value->origin.y, 2, 1e-9);
    EXPECT_EQ(value->font, statusValueFont());

    // No swap in use: the used amount under the used title.
    content.snapshot.swap = "0 KB";
    Drawn unswapped(content);
    EXPECT_TRUE(unswapped.log().text("Used"));
    EXPECT_TRUE(unswapped.log().text("9.41 GB"));
    EXPECT_FALSE(unswapped.log().text("0 KB"));
}

// The ring's number, its strokes (track first) and where the number sits.
struct Ring {
    std::vector<gfx::StrokeRecord> strokes;
    std::vector<gfx::TextRecord> texts;
};

Ring ringFor(std::optional<double> fraction, std::optional<gfx::Color> tint = std::nullopt) {
    MemorySnapshot snapshot = sample();
    snapshot.usedFraction = fraction;
    snapshot.pressure = 2;
    MemoryStatusContent content{
        .showChart = false, .tint = tint, .snapshot = snapshot, .mode = DisplayMode::automatic};
    Drawn drawn(content);
    EXPECT_EQ(drawn.layout.width, 26);
    return {drawn.log().strokes(), drawn.log().texts()};
}

TEST(MemoryStatusImage, RingShowsTheUsedFraction) {
    Ring full = ringFor(1.0);
    ASSERT_EQ(full.strokes.size(), 2u);
    EXPECT_EQ(full.strokes[0].color, gfx::Color::black().withAlpha(0.14));
    EXPECT_DOUBLE_EQ(full.strokes[0].lineWidth, 2);
    // A whole turn: the arc spans the full circle.
    EXPECT_NEAR(full.strokes[1].bounds.width(), 19, 1e-6);
    EXPECT_NEAR(full.strokes[1].bounds.height(), 19, 1e-6);
    EXPECT_EQ(full.strokes[1].color, gfx::Color::srgb(1.0, 0.79, 0.0));
    ASSERT_EQ(full.texts.size(), 1u);
    EXPECT_EQ(full.texts[0].text, "100");
    EXPECT_EQ(full.texts[0].font, statusRingFont());
    EXPECT_NEAR(full.texts[0].bounds.midX(), 13, 1e-6);
    EXPECT_NEAR(full.texts[0].origin.y,
                centeredTextOriginY("100", statusRingFont(), {3, 3, 20, 18}), 1e-9);

    // A quarter runs clockwise from the top to the right.
    Ring quarter = ringFor(0.25, gfx::Color::srgb(0, 1, 1));
    ASSERT_EQ(quarter.strokes.size(), 2u);
    EXPECT_NEAR(quarter.strokes[1].bounds.minX(), 13, 1e-6);
    EXPECT_NEAR(quarter.strokes[1].bounds.maxX(), 22.5, 1e-6);
    EXPECT_NEAR(quarter.strokes[1].bounds.minY(), 12, 1e-6);
    EXPECT_NEAR(quarter.strokes[1].bounds.maxY(), 21.5, 1e-6);
    EXPECT_EQ(quarter.strokes[1].color, gfx::Color::srgb(0, 1, 1));
    EXPECT_EQ(quarter.texts[0].text, "25");

    Ring empty = ringFor(0.0);
    EXPECT_EQ(empty.strokes.size(), 1u);
    EXPECT_EQ(empty.texts[0].text, "0");
}

TEST(MemoryStatusImage, RingWithoutAUsableFractionShowsTheDash) {
    for (std::optional<double> fraction :
         {std::optional<double>(1.01), std::optional<double>(nan), std::optional<double>(-0.01),
          std::optional<double>(std::numeric_limits<double>::infinity()),
          std::optional<double>()}) {
        Ring ring = ringFor(fraction);
        EXPECT_EQ(ring.strokes.size(), 1u);
        ASSERT_EQ(ring.texts.size(), 1u);
        EXPECT_EQ(ring.texts[0].text, "\u2014");
        EXPECT_NEAR(ring.texts[0].bounds.midX(), 13, 1e-6);
    }
}

TEST(PressureChart, ColoursEachStepByItsLevel) {
    gfx::RecordingContext context({100, 24});
    std::vector<PressurePoint> history{{0.2, 1}, {0.3, std::nullopt}, {0.4, 2}, {0.5, 4},
                                       {0.6, 3}, {std::nullopt, 4}};
    drawPressureChart(context, history, 60, false, false, std::nullopt, {5, 3, 85, 18});
    std::vector<gfx::StrokeRecord> strokes = context.log().strokes();
    ASSERT_EQ(strokes.size(), 4u);
    EXPECT_EQ(strokes[0].color, gfx::Color::srgb(0.0, 0.82, 0.09));
    EXPECT_EQ(strokes[1].color, gfx::Color::srgb(1.0, 0.79, 0.0));
    EXPECT_EQ(strokes[2].color, gfx::Color::srgb(1.0, 0.24, 0.22));
    EXPECT_EQ(strokes[3].color, gfx::Color::secondaryLabel().resolved(gfx::Appearance::light));
    std::vector<gfx::FillRecord> fills = context.log().fills();
    ASSERT_EQ(fills.size(), 4u);
    EXPECT_EQ(fills[0].color, gfx::Color::srgb(0.0, 0.82, 0.09, 0.28));
    EXPECT_NEAR(fills[3].color.alpha(), 0.28, 1e-12);

    // Right-aligned: six points of sixty end on the right edge.
    double step = 85.0 / 59;
    EXPECT_NEAR(fills[0].bounds.minX(), 5 + 53 * step, 1e-9);
    EXPECT_NEAR(fills[3].bounds.maxX(), 5 + 58 * step, 1e-9);

    EXPECT_EQ(pressureLevelColor(1, true, gfx::Color::srgb(1, 0, 1)), gfx::Color::srgb(1, 0, 1));
    EXPECT_EQ(pressureLevelColor(1, true), gfx::Color::srgb(0.16, 0.58, 1.0));
    EXPECT_EQ(pressureLevelColor(1, false), gfx::Color::srgb(0.0, 0.82, 0.09));
    EXPECT_EQ(pressureLevelColor(2, true, gfx::Color::srgb(1, 0, 1)),
              gfx::Color::srgb(1.0, 0.79, 0.0));
    EXPECT_EQ(pressureLevelColor(4, false), gfx::Color::srgb(1.0, 0.24, 0.22));
    EXPECT_EQ(pressureLevelColor(3, true), gfx::Color::secondaryLabel());
    EXPECT_EQ(pressureLevelColor(std::nullopt, false), gfx::Color::secondaryLabel());
}

TEST(PressureChart, CapacityBelowTwoCountsAsTwo) {
    std::vector<PressurePoint> history = points(3);
    for (int capacity : {-5, 0, 1}) {
        gfx::RecordingContext context({100, 24});
        drawPressureChart(context, history, capacity, true, true, std::nullopt, {5, 3, 85, 18});
        gfx::RecordingContext two({100, 24});
        drawPressureChart(two, history, 2, true, true, std::nullopt, {5, 3, 85, 18});
        ASSERT_EQ(context.log().fills().size(), 1u) << capacity;
        EXPECT_EQ(context.log().fills()[0].bounds, two.log().fills()[0].bounds);
        EXPECT_NEAR(context.log().fills()[0].bounds.maxX(), 90, 1e-9);
    }
}

TEST(PressureChart, EmptyHistoryDrawsNothing) {
    gfx::RecordingContext context({100, 24});
    drawPressureChart(context, {}, 60, true, false, std::nullopt, {5, 3, 85, 18});
    EXPECT_TRUE(context.log().records().empty());
}

} // namespace
} // namespace pulsedeck
