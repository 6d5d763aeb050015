#include "statusbar/ComputeStatusImage.h"

#include "drawing/RenderedBitmapImage.h"
#include "platform/foundation/NumberFormatting.h"
#include "platform/graphics/Path.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/FigureText.h"
#include "statusbar/HistorySegments.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusLayout.h"
#include "statusbar/StatusText.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pulsedeck {

namespace {

constexpr double imageHeight = 24;
constexpr double valueFontSize = 9.3;
constexpr double smallestValueFontSize = 4.0;
constexpr double valueFontStep = 0.05;

constexpr std::size_t chartSlots = 60;
constexpr double chartFillAlpha = 0.22;
constexpr double fallbackGPUAlpha = 0.45;

constexpr double barWidth = 6;
constexpr double barSpacing = 10;
constexpr double barRadius = 2;
constexpr double barFrameAlpha = 0.12;
constexpr gfx::Rect barsInnerRect{8, 3, 20, 18};
constexpr double chartX = 5;
constexpr double plotBottom = 3;
constexpr double plotHeight = 18;

constexpr double cpuRowY = 12.1;
constexpr double gpuRowY = 1.8;
constexpr double valueDrop = 0.2;
constexpr double segmentLabelOffset = 10;
constexpr double segmentTextInset = 8;
constexpr double compactLabelX = 7;
constexpr double compactTextInset = 7;

// Past the inner rect: 4 to the separator, the labels and values (31 in all), then 8.
constexpr double segmentTextRoom = 31 + 8;
constexpr double morphLineWidth = 0.8;

const gfx::Font& valueFont() {
    return statusFigureFont();
}

double fraction(double value) {
    return std::clamp(value, 0.0, 1.0);
}

// The load as a height fraction 0…1 of the plot; none for a load percentText would not print.
std::optional<double> loadFraction(std::optional<double> load) {
    if (std::optional<double> accepted = acceptedLoad(load)) {
        return *accepted / 100;
    }
    return std::nullopt;
}

std::vector<std::optional<double>> seriesFractions(std::span<const ComputeSnapshot> history,
                                                   std::optional<double> ComputeSnapshot::*load) {
    std::vector<std::optional<double>> heights;
    heights.reserve(history.size());
    for (const ComputeSnapshot& snapshot : history) {
        const std::optional<double>& value = snapshot.*load;
        if (!value || std::isnan(*value)) {
            heights.push_back(std::nullopt);
        } else {
            heights.push_back(fraction(*value / 100));
        }
    }
    return heights;
}

// The "CPU" and "GPU" rows: each label at labelX and its figure ending at valueRight.
std::vector<FigureText> rowTexts(const gfx::Color& foreground, const ComputeColors& colors,
                                 const ComputeSnapshot& snapshot, const gfx::Font& labelFont,
                                 double labelX, double valueRight) {
    struct Row {
        const char* label;
        double y;
        std::optional<double> value;
        gfx::Color color;
    };
    const Row rows[] = {
        {"CPU", cpuRowY, snapshot.cpu, colors.cpuColor()},
        {"GPU", gpuRowY, snapshot.gpu, colors.gpuColor()},
    };
    std::vector<FigureText> texts;
    for (const Row& row : rows) {
        texts.push_back({row.label, labelFont, row.color, labelX, row.y, false});
        std::string value = percentText(row.value);
        gfx::Font font = fittedPercentFont(value);
        texts.push_back(
            {std::move(value), std::move(font), foreground, valueRight, row.y - valueDrop, true});
    }
    return texts;
}

std::vector<FigureText> segmentTexts(const gfx::Color& foreground, const ComputeColors& colors,
                                     const ComputeSnapshot& snapshot, const gfx::Rect& imageRect,
                                     const gfx::Rect& inner) {
    return rowTexts(foreground, colors, snapshot, statusLabelFont(),
                    inner.maxX() + segmentLabelOffset, imageRect.maxX() - segmentTextInset);
}

std::vector<FigureText> compactTexts(const gfx::Color& foreground, const ComputeColors& colors,
                                     const ComputeSnapshot& snapshot, const gfx::Font& labelFont,
                                     const gfx::Rect& imageRect) {
    return rowTexts(foreground, colors, snapshot, labelFont, compactLabelX,
                    imageRect.maxX() - compactTextInset);
}

void drawTexts(gfx::Context& context, std::span<const FigureText> texts) {
    for (const FigureText& text : texts) {
        drawFigureText(context, text);
    }
}

void drawSegmentTexts(gfx::Context& context, const gfx::Color& foreground,
                      const ComputeColors& colors, const ComputeSnapshot& snapshot,
                      const gfx::Rect& imageRect, const gfx::Rect& inner) {
    drawSegmentSeparator(context, foreground, inner.maxX() + 4);
    drawTexts(context, segmentTexts(foreground, colors, snapshot, imageRect, inner));
}

void fillBarFrame(gfx::Context& context, const gfx::Rect& frame, const gfx::Color& color) {
    context.setFillColor(color);
    gfx::Path::roundedRect(frame, barRadius, barRadius).fill(context);
}

} // namespace

