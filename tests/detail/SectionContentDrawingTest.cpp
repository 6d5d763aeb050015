#include "detail/SectionContentDrawing.h"

#include "detail/ModuleFigures.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/RecordingContext.h"
#include "sources/NetworkSnapshot.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

constexpr double cardWidth = 282;

SectionContent laidOut(ModuleKind kind, DetailPresentation presentation) {
    SectionContent content;
    content.presentation = presentation;
    content.regions = sectionRegions(kind, presentation, cardWidth,
                                     detailSectionHeight(kind, presentation, {}), {});
    return content;
}

gfx::DrawingRecorder drawn(ModuleKind kind, const SectionContent& content) {
    gfx::RecordingContext context({cardWidth, 400});
    drawSectionContent(context, kind, content);
    return context.log();
}

bool nearly(double a, double b) {
    return std::abs(a - b) < 0.01;
}

TEST(SectionContentDrawingTest, ACardWithoutRegionsDrawsNothing) {
    for (const ModuleKind kind : allModuleKinds) {
        for (const auto presentation :
             {DetailPresentation::details, DetailPresentation::overview}) {
            SectionContent content;
            content.presentation = presentation;
            content.memory.swap = "0.0 MB";
            content.fan.detectedCount = 0;
            content.temperatureHistory = {};
            EXPECT_TRUE(drawn(kind, content).records().empty()) << toString(kind);
        }
    }
}

TEST(SectionContentDrawingTest, ColourRowsNameTheComputeSeriesAndElsewhereTheModuleColour) {
    const auto colourRowTexts = [](ModuleKind kind) {
        std::vector<std::string> found;
        for (const gfx::TextRecord& record :
             drawn(kind, laidOut(kind, DetailPresentation::details)).texts()) {
            if (record.color == gfx::Color::secondaryLabel().resolved(gfx::Appearance::light) &&
                nearly(record.origin.x, 0)) {
                found.push_back(record.text);
            }
        }
        return found;
    };
    EXPECT_EQ(colourRowTexts(ModuleKind::compute),
              (std::vector{text(Copy::cpuUsage, AppLanguage::english),
                           text(Copy::gpuUsage, AppLanguage::english)}));
    for (const ModuleKind kind : {ModuleKind::memory, ModuleKind::fan, ModuleKind::network,
                                  ModuleKind::temperature, ModuleKind::devices}) {
        EXPECT_EQ(colourRowTexts(kind), std::vector{text(Copy::moduleColor, AppLanguage::english)})
            << toString(kind);
    }
}

TEST(SectionContentDrawingTest, FittedFontsShrinkToEightPointsAndNeverGrow) {
    const struct {
        std::string text;
        double maxWidth;
        double size;
        double expectedAtMost;
        double expectedAtLeast;
    } cases[] = {
        {"Swap", 200, 11, 11, 11},
        {"A title somewhat too long", 100, 11, 10.99, 8.01},
        {"A title far too long for any place it could be given here", 40, 11, 8, 8},
        // Already below the floor: too wide still never makes it larger.
        {"A title far too long for any place it could be given here", 40, 6, 6, 6},
        {"", 0, 11, 11, 11},
    };
    for (const auto& c : cases) {
        const gfx::Font font =
            fittedSystemFont(c.text, c.maxWidth, c.size, gfx::FontWeight::medium);
        EXPECT_LE(font.pointSize(), c.expectedAtMost) << c.text;
        EXPECT_GE(font.pointSize(), c.expectedAtLeast) << c.text;
        EXPECT_EQ(font.weight(), gfx::FontWeight::medium);
        if (c.expectedAtLeast > 8 && c.expectedAtMost < c.size) {
            EXPECT_NEAR(gfx::textSize(c.text, {.font = font}).width, c.maxWidth, 1.0) << c.text;
        }
    }
}

