#include "statusbar/MetricStatusDrawing.h"

#include "drawing/RenderedBitmapImage.h"
#include "platform/foundation/NumberFormatting.h"
#include "platform/graphics/Path.h"
#include "sources/NetworkSnapshot.h"
#include "statusbar/ClippedLayer.h"
#include "statusbar/FigureText.h"
#include "statusbar/HistorySegments.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusText.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace pulsedeck {

namespace {

constexpr double capsuleRadius = 12;
constexpr double capsuleAlphaDark = 0.1;
constexpr double capsuleAlphaLight = 0.06;

// Samples across a graph: the last 60, the newest on the right edge.
constexpr std::size_t graphSlots = 60;
constexpr double graphFillAlpha = 0.22;
constexpr double smallestNetworkScale = 1024;
constexpr double networkHeadroom = 1.15;
constexpr double temperatureScale = 110;
constexpr double plainUploadAlpha = 0.4;

constexpr double separatorAlpha = 0.15;
constexpr double textInset = 8;

constexpr double downloadRowY = 12.1;
constexpr double uploadRowY = 1.8;
constexpr double arrowOffset = 11;
constexpr double rateDrop = 0.2;

constexpr double temperatureTitleY = 13.0;
constexpr double temperatureTitleAlpha = 0.4;
constexpr double temperatureValueY = 2.0;

// A fraction of the height, 0…1; a negative or not-a-number fraction gives 0.
double unitFraction(double value, double scale) {
    double fraction = value / scale;
    if (!(fraction > 0)) {
        return 0;
    }
    return std::min(fraction, 1.0);
}

gfx::Path capsulePath(const gfx::Rect& rect) {
    return gfx::Path::roundedRect(rect.insetBy(1, 0), capsuleRadius, capsuleRadius);
}

gfx::Color fillOf(const gfx::Color& color) {
    return color.withAlpha(color.alpha() * graphFillAlpha);
}

std::vector<std::optional<double>> scaledRates(std::span<const NetworkSnapshot> history,
                                               std::optional<double> NetworkSnapshot::*rate,
                                               double scale) {
    std::vector<std::optional<double>> heights;
    heights.reserve(history.size());
    for (const NetworkSnapshot& snapshot : history) {
        const std::optional<double>& value = snapshot.*rate;
        heights.push_back(value && !std::isnan(*value)
                              ? std::optional<double>(unitFraction(*value, scale))
                              : std::nullopt);
    }
    return heights;
}

std::string celsiusText(std::optional<double> celsius) {
    if (!celsius || !std::isfinite(*celsius)) {
        return "\u2014 \u00B0C";
    }
    return foundation::formatFixed(*celsius, 0) + " \u00B0C";
}

} // namespace

bool drawCapsule(gfx::Context& context, bool dark, const gfx::Rect& rect,
                 const CapsuleContent& content) {
    fillCapsule(context, dark, rect);
    return drawInCapsule(context, dark, rect, content);
}

gfx::Color foregroundColor(bool dark) {
    return dark ? gfx::Color::white() : gfx::Color::black();
}

void fillCapsule(gfx::Context& context, bool dark, const gfx::Rect& rect) {
    context.setFillColor(
        foregroundColor(dark).withAlpha(dark ? capsuleAlphaDark : capsuleAlphaLight));
    capsulePath(rect).fill(context);
}

// The content goes through one layer composited through the capsule: under the capsule as a clip,
// cairo rasterised its round ends again for every bar, text and separator. A second of the whole
// program went from 1021 to 956 µs (bench/WholeProgramBench, medians of six alternating runs; the
// quiet second, which redraws no module image, within its noise), a morph frame to about half.
bool drawInCapsule(gfx::Context& context, bool dark, const gfx::Rect& rect,
                   const CapsuleContent& content) {
    drawThroughClip(context, capsulePath(rect), [&] { content(foregroundColor(dark), rect); });
    return true;
}

gfx::Color temperatureColor(std::optional<double> celsius, std::optional<gfx::Color> base) {
    if (!celsius || std::isnan(*celsius)) {
        return gfx::Color::secondaryLabel();
    }
    gfx::Color from = temperatureGreen;
    if (base) {
        if (std::optional<gfx::Color> converted = base->usingSRGB()) {
            from = *converted;
        }
    }
    double t = *celsius;
    gfx::Color to = temperatureOrange;
    double fraction = (t - 55) / 25;
    if (t > 80) {
        from = temperatureOrange;
        to = temperatureRed;
        fraction = (t - 80) / 15;
    }
    if (!(fraction > 0)) {
        fraction = 0;
    }
    fraction = std::min(fraction, 1.0);
    auto mix = [fraction](double a, double b) { return (1 - fraction) * a + fraction * b; };
    return gfx::Color::srgb(mix(from.red(), to.red()), mix(from.green(), to.green()),
                            mix(from.blue(), to.blue()), 1);
}

