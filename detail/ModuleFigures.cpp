#include "detail/ModuleFigures.h"

#include "drawing/CenteredTextOrigin.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Path.h"
#include "sources/NetworkSnapshot.h"
#include "statusbar/ComputeStatusImage.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/PressureChart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace pulsedeck {

namespace {

constexpr const char* emptyValue = "\u2014";
// The right edge of a network or compute value, as a share of the content width.
constexpr double valueColumnShare = 0.56;
constexpr double peakAlpha = 0.78;
// The room the fan, compute and temperature choices take at the right of their title rows.
constexpr double choiceRoom = 180;
constexpr std::size_t chartEntries = 60;
constexpr double hottestCharted = 110;

gfx::Color moduleColor(const SectionContent& content, ColorSlot slot) {
    return toColor(content.moduleColors.color(slot, content.normalBlue));
}

double textWidth(std::string_view text, const gfx::Font& font) {
    return gfx::textSize(text, {.font = font}).width;
}

// A text at a point, centred vertically on r.
void drawAt(gfx::Context& context, std::string_view text, double x, const gfx::Rect& r,
            const gfx::Font& font, const gfx::Color& color) {
    gfx::drawText(context, text, gfx::Point{x, centeredTextOriginY(text, font, r)},
                  {.font = font, .color = color});
}

// A text whose right edge is at rightEdge, centred vertically on r.
void drawEndingAt(gfx::Context& context, std::string_view text, double rightEdge,
                  const gfx::Rect& r, const gfx::Font& font, const gfx::Color& color) {
    drawAt(context, text, rightEdge - textWidth(text, font), r, font, color);
}

// A title row beside a choice: the label in the row's left part, fitted at 11 pt medium.
void drawChoiceTitle(gfx::Context& context, const SectionContent& content,
                     const SectionColors& colors, std::string_view region, Copy key) {
    const gfx::Rect* r = findRegion(content.regions, region);
    if (!r)
        return;
    const std::string label = text(key, content.language);
    const gfx::Rect rect{0, r->minY(), content.width - choiceRoom, r->height()};
    drawLabel(context, label, rect,
              fittedSystemFont(label, rect.width(), 11, gfx::FontWeight::medium), colors.muted);
}

template <typename Entry, typename Read>
std::optional<double> largestPresent(std::span<const Entry> history, Read read) {
    std::optional<double> largest;
    for (const Entry& entry : history) {
        const std::optional<double> value = read(entry);
        if (value && std::isfinite(*value) && (!largest || *value > *largest))
            largest = value;
    }
    return largest;
}

// A figure row of the network and compute cards: the value ending at 0.56 of the width and
// "peak <figure>" ending at the right edge.
void drawValueAndPeak(gfx::Context& context, const SectionContent& content,
                      const SectionColors& colors, const gfx::Rect& r, const std::string& value,
                      const std::string& peak) {
    drawEndingAt(context, value, valueColumnShare * content.width, r,
                 gfx::Font::monospacedDigitSystem(11, gfx::FontWeight::medium), colors.primary);
    const std::string peakText = text(Copy::peak, content.language) + " " + peak;
    drawEndingAt(context, peakText, content.width, r, gfx::Font::monospacedDigitSystem(10),
                 colors.primary.withAlpha(colors.primary.alpha() * peakAlpha));
}

std::string degreesText(double celsius) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", celsius);
    return buffer;
}

} // namespace

std::string fanFigureText(std::optional<double> value) {
    if (!value || !std::isfinite(*value))
        return emptyValue;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", *value);
    return buffer;
}

