#include "detail/DetailGeometry.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace pulsedeck {

namespace {

constexpr double detailsContentWidth = 282;
constexpr double overviewContentWidth = 244;
constexpr double overviewCardInsets = 36;
// A card's row of colour buttons and the gap under it, details / overview.
constexpr double detailsColorRow = 27;
constexpr double detailsColorGap = 9;
constexpr double overviewColorRow = 25;
constexpr double overviewColorGap = 5;
constexpr double colorRowsPerSlot = detailsColorRow + detailsColorGap;
// A device card gives up this much in the overview's compact cards.
constexpr double overviewDeviceTrim = 12;
constexpr double deviceSpacing = 8;
constexpr double twoColumnDeviceWidth = 400;
constexpr double sliderX = 132;
constexpr double sliderMargin = 192;
constexpr double sliderMinimumWidth = 50;
constexpr double sliderHeight = 22;
constexpr double lowerSliderY = 85;
constexpr double upperSliderY = 121;
constexpr double minimumFontSize = 8;

// One row of a card: its name, the space above it and its height, details / overview.
struct Row {
    std::string_view name;
    double detailsGap;
    double overviewGap;
    double detailsHeight;
    double overviewHeight;
};

// A chart row, as tall as the presentation's chart.
constexpr double detailsChart = 76;
constexpr double overviewChart = 36;

constexpr Row memoryRows[] = {
    {"memoryChart", 0, 0, 76, 32},      {"memoryRow0", 12, 8, 18, 16},
    {"memoryRow1", 6, 3, 18, 16},       {"memoryRow2", 6, 3, 18, 16},
    {"memoryRow3", 6, 3, 18, 16},       {"sync", 6, 3, 22, 20},
    {"displayTitle", 10, 2, 17, 15},    {"display", 5, 3, 27, 25},
    {"memoryShowChart", 14, 6, 17, 15}, {"memoryChartChoice", 5, 3, 27, 25},
};
constexpr Row fanRows[] = {
    {"fan0", 0, 8, 22, 22},       {"fan1", 0, 0, 22, 22},
    {"fanTitle", 12, 12, 27, 27}, {"animationTitle", 12, 8, 17, 17},
    {"animation", 5, 5, 27, 27},
};
constexpr Row networkRows[] = {
    {"networkChart", 0, 0, detailsChart, overviewChart},
    {"download", 8, 8, 22, 22},
    {"upload", 0, 0, 22, 22},
    {"networkColorTitle", 12, 12, 17, 17},
    {"networkColorChoice", 5, 5, 27, 27},
    {"networkShowChart", 10, 10, 22, 22},
};
constexpr Row temperatureRows[] = {
    {"temperatureChart", 0, 0, detailsChart, overviewChart},
    {"temperatureValue", 8, 8, 22, 22},
    {"sensors", 4, 4, 22, 22},
    {"temperatureRange", 4, 4, 22, 22},
    {"temperatureDisplay", 12, 12, 27, 27},
};
constexpr Row computeRows[] = {
    {"computeChart", 0, 0, detailsChart, overviewChart},
    {"cpuUsage", 8, 8, 22, 22},
    {"gpuUsage", 0, 0, 22, 22},
    {"computeDisplay", 12, 12, 27, 27},
};

template <std::size_t N>
void addRows(SectionRegions& regions, const Row (&rows)[N], bool overview, double width,
             double& cursor) {
    for (const Row& row : rows) {
        const double height = overview ? row.overviewHeight : row.detailsHeight;
        cursor -= (overview ? row.overviewGap : row.detailsGap) + height;
        regions.emplace(std::string(row.name), gfx::Rect(0, cursor, width, height));
    }
}

void addDeviceRows(SectionRegions& regions, bool overview, double width,
                   const std::vector<bool>& devicesWithCapacity, double& cursor) {
    const std::size_t count = devicesWithCapacity.size();
    const double trim = overview ? overviewDeviceTrim : 0;
    if (overview && width > twoColumnDeviceWidth && count >= 1) {
        const double half = (width - deviceSpacing) / 2;
        for (std::size_t first = 0; first < count; first += 2) {
            const std::size_t end = std::min(first + 2, count);
            double rowHeight = 0;
            for (std::size_t j = first; j < end; ++j)
                rowHeight = std::max(rowHeight, deviceCardHeight(devicesWithCapacity[j]));
            cursor -= rowHeight;
            regions.emplace("deviceRow" + std::to_string(first),
                            gfx::Rect(0, cursor, width, rowHeight));
            for (std::size_t j = first; j < end; ++j)
                regions.emplace(
                    "device" + std::to_string(j),
                    gfx::Rect((half + deviceSpacing) * double(j - first), cursor, half, rowHeight));
            cursor -= deviceSpacing;
        }
        return;
    }
    for (std::size_t j = 0; j < std::max<std::size_t>(count, 1); ++j) {
        const bool hasCapacity = j < count && devicesWithCapacity[j];
        const double height = deviceCardHeight(hasCapacity) - trim;
        regions.emplace("device" + std::to_string(j), gfx::Rect(0, cursor - height, width, height));
        cursor -= height + deviceSpacing;
    }
    if (!overview)
        regions.emplace("deviceHint", gfx::Rect(0, cursor - 18, width, 18));
}

} // namespace

double deviceCardHeight(bool hasCapacity) {
    return hasCapacity ? 68 : 56;
}