double networkScale(std::span<const NetworkSnapshot> history) {
    double largest = 0;
    for (const NetworkSnapshot& snapshot : history) {
        for (const std::optional<double>& rate : {snapshot.download, snapshot.upload}) {
            double value = rate.value_or(0);
            if (std::isfinite(value)) {
                largest = std::max(largest, value);
            }
        }
    }
    return std::max(largest, smallestNetworkScale) * networkHeadroom;
}

gfx::Path leftRoundedPath(const gfx::Rect& rect) {
    double r = std::min(rect.height() / 2, 9.0);
    gfx::Path path;
    path.moveTo({rect.minX() + r, rect.minY()});
    path.lineTo({rect.maxX(), rect.minY()});
    path.lineTo({rect.maxX(), rect.maxY()});
    path.lineTo({rect.minX() + r, rect.maxY()});
    path.appendArc({rect.minX() + r, rect.maxY() - r}, r, 90, 180, false);
    path.lineTo({rect.minX(), rect.minY() + r});
    path.appendArc({rect.minX() + r, rect.minY() + r}, r, 180, 270, false);
    path.close();
    return path;
}

void clipLeftRounded(gfx::Context& context, const gfx::Rect& rect) {
    leftRoundedPath(rect).addClip(context);
}

gfx::Color NetworkColors::downloadColor() const {
    if (colored) {
        return download.value_or(paletteBlue);
    }
    return module.value_or(blue ? paletteBlue : paletteGreen);
}

gfx::Color NetworkColors::uploadColor() const {
    if (colored) {
        return upload.value_or(gfx::Color::systemRed());
    }
    return downloadColor().withAlpha(plainUploadAlpha);
}

namespace {

// The download series' area and line, then the upload series' line, through the painter's clip.
void drawNetworkSeries(gfx::ChartPainter& painter, std::span<const NetworkSnapshot> history,
                       const NetworkColors& colors, const gfx::Rect& rect) {
    double scale = networkScale(history);
    if (!(scale > 0) || history.empty()) {
        return;
    }
    gfx::Color downloadColor = colors.downloadColor();
    gfx::Color uploadColor = colors.uploadColor();
    std::vector<HistorySegment> downloads =
        historySegments(scaledRates(history, &NetworkSnapshot::download, scale), graphSlots, rect);
    fillHistorySegments(painter, downloads, rect.minY(),
                        [&](const HistorySegment&) { return fillOf(downloadColor); });
    strokeHistorySegments(painter, downloads, [&](const HistorySegment&) { return downloadColor; });
    std::vector<HistorySegment> uploads =
        historySegments(scaledRates(history, &NetworkSnapshot::upload, scale), graphSlots, rect);
    strokeHistorySegments(painter, uploads, [&](const HistorySegment&) { return uploadColor; });
}

} // namespace

void drawHistoryGraph(gfx::Context& context, std::span<const NetworkSnapshot> history,
                      const NetworkColors& colors, const gfx::Rect& rect) {
    gfx::Context::SavedState saved(context);
    context.clipToRect(rect);
    gfx::ChartPainter painter(context);
    drawNetworkSeries(painter, history, colors, rect);
}

void drawSegmentSeparator(gfx::Context& context, const gfx::Color& foreground, double x) {
    context.setFillColor(foreground.withAlpha(separatorAlpha));
    context.fillRect({x, 4, 0.5, 16}, context.compositingOperation());
}

