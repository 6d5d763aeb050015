#include "statusbar/StatusLayout.h"

#include "statusbar/StatusFonts.h"
#include "statusbar/StatusText.h"
#include "support/NonFinite.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

using testsupport::inf;
using testsupport::nan;

MemorySnapshot sample() {
    MemorySnapshot snapshot;
    snapshot.physical = "16.00 GB";
    snapshot.used = "9.41 GB";
    snapshot.cached = "3.20 GB";
    snapshot.swap = "1.25 GB";
    return snapshot;
}

double labelWidth(Copy key, AppLanguage language = AppLanguage::english) {
    return textWidth(text(key, language) + ":", statusLabelFont());
}

double figureWidth(std::string_view figure) {
    return textWidth(figure, statusFigureFont());
}

TEST(StatusLayout, ChartWidthRoundsHalfAwayAndClamps) {
    EXPECT_EQ(statusChartWidth(inf), 85);
    EXPECT_EQ(statusChartWidth(-inf), 85);
    EXPECT_EQ(statusChartWidth(nan), 85);
    EXPECT_EQ(statusChartWidth(10), 16);
    EXPECT_EQ(statusChartWidth(170.2), 160);
    EXPECT_EQ(statusChartWidth(84.5), 85);
    EXPECT_EQ(statusChartWidth(100.5), 101);
    EXPECT_EQ(statusChartWidth(15.5), 16);
    EXPECT_EQ(statusChartWidth(-40), 16);
}

TEST(StatusLayout, ChartColumnFollowsTheChartLength) {
    struct Case {
        bool showsChart;
        double chartLength;
        double column;
    };
    for (Case c : {Case{true, 85, 100}, Case{true, 10, 31}, Case{true, 500, 175},
                   Case{true, inf, 100}, Case{true, nan, 100}, Case{false, 85, 6},
                   Case{false, inf, 6}, Case{true, 15.49, 31}, Case{true, 160.4, 175}}) {
        EXPECT_EQ(chartColumnWidth(c.showsChart, c.chartLength), c.column)
            << c.showsChart << " " << c.chartLength;
        for (DisplayMode style : {DisplayMode::four, DisplayMode::automatic, DisplayMode::pair}) {
            EXPECT_EQ(StatusLayout::measure(style, AppLanguage::english, sample(), c.showsChart,
                                            c.chartLength)
                          .leftStart,
                      c.column);
        }
    }
}

TEST(StatusLayout, BlanksAndZeroSwapAsTheRowsShowThem) {
    EXPECT_EQ(strippingBlanks("8.00 GB"), "8.00GB");
    EXPECT_EQ(strippingBlanks("8.00\u00A0GB"), "8.00GB");
    EXPECT_EQ(strippingBlanks(" 1 2\u00A0\u00A03 "), "123");
    // A narrow no-break space and other multibyte text stay.
    EXPECT_EQ(strippingBlanks("8\u202FGB \u2014"), "8\u202FGB\u2014");
    EXPECT_EQ(swapRowText("0 KB"), "\u2014");
    EXPECT_EQ(swapRowText("0.00 GB"), "\u2014");
    EXPECT_EQ(swapRowText("1.25 GB"), "1.25 GB");
}

TEST(StatusLayout, PairTakesTheWiderLabelAndFigureThenCeils) {
    MemorySnapshot snapshot = sample();
    for (bool chart : {true, false}) {
        StatusLayout layout =
            StatusLayout::measure(DisplayMode::pair, AppLanguage::english, snapshot, chart, 85);
        double labels = std::max(labelWidth(Copy::shortUsed), labelWidth(Copy::shortSwap));
        double figures = figureWidth(chart ? "88.88 GB" : "88.88GB");
        double gap = chart ? 6 : 3;
        double t = std::ceil(chartColumnWidth(chart, 85) + labels + gap + figures);
        EXPECT_EQ(layout, (StatusLayout{chartColumnWidth(chart, 85), t, t, t, t + 10})) << chart;
    }
}

TEST(StatusLayout, PairWithoutChartMeasuresFiguresWithoutBlanks) {
    MemorySnapshot snapshot = sample();
    // Wider than either template once its blank is counted, not without it.
    snapshot.used = "88.88\u00A0GB ";
    StatusLayout plain =
        StatusLayout::measure(DisplayMode::pair, AppLanguage::english, snapshot, false, 85);
    snapshot.used = "88.88GB";
    StatusLayout stripped =
        StatusLayout::measure(DisplayMode::pair, AppLanguage::english, snapshot, false, 85);
    EXPECT_EQ(plain, stripped);

    // With the chart the blanks count.
    snapshot.used = "888.88 GB";
    StatusLayout wide =
        StatusLayout::measure(DisplayMode::pair, AppLanguage::english, snapshot, true, 85);
    double labels = std::max(labelWidth(Copy::shortUsed), labelWidth(Copy::shortSwap));
    EXPECT_EQ(wide.leftEnd, std::ceil(100 + labels + 6 + figureWidth("888.88 GB")));
}

TEST(StatusLayout, ZeroSwapIsMeasuredAsTheDash) {
    MemorySnapshot snapshot = sample();
    // A zero swap text far wider than the template must not widen the segment.
    snapshot.swap = "0.00000000000000 GB";
    StatusLayout zero =
        StatusLayout::measure(DisplayMode::pair, AppLanguage::english, snapshot, true, 85);
    snapshot.swap = "\u2014";
    EXPECT_EQ(zero,
              StatusLayout::measure(DisplayMode::pair, AppLanguage::english, snapshot, true, 85));
}