std::optional<double> acceptedLoad(std::optional<double> value) {
    if (value && *value >= 0 && *value <= 100) {
        return value;
    }
    return std::nullopt;
}

std::string percentText(std::optional<double> value) {
    std::optional<double> accepted = acceptedLoad(value);
    if (!accepted) {
        return "\u2014";
    }
    return foundation::formatFixed(*accepted, 0) + "%";
}

double percentReferenceWidth() {
    // Measured once: every frame of a transition sizes its image and values by it.
    static const double width = textWidth("99%", valueFont());
    return width;
}

gfx::Font fittedPercentFont(std::string_view text) {
    const double reference = percentReferenceWidth();
    const double width = textWidth(text, valueFont());
    if (width <= reference) {
        return valueFont();
    }
    double size = valueFontSize * std::min(1.0, reference / std::max(width, 1.0));
    gfx::Font font = valueFont().withPointSize(size);
    while (textWidth(text, font) > reference && size > smallestValueFontSize) {
        size -= valueFontStep;
        font = valueFont().withPointSize(size);
    }
    return font;
}

gfx::Color ComputeColors::cpuColor() const {
    return cpu.value_or(blue ? paletteBlue : paletteGreen);
}

gfx::Color ComputeColors::gpuColor() const {
    return gpu.value_or(cpuColor().withAlpha(fallbackGPUAlpha));
}

namespace {

// The CPU series' area and line, then the GPU series' line, through the painter's clip.
void drawComputeSeries(gfx::ChartPainter& painter, std::span<const ComputeSnapshot> history,
                       const ComputeColors& colors, const gfx::Rect& rect) {
    const gfx::Color cpu = colors.cpuColor();
    const gfx::Color cpuFill = cpu.withAlpha(cpu.alpha() * chartFillAlpha);
    const gfx::Color gpu = colors.gpuColor();
    std::vector<HistorySegment> cpuSegments =
        historySegments(seriesFractions(history, &ComputeSnapshot::cpu), chartSlots, rect);
    fillHistorySegments(painter, cpuSegments, rect.minY(),
                        [&](const HistorySegment&) { return cpuFill; });
    strokeHistorySegments(painter, cpuSegments, [&](const HistorySegment&) { return cpu; });
    std::vector<HistorySegment> gpuSegments =
        historySegments(seriesFractions(history, &ComputeSnapshot::gpu), chartSlots, rect);
    strokeHistorySegments(painter, gpuSegments, [&](const HistorySegment&) { return gpu; });
}

} // namespace

void drawComputeHistory(gfx::Context& context, std::span<const ComputeSnapshot> history,
                        const ComputeColors& colors, const gfx::Rect& rect) {
    if (history.empty()) {
        return;
    }
    gfx::Context::SavedState saved(context);
    context.clipToRect(rect);
    gfx::ChartPainter painter(context);
    drawComputeSeries(painter, history, colors, rect);
}