void drawHistoryChart(gfx::Context& context, std::span<const std::optional<double>> history,
                      const HistoryChartStyle& style, const gfx::Rect& rect) {
    if (history.empty())
        return;
    const auto kept = history.last(std::min(history.size(), chartEntries));
    const double m = double(kept.size());
    const double step = rect.width() / double(chartEntries - 1);
    const auto height = [&](double value) {
        const double f = style.fraction(value);
        return rect.minY() + (std::isfinite(f) ? std::clamp(f, 0.0, 1.0) : 0.0) * rect.height();
    };
    gfx::Context::SavedState saved(context);
    context.clipToRect(rect);
    context.setLineWidth(1);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (!kept[i] || !std::isfinite(*kept[i]))
            continue;
        const double v = *kept[i];
        const double p = i > 0 && kept[i - 1] && std::isfinite(*kept[i - 1]) ? *kept[i - 1] : v;
        const double x = rect.minX() + step * (double(chartEntries) - m + double(i));
        const double yv = height(v);
        const double yp = height(p);
        const gfx::Color color = style.color(v);
        gfx::Path area;
        area.moveTo({x - step, rect.minY()});
        area.lineTo({x - step, yp});
        area.lineTo({x, yv});
        area.lineTo({x, rect.minY()});
        area.close();
        context.setFillColor(color.withAlpha(color.alpha() * 0.22));
        context.fill(area);
        gfx::Path line;
        line.moveTo({x - step, yp});
        line.lineTo({x, yv});
        context.setStrokeColor(color);
        context.stroke(line);
    }
}

void drawMemoryFigures(gfx::Context& context, const SectionContent& content,
                       const SectionColors& colors) {
    drawChartCard(context, content, colors, "memoryChart", Copy::pressure,
                  [&](gfx::Context& chartContext, const gfx::Rect& rect) {
                      drawPressureChart(chartContext, content.memoryHistory,
                                        content.historyCapacity, content.normalBlue, true,
                                        moduleColor(content, ColorSlot::memory), rect);
                  });
    const MemorySnapshot& memory = content.memory;
    const std::array<std::pair<Copy, std::string>, 4> rows{{
        {Copy::physical, memory.physical},
        {Copy::used, memory.used},
        {Copy::cached, memory.cached},
        {Copy::swap, isZeroAmountText(memory.swap) ? std::string("0 bytes") : memory.swap},
    }};
    const gfx::Font valueFont = gfx::Font::monospacedDigitSystem(12, gfx::FontWeight::medium);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const gfx::Rect* r = findRegion(content.regions, "memoryRow" + std::to_string(i));
        if (!r)
            continue;
        const auto& [key, value] = rows[i];
        const double valueWidth = textWidth(value, valueFont);
        const std::string label = text(key, content.language);
        const gfx::Rect labelRect{0, r->minY(), content.width - valueWidth - 12, 18};
        drawLabel(context, label, labelRect,
                  fittedSystemFont(label, labelRect.width(), 12, gfx::FontWeight::regular),
                  colors.muted);
        drawAt(context, value, content.width - valueWidth, *r, valueFont, colors.primary);
    }
    drawRegionLabel(context, content.regions, "displayTitle", Copy::display, content.language,
                    colors.muted);
    drawRegionLabel(context, content.regions, "networkColorTitle", Copy::networkColors,
                    content.language, colors.muted);
    drawRegionLabel(context, content.regions, "memoryShowChart", Copy::showChart, content.language,
                    colors.muted);
    drawRegionLabel(context, content.regions, "networkShowChart", Copy::showChart, content.language,
                    colors.muted);
}