double detailSectionHeight(ModuleKind kind, DetailPresentation presentation,
                           const std::vector<bool>& devicesWithCapacity) {
    const bool overview = presentation == DetailPresentation::overview;
    switch (kind) {
    case ModuleKind::memory:
        return overview ? 264 : 343 + colorRowsPerSlot;
    case ModuleKind::fan:
        return overview ? 224 : 154 + colorRowsPerSlot;
    case ModuleKind::network:
        return overview ? 234 : 231 + colorRowsPerSlot;
    case ModuleKind::temperature:
        return overview ? 204 : 201 + colorRowsPerSlot;
    case ModuleKind::compute:
        return overview ? 208 : 177 + 2 * colorRowsPerSlot;
    case ModuleKind::devices:
        break;
    }
    if (devicesWithCapacity.empty())
        return overview ? 120 : 88 + colorRowsPerSlot;
    double height = overview ? 8 + 32 : 24 + colorRowsPerSlot;
    for (bool hasCapacity : devicesWithCapacity)
        height +=
            deviceCardHeight(hasCapacity) - (overview ? overviewDeviceTrim : 0) + deviceSpacing;
    return height;
}

double cardContentWidth(DetailPresentation presentation, const gfx::Rect* gridFrame) {
    if (presentation == DetailPresentation::details)
        return detailsContentWidth;
    return gridFrame ? gridFrame->width() - overviewCardInsets : overviewContentWidth;
}

SectionRegions sectionRegions(ModuleKind kind, DetailPresentation presentation, double width,
                              double sectionHeight, const std::vector<bool>& devicesWithCapacity) {
    const bool overview = presentation == DetailPresentation::overview;
    SectionRegions regions;
    double cursor = sectionHeight;
    for (ColorSlot slot : colorSlots(kind)) {
        const double row = overview ? overviewColorRow : detailsColorRow;
        cursor -= row;
        regions.emplace("color-" + std::string(toString(slot)), gfx::Rect(0, cursor, width, row));
        cursor -= overview ? overviewColorGap : detailsColorGap;
    }
    switch (kind) {
    case ModuleKind::memory:
        addRows(regions, memoryRows, overview, width, cursor);
        break;
    case ModuleKind::fan:
        if (overview) {
            cursor -= overviewChart;
            regions.emplace("fanChart", gfx::Rect(0, cursor, width, overviewChart));
        }
        addRows(regions, fanRows, overview, width, cursor);
        break;
    case ModuleKind::network:
        addRows(regions, networkRows, overview, width, cursor);
        break;
    case ModuleKind::temperature:
        addRows(regions, temperatureRows, overview, width, cursor);
        break;
    case ModuleKind::compute:
        addRows(regions, computeRows, overview, width, cursor);
        break;
    case ModuleKind::devices:
        addDeviceRows(regions, overview, width, devicesWithCapacity, cursor);
        break;
    }
    return regions;
}

double detailFooterHeight(int visibleModules, DetailPresentation presentation,
                          double contentWidth) {
    int rows = visibleModules >= 1 ? 1 : 0;
    if (visibleModules >= 2 &&
        (presentation == DetailPresentation::details || contentWidth < oneSliderRowWidth))
        ++rows;
    return 80 + 36 * rows;
}

StripSliderFrames stripSliderFrames(double viewWidth, DetailPresentation presentation,
                                    double contentWidth, int visibleModules) {
    StripSliderFrames frames;
    frames.chartLengthHidden = visibleModules == 0;
    frames.gapHidden = visibleModules < 2;
    if (presentation == DetailPresentation::details) {
        const double width = std::max(viewWidth - sliderMargin, sliderMinimumWidth);
        frames.chartLength = {sliderX, visibleModules < 2 ? lowerSliderY : upperSliderY, width,
                              sliderHeight};
        frames.gap = {sliderX, lowerSliderY, width, sliderHeight};
        return frames;
    }
    const bool oneRow = contentWidth >= oneSliderRowWidth;
    const double half = oneRow ? viewWidth / 2 : viewWidth;
    const double width = std::max(half - sliderMargin, sliderMinimumWidth);
    frames.chartLength = {sliderX, lowerSliderY, width, sliderHeight};
    frames.gap = oneRow ? gfx::Rect(half + sliderX, lowerSliderY, width, sliderHeight)
                        : gfx::Rect(sliderX, upperSliderY, width, sliderHeight);
    return frames;
}

ScrollerFigures scrollerFigures(double clipHeight, double documentHeight, double offset) {
    ScrollerFigures figures;
    figures.needed = clipHeight + 0.5 < documentHeight;
    figures.knobProportion = documentHeight > 0 ? std::min(clipHeight / documentHeight, 1.0) : 1;
    if (figures.needed) {
        const double value = std::min(offset / (documentHeight - clipHeight), 1.0);
        figures.value = value >= 0 ? value : 0;
    }
    return figures;
}

double clampedScrollOffset(double remembered, double documentHeight, double clipHeight) {
    return std::max(0.0, std::min(documentHeight - clipHeight, remembered));
}

double fittedFontSize(double textWidth, double maxWidth, double size) {
    if (!(textWidth > maxWidth) || textWidth <= 0)
        return size;
    return std::max(maxWidth * size / textWidth, minimumFontSize);
}

} // namespace pulsedeck