void drawComputeSegment(gfx::Context& context, const gfx::Color& foreground,
                        const ComputeColors& colors, bool chart,
                        std::span<const ComputeSnapshot> history, const ComputeSnapshot& snapshot,
                        const gfx::Rect& imageRect, const gfx::Rect& inner) {
    if (chart) {
        if (!history.empty()) {
            gfx::ChartPainter painter(context, leftRoundedPath(inner));
            drawComputeSeries(painter, history, colors, inner);
        }
    } else {
        struct Bar {
            double x;
            std::optional<double> load;
            gfx::Color color;
        };
        const Bar bars[] = {
            {inner.minX(), snapshot.cpu, colors.cpuColor()},
            {inner.minX() + barSpacing, snapshot.gpu, colors.gpuColor()},
        };
        for (const Bar& bar : bars) {
            fillBarFrame(context, {bar.x, inner.minY(), barWidth, inner.height()},
                         foreground.withAlpha(barFrameAlpha));
            if (std::optional<double> level = loadFraction(bar.load)) {
                fillBarFrame(context, {bar.x, inner.minY(), barWidth, *level * inner.height()},
                             bar.color);
            }
        }
    }
    drawSegmentTexts(context, foreground, colors, snapshot, imageRect, inner);
}

void drawComputeMorph(gfx::Context& context, const gfx::Color& foreground,
                      const ComputeColors& colors, const ComputeSnapshot& snapshot,
                      std::span<const ComputeSnapshot> history, const gfx::Rect& imageRect,
                      double progress, const gfx::Rect& inner) {
    const double p = fraction(progress);
    const double q = 1 - p;
    const std::size_t n = std::min(history.size(), chartSlots);
    const std::span<const ComputeSnapshot> recent = history.last(n);
    const gfx::Color cpu = colors.cpuColor();
    const gfx::Color gpu = colors.gpuColor();

    for (int series = 0; series < 2; ++series) {
        std::optional<double> ComputeSnapshot::*load =
            series == 0 ? &ComputeSnapshot::cpu : &ComputeSnapshot::gpu;
        const gfx::Rect bar{barsInnerRect.minX() + barSpacing * series, plotBottom, barWidth,
                            plotHeight};
        fillBarFrame(context, bar, foreground.withAlpha(q * barFrameAlpha));

        const double current = loadFraction(snapshot.*load).value_or(0);
        const double top = plotBottom + current * plotHeight;

        gfx::Path line;
        for (std::size_t k = 0; k < chartSlots; ++k) {
            double value = current;
            const std::size_t offset = chartSlots - n;
            if (k >= offset) {
                if (std::optional<double> entry = loadFraction(recent[k - offset].*load)) {
                    value = *entry;
                }
            }
            const double along = static_cast<double>(k) / static_cast<double>(chartSlots - 1);
            const gfx::Point point{q * (bar.minX() + bar.width() * along) +
                                       p * (inner.minX() + inner.width() * along),
                                   q * top + p * (plotBottom + value * plotHeight)};
            if (k == 0) {
                line.moveTo(point);
            } else {
                line.lineTo(point);
            }
        }
        gfx::Path area = line;
        area.lineTo({q * bar.maxX() + p * inner.maxX(), plotBottom});
        area.lineTo({q * bar.minX() + p * inner.minX(), plotBottom});
        area.close();

        if (series == 0) {
            context.setFillColor(cpu.withAlpha(1 - 0.7 * p));
            context.setStrokeColor(cpu);
        } else {
            context.setFillColor(colors.gpu.value_or(cpu).withAlpha(q));
            context.setStrokeColor(gpu);
        }
        area.fill(context);
        line.setLineWidth(morphLineWidth);
        line.setLineCap(gfx::LineCap::round);
        line.setLineJoin(gfx::LineJoin::round);
        line.stroke(context);
    }
    drawSegmentTexts(context, foreground, colors, snapshot, imageRect, inner);
}

void drawComputeCompact(gfx::Context& context, const gfx::Color& foreground,
                        const ComputeColors& colors, const ComputeSnapshot& snapshot,
                        const gfx::Font& labelFont, const gfx::Rect& imageRect) {
    drawTexts(context, compactTexts(foreground, colors, snapshot, labelFont, imageRect));
}