void drawFanFigures(gfx::Context& context, const SectionContent& content,
                    const SectionColors& colors) {
    const gfx::Font figureFont = gfx::Font::monospacedDigitSystem(10, gfx::FontWeight::medium);
    const std::vector<FanReading>& fans = content.fan.fans;
    const std::size_t rows = std::min<std::size_t>(fans.size(), 2);
    // Never narrower than four digits, so the suffix keeps its place while speeds change.
    double column = textWidth("8888", figureFont);
    for (std::size_t i = 0; i < rows; ++i)
        column = std::max(column, textWidth(fanFigureText(fans[i].rpm), figureFont));
    const std::string suffix = "RPM \u00b7 " + text(Copy::fanMaximum, content.language);
    const double suffixX =
        content.width - std::ceil(column) - 5 - std::ceil(textWidth(suffix, figureFont));
    const gfx::Font labelFont = gfx::Font::system(10);
    for (std::size_t i = 0; i < rows; ++i) {
        const gfx::Rect* r = findRegion(content.regions, "fan" + std::to_string(i));
        if (!r)
            continue;
        const std::string label =
            text(Copy::fanShort, content.language) + " " + std::to_string(i + 1);
        drawAt(context, label, 0, *r, labelFont, colors.muted);
        drawEndingAt(context, fanFigureText(fans[i].rpm), suffixX - 4, *r, figureFont,
                     colors.primary);
        drawAt(context, suffix, suffixX, *r, figureFont, colors.primary);
        drawEndingAt(context, fanFigureText(fans[i].maximum), content.width, *r, figureFont,
                     colors.primary);
    }
    const gfx::Color fanColor = moduleColor(content, ColorSlot::fan);
    drawChartCard(context, content, colors, "fanChart", Copy::fanEnabled,
                  [&](gfx::Context& chartContext, const gfx::Rect& rect) {
                      drawHistoryChart(chartContext, content.fanHistory,
                                       {.fraction = [](double v) { return v; },
                                        .color = [&](double) { return fanColor; }},
                                       rect);
                  });
    if (content.fanEnabled && fans.empty()) {
        if (const gfx::Rect* r = findRegion(content.regions, "fan0")) {
            const Copy key = content.fan.detectedCount == 0 ? Copy::noFans : Copy::fanUnavailable;
            const std::string message = text(key, content.language);
            drawLabel(context, message, *r,
                      fittedSystemFont(message, r->width(), 10, gfx::FontWeight::regular),
                      colors.muted);
        }
    }
    drawChoiceTitle(context, content, colors, "fanTitle", Copy::fanDisplay);
    drawRegionLabel(context, content.regions, "animationTitle", Copy::fanAnimation,
                    content.language, colors.muted);
}

void drawNetworkFigures(gfx::Context& context, const SectionContent& content,
                        const SectionColors& colors) {
    const NetworkColors series{.blue = content.normalBlue,
                               .colored = content.networkColored,
                               .download = paletteBlue,
                               .upload = gfx::Color::systemRed(),
                               .module = moduleColor(content, ColorSlot::network)};
    drawChartCard(context, content, colors, "networkChart", Copy::networkEnabled,
                  [&](gfx::Context& chartContext, const gfx::Rect& rect) {
                      drawHistoryGraph(chartContext, content.networkHistory, series, rect);
                  });
    struct Row {
        const char* region;
        Copy key;
        std::optional<double> rate;
        std::optional<double> peak;
        gfx::Color color;
    };
    const std::array<Row, 2> rows{{
        {"download", Copy::download, content.network.download,
         largestPresent(content.networkHistory,
                        [](const NetworkSnapshot& s) { return s.download; }),
         series.downloadColor()},
        {"upload", Copy::upload, content.network.upload,
         largestPresent(content.networkHistory, [](const NetworkSnapshot& s) { return s.upload; }),
         series.uploadColor()},
    }};
    for (const Row& row : rows) {
        if (const gfx::Rect* r = findRegion(content.regions, row.region)) {
            drawValueAndPeak(context, content, colors, *r, formatRate(row.rate),
                             formatRate(row.peak));
        }
    }
    for (const Row& row : rows)
        drawRegionLabel(context, content.regions, row.region, row.key, content.language, row.color);
}