TEST(SectionContentDrawingTest, ALabelTooLongAtEightPointsIsCutAtItsRect) {
    gfx::RecordingContext context({300, 100});
    const std::string longTitle = "A title far too long for any place it could be given here";
    const gfx::Rect rect{10, 20, 60, 30};
    drawLabel(context, longTitle, rect,
              fittedSystemFont(longTitle, rect.width(), 11, gfx::FontWeight::medium),
              gfx::Color::label());
    ASSERT_EQ(context.log().texts().size(), 1u);
    const gfx::TextRecord record = context.log().texts().front();
    EXPECT_EQ(record.font.pointSize(), 8);
    EXPECT_LE(record.bounds.maxX(), rect.maxX() + 0.01);
    EXPECT_NEAR(record.bounds.midY(), rect.midY(), 0.01);
    // Nothing of the text is painted past the rect's right edge.
    for (int x = int(rect.maxX()) + 1; x < 300; ++x) {
        for (int y = 0; y < 100; ++y)
            ASSERT_EQ(context.bitmap().pixel(x, y).alpha, 0) << x << "," << y;
    }
}

TEST(SectionContentDrawingTest, ChartCardsCarryATitleBandOnlyInDetails) {
    const std::vector<std::optional<double>> hot(60, 120.0);
    for (const auto presentation : {DetailPresentation::details, DetailPresentation::overview}) {
        SectionContent content = laidOut(ModuleKind::temperature, presentation);
        content.temperatureHistory = hot;
        const gfx::Rect card = content.regions.at("temperatureChart");
        const auto log = drawn(ModuleKind::temperature, content);
        const bool titled = log.text(text(Copy::temperatureEnabled, AppLanguage::english));
        EXPECT_EQ(titled, presentation == DetailPresentation::details);
        // 120 °C is clamped to the chart's top: the card's top less the title band.
        double top = 0;
        for (const gfx::StrokeRecord& stroke : log.strokes())
            top = std::max(top, stroke.bounds.maxY());
        EXPECT_NEAR(top, card.maxY() - (titled ? 25 : 0), 0.01);
        EXPECT_EQ(log.fills().front().bounds, card);
    }
}

TEST(SectionContentDrawingTest, FanRowsMessagesAndTheirColumn) {
    const auto fanTexts = [](const FanSnapshot& fan, bool enabled) {
        SectionContent content = laidOut(ModuleKind::fan, DetailPresentation::details);
        content.fan = fan;
        content.fanEnabled = enabled;
        return drawn(ModuleKind::fan, content);
    };
    const std::string noFans = text(Copy::noFans, AppLanguage::english);
    const std::string unavailable = text(Copy::fanUnavailable, AppLanguage::english);
    FanSnapshot fanless;
    fanless.detectedCount = 0;
    EXPECT_TRUE(fanTexts(fanless, true).text(noFans));
    EXPECT_FALSE(fanTexts(fanless, true).text(unavailable));
    EXPECT_TRUE(fanTexts(FanSnapshot{}, true).text(unavailable));
    FanSnapshot unread;
    unread.detectedCount = 2;
    EXPECT_TRUE(fanTexts(unread, true).text(unavailable));
    EXPECT_FALSE(fanTexts(fanless, false).text(noFans));

    FanSnapshot three;
    three.fans = {{0, 1200.0, 5800.0}, {1, 1250.0, 5800.0}, {2, 900.0, std::nullopt}};
    const auto log = fanTexts(three, true);
    const std::string fan = text(Copy::fanShort, AppLanguage::english);
    EXPECT_TRUE(log.text(fan + " 1"));
    EXPECT_TRUE(log.text(fan + " 2"));
    EXPECT_FALSE(log.text(fan + " 3"));
    EXPECT_FALSE(log.text("900"));
    EXPECT_FALSE(log.text(noFans));
    EXPECT_NEAR(log.text("5800")->bounds.maxX(), cardWidth, 0.01);

    // The suffix keeps its place for speeds up to four digits and moves for a fifth.
    const std::string suffix = "RPM \u00b7 " + text(Copy::fanMaximum, AppLanguage::english);
    const auto suffixX = [&](double rpm) {
        FanSnapshot one;
        one.fans = {{0, rpm, 6000.0}};
        return fanTexts(one, true).text(suffix)->origin.x;
    };
    EXPECT_EQ(suffixX(8), suffixX(1200));
    EXPECT_LT(suffixX(12345), suffixX(1200));
    EXPECT_EQ(fanFigureText(std::nullopt), "\u2014");
    EXPECT_EQ(fanFigureText(std::nan("")), "\u2014");
    EXPECT_EQ(fanFigureText(1234.4), "1234");
}