double computeBarsWidth() {
    return std::ceil(percentReferenceWidth()) + barsInnerRect.maxX() + segmentTextRoom;
}

double computeChartWidth(double chartLength) {
    return std::ceil(percentReferenceWidth()) + chartX + statusChartWidth(chartLength) +
           segmentTextRoom;
}

double computeMainWidth(double progress, double chartLength) {
    const double p = fraction(progress);
    if (p <= 0) {
        return computeBarsWidth();
    }
    if (p >= 1) {
        return computeChartWidth(chartLength);
    }
    const double bars = computeBarsWidth();
    return bars + p * (computeChartWidth(chartLength) - bars);
}

gfx::Rect computeInnerRect(double progress, double chartLength) {
    const double p = fraction(progress);
    const double length = statusChartWidth(chartLength);
    return {barsInnerRect.minX() - (barsInnerRect.minX() - chartX) * p, plotBottom,
            barsInnerRect.width() + p * (length - barsInnerRect.width()), plotHeight};
}

double computeCompactWidth() {
    const gfx::Font& label = statusLabelFont();
    return std::ceil(std::max(textWidth("CPU", label), textWidth("GPU", label))) + compactLabelX +
           1 + std::ceil(percentReferenceWidth()) + compactTextInset;
}

namespace {

// What an image draws over its capsule, and its size.
struct CapsuleDrawing {
    gfx::Size size;
    OverCapsule over;
};

CapsuleDrawing mainDrawing(const ComputeSnapshot& snapshot,
                           std::span<const ComputeSnapshot> history, bool dark,
                           const ComputeColors& colors, double progress, double chartLength) {
    const double p = fraction(progress);
    const double width = computeMainWidth(p, chartLength);
    const gfx::Rect inner = computeInnerRect(p, chartLength);
    auto kept =
        std::make_shared<const std::vector<ComputeSnapshot>>(history.begin(), history.end());
    return {{width, imageHeight},
            [snapshot, kept, dark, colors, p, inner](gfx::Context& context, const gfx::Rect& rect) {
                if (p > 0 && p < 1) {
                    return drawInCapsule(
                        context, dark, rect,
                        [&](const gfx::Color& foreground, const gfx::Rect& imageRect) {
                            drawComputeMorph(context, foreground, colors, snapshot, *kept,
                                             imageRect, p, inner);
                        });
                }
                drawComputeSegment(context, foregroundColor(dark), colors, p >= 1, *kept, snapshot,
                                   rect, inner);
                return true;
            }};
}

CapsuleDrawing compactDrawing(const ComputeSnapshot& snapshot, bool dark,
                              const ComputeColors& colors) {
    return {{computeCompactWidth(), imageHeight},
            [snapshot, dark, colors](gfx::Context& context, const gfx::Rect& rect) {
                drawComputeCompact(context, foregroundColor(dark), colors, snapshot,
                                   statusLabelFont(), rect);
                return true;
            }};
}

// The drawing of a picture at rest in the main or the compact mode.
CapsuleDrawing restingDrawing(const ComputePicture& picture) {
    return picture.compactProgress >= 1
               ? compactDrawing(picture.snapshot, picture.dark, picture.colors)
               : mainDrawing(picture.snapshot, picture.history, picture.dark, picture.colors,
                             picture.progress, picture.chartLength);
}

// What a picture at rest draws that may read differently from one second to the next: the rect
// of its bars or chart (none when compact) and its texts. Nothing while it moves between modes.
struct RestingFigures {
    std::optional<gfx::Rect> plot;
    std::vector<FigureText> texts;
};

std::optional<RestingFigures> restingFigures(const ComputePicture& picture) {
    const gfx::Color foreground = foregroundColor(picture.dark);
    if (picture.compactProgress >= 1) {
        return RestingFigures{std::nullopt,
                              compactTexts(foreground, picture.colors, picture.snapshot,
                                           statusLabelFont(),
                                           {0, 0, computeCompactWidth(), imageHeight})};
    }
    const double p = fraction(picture.progress);
    if (picture.compactProgress > 0 || (p > 0 && p < 1)) {
        return std::nullopt;
    }
    const gfx::Rect inner = computeInnerRect(p, picture.chartLength);
    const gfx::Rect imageRect{0, 0, computeMainWidth(p, picture.chartLength), imageHeight};
    return RestingFigures{
        inner, segmentTexts(foreground, picture.colors, picture.snapshot, imageRect, inner)};
}

gfx::Image withCapsule(const CapsuleDrawing& drawing, bool dark) {
    return gfx::Image::withDrawingHandler(
        drawing.size, false,
        [over = drawing.over, dark](gfx::Context& context, const gfx::Rect& rect) {
            fillCapsule(context, dark, rect);
            return over(context, rect);
        });
}

} // namespace