std::vector<FigureText> networkTexts(const gfx::Color& foreground, const gfx::Rect& imageRect,
                                     const NetworkSegment& segment, const NetworkColors& colors) {
    struct Row {
        const char* arrow;
        double y;
        std::optional<double> rate;
        gfx::Color arrowColor;
    };
    gfx::Color plainBase = colors.module.value_or(colors.blue ? paletteBlue : paletteGreen);
    const Row rows[] = {
        {"\u2193", downloadRowY, segment.download,
         colors.colored ? colors.downloadColor() : plainBase.withAlpha(1.0)},
        {"\u2191", uploadRowY, segment.upload,
         colors.colored ? colors.uploadColor() : plainBase.withAlpha(plainUploadAlpha)},
    };
    double valueRight = imageRect.maxX() - textInset;
    std::vector<FigureText> texts;
    for (const Row& row : rows) {
        texts.push_back(
            {row.arrow, statusArrowFont(), row.arrowColor, segment.textX + arrowOffset, row.y});
        std::string value = formatRate(row.rate);
        double measured = textWidth(value, segment.referenceFont);
        double factor = std::min(1.0, segment.valueBudget / std::max(measured, 1.0));
        if (!(factor > 0)) {
            continue;
        }
        gfx::Font font =
            factor < 1 ? statusFigureFont().withPointSize(9.3 * factor) : statusFigureFont();
        texts.push_back(
            {std::move(value), std::move(font), foreground, valueRight, row.y - rateDrop, true});
    }
    return texts;
}

void drawNetwork(gfx::Context& context, const gfx::Color& foreground, const gfx::Rect& imageRect,
                 const NetworkSegment& segment, const NetworkColors& colors) {
    if (segment.showsGraph) {
        gfx::ChartPainter painter(context, leftRoundedPath(segment.graphRect));
        drawNetworkSeries(painter, segment.history, colors, segment.graphRect);
        drawSegmentSeparator(context, foreground, segment.graphRect.maxX() + 4);
    }
    for (const FigureText& text : networkTexts(foreground, imageRect, segment, colors)) {
        drawFigureText(context, text);
    }
}

void drawGraphWithValue(gfx::Context& context, const gfx::Color& foreground,
                        const gfx::Rect& imageRect, const gfx::Rect& chartRect,
                        std::span<const std::optional<double>> history,
                        std::optional<gfx::Color> base, AppLanguage language,
                        std::optional<double> celsius) {
    if (!history.empty()) {
        std::vector<std::optional<double>> heights;
        heights.reserve(history.size());
        for (const std::optional<double>& reading : history) {
            heights.push_back(reading && !std::isnan(*reading)
                                  ? std::optional<double>(unitFraction(*reading, temperatureScale))
                                  : std::nullopt);
        }
        std::vector<HistorySegment> segments = historySegments(heights, graphSlots, chartRect);
        auto colorOf = [&](const HistorySegment& segment) {
            return temperatureColor(history[segment.sample], base);
        };
        gfx::ChartPainter painter(context, leftRoundedPath(chartRect));
        fillHistorySegments(
            painter, segments, chartRect.minY(),
            [&](const HistorySegment& segment) { return fillOf(colorOf(segment)); });
        strokeHistorySegments(painter, segments, colorOf);
    }
    drawSegmentSeparator(context, foreground, chartRect.maxX() + 4);

    double textRight = imageRect.maxX() - textInset;
    drawTextEndingAt(context, text(Copy::shortTemperature, language), statusTitleFont(),
                     foreground.withAlpha(temperatureTitleAlpha), textRight, temperatureTitleY);
    drawTextEndingAt(context, celsiusText(celsius), statusValueFont(), foreground, textRight,
                     temperatureValueY);
}

bool drawGlyph(gfx::Context& context, bool dark) {
    gfx::Color color = foregroundColor(dark);

    gfx::Path frame = gfx::Path::roundedRect({1.5, 1.5, 21, 21}, 5, 5);
    frame.setLineWidth(0.9);
    context.setStrokeColor(color.withAlpha(0.65));
    frame.stroke(context);

    gfx::Path pulse;
    pulse.moveTo({4.5, 6.0});
    pulse.curveTo({9.3, 9.8}, {6.8, 7.8}, {7.3, 11.2});
    pulse.curveTo({14.5, 13.1}, {12.1, 8.3}, {12.3, 13.6});
    pulse.curveTo({19.5, 18.0}, {16.3, 11.8}, {17.9, 16.0});
    pulse.setLineWidth(2.1);
    pulse.setLineJoin(gfx::LineJoin::round);
    pulse.setLineCap(gfx::LineCap::round);
    context.setStrokeColor(color);
    pulse.stroke(context);
    return true;
}

gfx::Image appMarkImage(bool dark) {
    gfx::Image mark = gfx::Image::withDrawingHandler(
        {24, 24}, false,
        [dark](gfx::Context& context, const gfx::Rect&) { return drawGlyph(context, dark); });
    return renderedBitmapImage(mark, 2, dark);
}

} // namespace pulsedeck