TEST(SectionContentDrawingTest, AZeroSwapReadsZeroBytes) {
    const struct {
        std::string swap;
        std::string shown;
    } cases[] = {{"0.0 MB", "0 bytes"}, {"0,00 GB", "0 bytes"}, {"1.25 GB", "1.25 GB"}};
    for (const auto& c : cases) {
        SectionContent content = laidOut(ModuleKind::memory, DetailPresentation::details);
        content.memory.swap = c.swap;
        const auto log = drawn(ModuleKind::memory, content);
        const gfx::TextRecord* value = log.text(c.shown);
        ASSERT_TRUE(value) << c.swap;
        EXPECT_NEAR(value->bounds.maxX(), cardWidth, 0.01);
        EXPECT_NEAR(value->bounds.midY(), content.regions.at("memoryRow3").midY(), 0.01);
    }
}

TEST(SectionContentDrawingTest, TheGpuLabelIsFaintUntilItHasAColourOfItsOwn) {
    const std::string cpu = text(Copy::cpuUsage, AppLanguage::english);
    const std::string gpu = text(Copy::gpuUsage, AppLanguage::english);
    const auto labels = [&](bool ownGpu, DetailPresentation presentation) {
        SectionContent content = laidOut(ModuleKind::compute, presentation);
        if (ownGpu)
            content.moduleColors.setColor(PaletteColor::pink, ColorSlot::gpu);
        const auto log = drawn(ModuleKind::compute, content);
        // The row labels, not the colour rows: the colour rows use the secondary label colour.
        std::vector<gfx::TextRecord> rows;
        for (const gfx::TextRecord& record : log.texts()) {
            if ((record.text == cpu || record.text == gpu) &&
                record.color != gfx::Color::secondaryLabel().resolved(gfx::Appearance::light))
                rows.push_back(record);
        }
        return std::pair{rows, log.fills().size()};
    };
    const auto [following, followingFills] = labels(false, DetailPresentation::details);
    ASSERT_EQ(following.size(), 2u);
    EXPECT_DOUBLE_EQ(following[0].color.alpha(), 1.0);
    EXPECT_DOUBLE_EQ(following[1].color.alpha(), 0.45);
    EXPECT_EQ(following[0].color.withAlpha(1), following[1].color.withAlpha(1));
    EXPECT_EQ(following[0].origin.x, 0);

    const auto [own, ownFills] = labels(true, DetailPresentation::overview);
    ASSERT_EQ(own.size(), 2u);
    EXPECT_DOUBLE_EQ(own[1].color.alpha(), 1.0);
    EXPECT_EQ(own[1].color, toColor(PaletteColor::pink));
    EXPECT_EQ(own[0].origin.x, 20);
    // Overview adds a dot per row.
    EXPECT_EQ(ownFills, followingFills + 2);
}

TEST(SectionContentDrawingTest, HistoryChartsKeepTheLastSixtyAgainstTheRightEdge) {
    const gfx::Rect chart{10, 5, 118, 50};
    const double step = chart.width() / 59;
    const HistoryChartStyle fraction{.fraction = [](double v) { return v; },
                                     .color = [](double) { return gfx::Color::black(); }};
    const auto strokes = [&](const std::vector<std::optional<double>>& history) {
        gfx::RecordingContext context({200, 100});
        drawHistoryChart(context, history, fraction, chart);
        return context.log().strokes();
    };
    std::vector<std::optional<double>> long_(80);
    for (std::size_t i = 0; i < long_.size(); ++i)
        long_[i] = double(i) / 80;
    const auto all = strokes(long_);
    ASSERT_EQ(all.size(), 60u);
    EXPECT_NEAR(all.front().bounds.maxX(), chart.minX(), 0.01);
    EXPECT_NEAR(all.back().bounds.maxX(), chart.maxX(), 0.01);
    // The oldest kept entry is entry 20, drawn flat from its own value.
    EXPECT_NEAR(all.front().bounds.minY(), chart.minY() + 0.25 * chart.height(), 0.01);

    std::vector<std::optional<double>> short_(10, 0.5);
    short_[4] = std::nullopt;
    short_[0] = -0.3;
    const auto few = strokes(short_);
    ASSERT_EQ(few.size(), 9u);
    EXPECT_NEAR(few.front().bounds.maxX(), chart.minX() + 50 * step, 0.01);
    // A negative fraction lies on the bottom.
    EXPECT_NEAR(few.front().bounds.minY(), chart.minY(), 0.01);
    EXPECT_NEAR(few.back().bounds.maxX(), chart.maxX(), 0.01);
    // After a gap the next step starts flat from its own value.
    EXPECT_NEAR(few[3].bounds.height(), 0, 0.01);

    EXPECT_TRUE(strokes({}).empty());
}