gfx::Image drawCompute(const ComputeSnapshot& snapshot, std::span<const ComputeSnapshot> history,
                       bool dark, const ComputeColors& colors, double progress,
                       double chartLength) {
    return withCapsule(mainDrawing(snapshot, history, dark, colors, progress, chartLength), dark);
}

gfx::Image computeCompactImage(const ComputeSnapshot& snapshot, bool dark,
                               const ComputeColors& colors) {
    return withCapsule(compactDrawing(snapshot, dark, colors), dark);
}

ComputeTargets computeTargets(ComputeDisplayMode mode) {
    switch (mode) {
    case ComputeDisplayMode::bars:
        return {0, 0};
    case ComputeDisplayMode::chart:
        return {1, 0};
    case ComputeDisplayMode::compact:
        return {0, 1};
    }
    return {};
}

double computeImageWidth(const ComputePicture& picture) {
    const double main = computeMainWidth(picture.progress, picture.chartLength);
    const double q = picture.compactProgress;
    if (!(q > 0)) {
        return main;
    }
    if (q >= 1) {
        return computeCompactWidth();
    }
    return main + q * (computeCompactWidth() - main);
}

gfx::Image computeStatusImage(CapsuleCache& capsules, const ComputePicture& picture) {
    const double q = picture.compactProgress;
    if (!(q > 0) || q >= 1) {
        const CapsuleDrawing drawing = restingDrawing(picture);
        return renderedCapsuleImage(capsules, drawing.size, picture.dark, drawing.over);
    }
    gfx::Image main = drawCompute(picture.snapshot, picture.history, picture.dark, picture.colors,
                                  picture.progress, picture.chartLength);
    gfx::Image compact = computeCompactImage(picture.snapshot, picture.dark, picture.colors);
    gfx::Image blend = gfx::Image::withDrawingHandler(
        {computeImageWidth(picture), imageHeight}, false,
        [main, compact, q](gfx::Context& context, const gfx::Rect& rect) {
            main.draw(context, rect, {.fraction = 1 - q});
            compact.draw(context, rect, {.fraction = q});
            return true;
        });
    return renderedBitmapImage(blend, 2, picture.dark);
}

gfx::Image computeStatusImage(CapsuleCache& capsules, const ComputePicture& picture,
                              const ComputePicture& previous, gfx::Image previousImage) {
    if (picture.dark == previous.dark && picture.colors == previous.colors &&
        picture.progress == previous.progress &&
        picture.compactProgress == previous.compactProgress &&
        picture.chartLength == previous.chartLength) {
        const std::optional<RestingFigures> now = restingFigures(picture);
        const std::optional<RestingFigures> before = restingFigures(previous);
        if (now && before) {
            std::vector<gfx::Rect> areas;
            if (now->plot) {
                areas.push_back(*now->plot);
            }
            addChangedFigureAreas(areas, now->texts, before->texts);
            std::optional<gfx::Image> image =
                redrawnCapsuleAreas(capsules, std::move(previousImage), picture.dark, areas,
                                    restingDrawing(picture).over);
            if (image) {
                return std::move(*image);
            }
        }
    }
    return computeStatusImage(capsules, picture);
}

} // namespace pulsedeck