void drawComputeFigures(gfx::Context& context, const SectionContent& content,
                        const SectionColors& colors) {
    const std::optional<PaletteColor> ownGpu = content.moduleColors.explicitColor(ColorSlot::gpu);
    const ComputeColors series{.cpu = moduleColor(content, ColorSlot::cpu),
                               .gpu = ownGpu ? std::optional<gfx::Color>(toColor(*ownGpu))
                                             : std::nullopt,
                               .blue = content.normalBlue};
    drawChartCard(context, content, colors, "computeChart", Copy::computeEnabled,
                  [&](gfx::Context& chartContext, const gfx::Rect& rect) {
                      drawComputeHistory(chartContext, content.computeHistory, series, rect);
                  });
    struct Row {
        Copy key;
        ColorSlot slot;
        std::optional<double> load;
        std::optional<double> peak;
        double alpha;
    };
    const auto peak = [&](auto read) {
        return largestPresent(content.computeHistory,
                              [&](const ComputeSnapshot& s) { return acceptedLoad(read(s)); });
    };
    const std::array<Row, 2> rows{{
        {Copy::cpuUsage, ColorSlot::cpu, content.compute.cpu,
         peak([](const ComputeSnapshot& s) { return s.cpu; }), 1.0},
        {Copy::gpuUsage, ColorSlot::gpu, content.compute.gpu,
         peak([](const ComputeSnapshot& s) { return s.gpu; }), 0.45},
    }};
    const bool overview = content.presentation == DetailPresentation::overview;
    for (const Row& row : rows) {
        const gfx::Rect* r = findRegion(content.regions, toString(row.key));
        if (!r)
            continue;
        const gfx::Color slotColor = moduleColor(content, row.slot);
        if (overview) {
            context.setFillColor(slotColor);
            context.fillEllipse({0, r->midY() - 4, 8, 8});
        }
        // A GPU following the theme shares the CPU's colour, so it is told apart by its alpha.
        const double alpha = ownGpu ? 1.0 : row.alpha;
        drawAt(context, text(row.key, content.language), overview ? 20 : 0, *r,
               gfx::Font::system(11, gfx::FontWeight::medium), slotColor.withAlpha(alpha));
        drawValueAndPeak(context, content, colors, *r, percentText(row.load),
                         percentText(row.peak));
    }
    drawChoiceTitle(context, content, colors, "computeDisplay", Copy::computeDisplay);
}

void drawTemperatureFigures(gfx::Context& context, const SectionContent& content,
                            const SectionColors& colors) {
    const gfx::Color base = moduleColor(content, ColorSlot::temperature);
    drawChartCard(context, content, colors, "temperatureChart", Copy::temperatureEnabled,
                  [&](gfx::Context& chartContext, const gfx::Rect& rect) {
                      drawHistoryChart(
                          chartContext, content.temperatureHistory,
                          {.fraction = [](double v) { return v / hottestCharted; },
                           .color = [&](double v) { return temperatureColor(v, base); }},
                          rect);
                  });
    drawChoiceTitle(context, content, colors, "temperatureDisplay", Copy::computeDisplay);

    const std::optional<double> hottest = content.temperature.celsius;
    const std::string value = hottest && std::isfinite(*hottest)
                                  ? degreesText(*hottest) + " \u00b0C"
                                  : std::string(emptyValue) + " \u00b0C";
    std::optional<double> lowest;
    std::optional<double> highest;
    for (const std::optional<double>& reading : content.temperatureHistory) {
        if (!reading || !std::isfinite(*reading))
            continue;
        lowest = std::min(lowest.value_or(*reading), *reading);
        highest = std::max(highest.value_or(*reading), *reading);
    }
    const std::string range =
        lowest ? degreesText(*lowest) + "\u2013" + degreesText(*highest) + " \u00b0C"
               : std::string(emptyValue);
    const std::array<std::tuple<const char*, Copy, std::string>, 3> pairs{{
        {"temperatureValue", Copy::cpuTemperature, value},
        {"sensors", Copy::sensors, std::to_string(content.temperature.sensorCount)},
        {"temperatureRange", Copy::temperatureRange, range},
    }};
    for (const auto& [region, key, figure] : pairs) {
        drawRegionLabel(context, content.regions, region, key, content.language, colors.muted);
        drawRegionValue(context, content.regions, region, content.width, figure, colors.primary);
    }
}

} // namespace pulsedeck