TEST(SectionContentDrawingTest, NetworkAndComputeRowsShowValuesAndPeaks) {
    SectionContent network = laidOut(ModuleKind::network, DetailPresentation::details);
    const std::vector<NetworkSnapshot> rates{
        {2000.0, std::nullopt, {}}, {1'500'000.0, 300.0, {}}, {std::nullopt, 500.0, {}}};
    network.networkHistory = rates;
    network.network = rates.back();
    const auto log = drawn(ModuleKind::network, network);
    const std::string peak = text(Copy::peak, AppLanguage::english) + " ";
    ASSERT_TRUE(log.text(peak + formatRate(1'500'000.0)));
    EXPECT_NEAR(log.text(peak + formatRate(1'500'000.0))->bounds.maxX(), cardWidth, 0.01);
    EXPECT_TRUE(log.text(peak + formatRate(500.0)));
    ASSERT_TRUE(log.text("\u2014"));
    EXPECT_NEAR(log.text("\u2014")->bounds.maxX(), 0.56 * cardWidth, 0.01);
    // Plain colours: download in the module colour, upload the same at 0.4.
    const gfx::TextRecord* upload = log.text(text(Copy::upload, AppLanguage::english));
    ASSERT_TRUE(upload);
    EXPECT_DOUBLE_EQ(upload->color.alpha(), 0.4);

    SectionContent compute = laidOut(ModuleKind::compute, DetailPresentation::details);
    std::vector<ComputeSnapshot> loads(3);
    loads[0].cpu = 12.0;
    loads[1].cpu = 87.4;
    loads[2].cpu = 250.0;
    compute.computeHistory = loads;
    const auto computeLog = drawn(ModuleKind::compute, compute);
    EXPECT_TRUE(computeLog.text(peak + "87%"));
    EXPECT_TRUE(computeLog.text(peak + "\u2014"));
}

TEST(SectionContentDrawingTest, TemperatureFiguresAndTheirEmptyForms) {
    SectionContent content = laidOut(ModuleKind::temperature, DetailPresentation::details);
    EXPECT_TRUE(drawn(ModuleKind::temperature, content).text("\u2014 \u00b0C"));
    EXPECT_TRUE(drawn(ModuleKind::temperature, content).text("\u2014"));

    const std::vector<std::optional<double>> readings{48.6, std::nullopt, 71.2, 39.5};
    content.temperatureHistory = readings;
    content.temperature.celsius = 71.2;
    content.temperature.sensorCount = 5;
    const auto log = drawn(ModuleKind::temperature, content);
    ASSERT_TRUE(log.text("71 \u00b0C"));
    EXPECT_NEAR(log.text("71 \u00b0C")->bounds.maxX(), cardWidth, 0.01);
    EXPECT_TRUE(log.text("5"));
    EXPECT_TRUE(log.text("40\u201371 \u00b0C"));
    // The title beside the choice uses the compute display wording and leaves the choice room.
    const gfx::TextRecord* title = log.text(text(Copy::computeDisplay, AppLanguage::english));
    ASSERT_TRUE(title);
    EXPECT_LE(title->bounds.maxX(), cardWidth - 180 + 0.01);
}

} // namespace
} // namespace pulsedeck