TEST(StatusLayout, FourPlacesTheRightColumnAfterTheCeiledLeftEnd) {
    MemorySnapshot snapshot = sample();
    for (bool chart : {true, false}) {
        StatusLayout layout =
            StatusLayout::measure(DisplayMode::four, AppLanguage::german, snapshot, chart, 42.4);
        double cw = chartColumnWidth(chart, 42.4);
        double gap = chart ? 6 : 3;
        std::string_view figureTemplate = chart ? "88.88 GB" : "88.88GB";
        double leftLabels = std::max(labelWidth(Copy::shortPhysical, AppLanguage::german),
                                     labelWidth(Copy::shortCached, AppLanguage::german));
        double rightLabels = std::max(labelWidth(Copy::shortUsed, AppLanguage::german),
                                      labelWidth(Copy::shortSwap, AppLanguage::german));
        double leftEnd = std::ceil(cw + leftLabels + gap + figureWidth(figureTemplate));
        double rightStart = leftEnd + (chart ? 12 : 7);
        double rightEnd = std::ceil(rightStart + rightLabels + gap + figureWidth(figureTemplate));
        EXPECT_EQ(layout, (StatusLayout{cw, leftEnd, rightStart, rightEnd, rightEnd + 10}))
            << chart;
        EXPECT_EQ(layout.leftEnd, std::ceil(layout.leftEnd));
        EXPECT_EQ(layout.rightEnd, std::ceil(layout.rightEnd));
    }
}

TEST(StatusLayout, AWideFigureWidensItsColumnOnly) {
    MemorySnapshot snapshot = sample();
    StatusLayout base =
        StatusLayout::measure(DisplayMode::four, AppLanguage::english, snapshot, true, 85);
    snapshot.cached = "1234.56 GB";
    StatusLayout wider =
        StatusLayout::measure(DisplayMode::four, AppLanguage::english, snapshot, true, 85);
    double extra = figureWidth("1234.56 GB") - figureWidth("88.88 GB");
    ASSERT_GT(extra, 1);
    EXPECT_NEAR(wider.leftEnd - base.leftEnd, extra, 1);
    EXPECT_EQ(wider.rightEnd - wider.rightStart, base.rightEnd - base.rightStart);
}

TEST(StatusLayout, AutomaticIsTheGaugeAloneWithoutTheChart) {
    MemorySnapshot snapshot = sample();
    snapshot.swap = "12345678.99 GB";
    EXPECT_EQ(
        StatusLayout::measure(DisplayMode::automatic, AppLanguage::japanese, snapshot, false, 85),
        (StatusLayout{6, 26, 26, 26, 26}));
}

TEST(StatusLayout, AutomaticWithTheChartTakesTheWidestOfTitleTemplateAndValue) {
    MemorySnapshot snapshot = sample();
    StatusLayout layout =
        StatusLayout::measure(DisplayMode::automatic, AppLanguage::english, snapshot, true, 10);
    double widest =
        std::max({textWidth("Swap", statusTitleFont()), textWidth("8.88 GB", statusValueFont()),
                  textWidth("1.25 GB", statusValueFont())});
    double t = std::ceil(31 + widest);
    EXPECT_EQ(layout, (StatusLayout{31, t, t, t, t + 8}));

    // No swap in use: the used figure under the used title, blanks kept.
    snapshot.swap = "0 bytes";
    snapshot.used = "123456.78 GB";
    layout =
        StatusLayout::measure(DisplayMode::automatic, AppLanguage::english, snapshot, true, 10);
    EXPECT_EQ(layout.width, std::ceil(31 + textWidth("123456.78 GB", statusValueFont())) + 8);
}

// The kept layout answers as a fresh measure does for every change of what is measured, and
// keeps its answer while only figures that are not measured (the chart's fractions) move.
TEST(StatusLayout, AKeptLayoutFollowsEveryMeasuredInput) {
    KeptStatusLayout kept;
    MemorySnapshot snapshot = sample();
    auto same = [&](DisplayMode style, AppLanguage language, bool chart, double length) {
        EXPECT_EQ(kept.measure(style, language, snapshot, chart, length),
                  StatusLayout::measure(style, language, snapshot, chart, length));
    };
    same(DisplayMode::four, AppLanguage::english, true, 85);
    snapshot.usedFraction = 0.7;
    same(DisplayMode::four, AppLanguage::english, true, 85);
    snapshot.used = "888.88 GB";
    same(DisplayMode::four, AppLanguage::english, true, 85);
    snapshot.physical = "1024.00 GB";
    same(DisplayMode::four, AppLanguage::english, true, 85);
    snapshot.cached = "999.99 GB";
    same(DisplayMode::four, AppLanguage::english, true, 85);
    snapshot.swap = "0 KB";
    same(DisplayMode::automatic, AppLanguage::english, true, 85);
    snapshot.swap = "777.77 GB";
    same(DisplayMode::automatic, AppLanguage::english, true, 85);
    same(DisplayMode::pair, AppLanguage::english, true, 85);
    same(DisplayMode::pair, AppLanguage::german, true, 85);
    same(DisplayMode::pair, AppLanguage::german, false, 85);
    same(DisplayMode::pair, AppLanguage::german, false, 120);
}

} // namespace
} // namespace pulsedeck
