#include "statusbar/StatusLayout.h"

#include "statusbar/StatusFonts.h"
#include "statusbar/StatusText.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace pulsedeck {

namespace {

constexpr double smallestChart = 16;
constexpr double largestChart = 160;
constexpr double unsetChart = 85;

// The chart starts at x 5 and is followed by 10 pt before the text.
constexpr double chartSurround = 15;
constexpr double columnWithoutChart = 6;

constexpr std::string_view templateWithChart = "88.88 GB";
constexpr std::string_view templateWithoutChart = "88.88GB";
constexpr std::string_view automaticTemplate = "8.88 GB";

constexpr double automaticGaugeWidth = 26;

std::string label(Copy key, AppLanguage language) {
    return text(key, language) + ":";
}

double widest(const gfx::Font& font, std::initializer_list<std::string_view> texts) {
    double width = 0;
    for (std::string_view candidate : texts) {
        width = std::max(width, textWidth(candidate, font));
    }
    return width;
}

} // namespace

double statusChartWidth(double chartLength) {
    if (!std::isfinite(chartLength)) {
        return unsetChart;
    }
    return std::clamp(gfx::roundHalfAwayFromZero(chartLength), smallestChart, largestChart);
}

double chartColumnWidth(bool showsChart, double chartLength) {
    return showsChart ? statusChartWidth(chartLength) + chartSurround : columnWithoutChart;
}

std::string strippingBlanks(std::string_view text) {
    constexpr std::string_view noBreakSpace = "\u00A0";
    std::string stripped;
    stripped.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
        } else if (text.substr(i, noBreakSpace.size()) == noBreakSpace) {
            i += noBreakSpace.size();
        } else {
            stripped += text[i++];
        }
    }
    return stripped;
}

std::string swapRowText(const std::string& swap) {
    return isZeroAmountText(swap) ? "\u2014" : swap;
}

StatusLabelWidths StatusLabelWidths::measure(AppLanguage language, bool showsChart) {
    const gfx::Font& labels = statusLabelFont();
    return {
        widest(labels, {label(Copy::shortUsed, language), label(Copy::shortSwap, language)}),
        widest(labels, {label(Copy::shortPhysical, language), label(Copy::shortCached, language)}),
        textWidth(showsChart ? templateWithChart : templateWithoutChart, statusFigureFont())};
}

namespace {

// The layout with the labels measured (none in the automatic style, which has no columns).
StatusLayout layoutWith(const StatusLabelWidths& labels, DisplayMode style, AppLanguage language,
                        const MemorySnapshot& snapshot, bool showsChart, double chartLength) {
    double cw = chartColumnWidth(showsChart, chartLength);

    if (style == DisplayMode::automatic) {
        if (!showsChart) {
            return {cw, automaticGaugeWidth, automaticGaugeWidth, automaticGaugeWidth,
                    automaticGaugeWidth};
        }
        const std::string& value = isZeroAmountText(snapshot.swap) ? snapshot.used : snapshot.swap;
        double widestText = std::max(
            {textWidth(snapshot.secondaryLabel(language), statusTitleFont()),
             textWidth(automaticTemplate, statusValueFont()), textWidth(value, statusValueFont())});
        double t = std::ceil(cw + widestText);
        return {cw, t, t, t, t + 8};
    }

    auto figure = [showsChart](const std::string& text) {
        return showsChart ? text : strippingBlanks(text);
    };
    double gap = showsChart ? 6 : 3;
    const gfx::Font& values = statusFigureFont();

    std::string used = figure(snapshot.used);
    std::string swap = figure(swapRowText(snapshot.swap));
    double usedSwapValues = std::max(labels.valueTemplate, widest(values, {used, swap}));

    if (style == DisplayMode::pair) {
        double t = std::ceil(cw + labels.usedSwapLabels + gap + usedSwapValues);
        return {cw, t, t, t, t + 10};
    }

    double columnGap = showsChart ? 12 : 7;
    double leftValues = std::max(
        labels.valueTemplate, widest(values, {figure(snapshot.physical), figure(snapshot.cached)}));
    double leftEnd = std::ceil(cw + labels.physicalCachedLabels + gap + leftValues);
    double rightStart = leftEnd + columnGap;
    double rightEnd = std::ceil(rightStart + labels.usedSwapLabels + gap + usedSwapValues);
    return {cw, leftEnd, rightStart, rightEnd, rightEnd + 10};
}

} // namespace

StatusLayout StatusLayout::measure(DisplayMode style, AppLanguage language,
                                   const MemorySnapshot& snapshot, bool showsChart,
                                   double chartLength) {
    StatusLabelWidths labels = style == DisplayMode::automatic
                                   ? StatusLabelWidths{}
                                   : StatusLabelWidths::measure(language, showsChart);
    return layoutWith(labels, style, language, snapshot, showsChart, chartLength);
}

StatusLayout KeptStatusLayout::measure(DisplayMode style, AppLanguage language,
                                       const MemorySnapshot& snapshot, bool showsChart,
                                       double chartLength) {
    Inputs inputs{style,         language,      showsChart,        chartLength,
                  snapshot.used, snapshot.swap, snapshot.physical, snapshot.cached};
    if (inputs_ != inputs) {
        if (style != DisplayMode::automatic && labelsFor_ != std::pair{language, showsChart}) {
            labels_ = StatusLabelWidths::measure(language, showsChart);
            labelsFor_ = std::pair{language, showsChart};
        }
        layout_ = layoutWith(labels_, style, language, snapshot, showsChart, chartLength);
        inputs_ = std::move(inputs);
    }
    return layout_;
}

} // namespace pulsedeck
