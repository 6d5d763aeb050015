#include "statusbar/MemoryStatusImage.h"

#include "drawing/CenteredTextOrigin.h"
#include "drawing/RenderedBitmapImage.h"
#include "platform/graphics/Path.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/PressureChart.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace pulsedeck {

namespace {

constexpr double imageHeight = 24;
constexpr double chartX = 5;
constexpr double chartY = 3;
constexpr double chartHeight = 18;
constexpr double dotSide = 5;
constexpr double dotY = 9;

constexpr double topRowY = 12.1;
constexpr double bottomRowY = 1.8;
constexpr double figureDrop = 0.2;
constexpr double automaticTitleY = 13;
constexpr double automaticValueY = 2;

constexpr gfx::Point ringCenter{13, 12};
constexpr double ringRadius = 9.5;
constexpr double ringLineWidth = 2;
constexpr gfx::Rect ringTextRect{3, 3, 20, 18};

// The colours of one image, all from the appearance.
struct Palette {
    gfx::Color foreground;
    gfx::Color capsuleFill;
    gfx::Color label;
    gfx::Color automaticTitle;
    gfx::Color separator;
    gfx::Color ringTrack;

    explicit Palette(bool dark)
        : foreground(dark ? gfx::Color::white() : gfx::Color::black()),
          capsuleFill(foreground.withAlpha(dark ? 0.10 : 0.06)), label(foreground.withAlpha(0.76)),
          automaticTitle(foreground.withAlpha(0.65)), separator(foreground.withAlpha(0.15)),
          ringTrack(foreground.withAlpha(0.14)) {}
};

std::string rowLabel(Copy key, AppLanguage language) {
    return text(key, language) + ":";
}

// A label at the column's start and its figure right-aligned to the column's end.
void drawRow(gfx::Context& context, const Palette& palette, const std::string& label,
             const std::string& value, double start, double end, double y) {
    drawTextAt(context, label, statusLabelFont(), palette.label, start, y);
    drawTextEndingAt(context, value, statusFigureFont(), palette.foreground, end, y - figureDrop);
}

void drawAutomatic(gfx::Context& context, const Palette& palette,
                   const MemoryStatusContent& content, const StatusLayout& layout) {
    const MemorySnapshot& snapshot = content.snapshot;
    const std::string& value = isZeroAmountText(snapshot.swap) ? snapshot.used : snapshot.swap;
    drawTextEndingAt(context, snapshot.secondaryLabel(content.language), statusTitleFont(),
                     palette.automaticTitle, layout.leftEnd, automaticTitleY);
    drawTextEndingAt(context, value, statusValueFont(), palette.foreground, layout.leftEnd,
                     automaticValueY);
}

// The used fraction as a number, when it is one the ring can show.
std::optional<double> ringFraction(std::optional<double> usedFraction) {
    if (!usedFraction || !std::isfinite(*usedFraction) || *usedFraction < 0 || *usedFraction > 1) {
        return std::nullopt;
    }
    return usedFraction;
}

void drawRing(gfx::Context& context, const Palette& palette, const MemoryStatusContent& content) {
    gfx::Path track;
    track.appendArc(ringCenter, ringRadius, 90, 450, false);
    track.setLineWidth(ringLineWidth);
    context.setStrokeColor(palette.ringTrack);
    track.stroke(context);

    std::optional<double> fraction = ringFraction(content.snapshot.usedFraction);
    std::string label = "\u2014";
    if (fraction) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.0f", *fraction * 100);
        label = buffer;
        if (*fraction > 0) {
            gfx::Path arc;
            arc.appendArc(ringCenter, ringRadius, 90, 90 - 360 * *fraction, true);
            arc.setLineWidth(ringLineWidth);
            arc.setLineCap(gfx::LineCap::round);
            context.setStrokeColor(content.tint.value_or(
                MemorySnapshot::pressureColor(content.snapshot.pressure, content.blue)));
            arc.stroke(context);
        }
    }
    const gfx::Font& font = statusRingFont();
    drawTextAt(context, label, font, palette.foreground, ringCenter.x - textWidth(label, font) / 2,
               centeredTextOriginY(label, font, ringTextRect));
}

void drawPair(gfx::Context& context, const Palette& palette, const MemoryStatusContent& content,
              const StatusLayout& layout) {
    auto figure = [&](const std::string& text) {
        return content.showChart ? text : strippingBlanks(text);
    };
    drawRow(context, palette, rowLabel(Copy::shortUsed, content.language),
            figure(content.snapshot.used), layout.leftStart, layout.leftEnd, topRowY);
    drawRow(context, palette, rowLabel(Copy::shortSwap, content.language),
            figure(swapRowText(content.snapshot.swap)), layout.leftStart, layout.leftEnd,
            bottomRowY);
}

void drawGrid(gfx::Context& context, const Palette& palette, const MemoryStatusContent& content,
              const StatusLayout& layout) {
    context.setFillColor(content.showChart ? palette.separator : palette.capsuleFill);
    context.fillRect({layout.rightStart - 6, 4, 0.5, 16}, context.compositingOperation());

    const MemorySnapshot& snapshot = content.snapshot;
    AppLanguage language = content.language;
    drawRow(context, palette, rowLabel(Copy::shortPhysical, language), snapshot.physical,
            layout.leftStart, layout.leftEnd, topRowY);
    drawRow(context, palette, rowLabel(Copy::shortCached, language), snapshot.cached,
            layout.leftStart, layout.leftEnd, bottomRowY);
    drawRow(context, palette, rowLabel(Copy::shortUsed, language), snapshot.used, layout.rightStart,
            layout.rightEnd, topRowY);
    drawRow(context, palette, rowLabel(Copy::shortSwap, language), swapRowText(snapshot.swap),
            layout.rightStart, layout.rightEnd, bottomRowY);
}

// Everything of the image over its capsule.
bool drawOverCapsule(gfx::Context& context, const MemoryStatusContent& content,
                     const StatusLayout& layout) {
    Palette palette(content.dark);
    double chartWidth = statusChartWidth(content.chartLength);
    if (content.showChart) {
        drawPressureChart(context, content.history, content.capacity, content.blue, false,
                          content.tint, {chartX, chartY, chartWidth, chartHeight});
        if (content.history.size() < 2) {
            context.setFillColor(
                pressureLevelColor(content.snapshot.pressure, content.blue, content.tint));
            context.fillEllipse({chartX + chartWidth - 2 * dotSide, dotY, dotSide, dotSide});
        }
        drawSegmentSeparator(context, palette.foreground, chartX + chartWidth + 4);
    }

    switch (content.mode) {
    case DisplayMode::automatic:
        if (content.showChart) {
            drawAutomatic(context, palette, content, layout);
        } else {
            drawRing(context, palette, content);
        }
        break;
    case DisplayMode::pair:
        drawPair(context, palette, content, layout);
        break;
    case DisplayMode::four:
        drawGrid(context, palette, content, layout);
        break;
    }
    return true;
}

} // namespace

bool drawMemoryStatus(gfx::Context& context, const MemoryStatusContent& content,
                      const StatusLayout& layout, const gfx::Rect& rect) {
    fillCapsule(context, content.dark, {rect.minX(), rect.minY(), rect.width(), imageHeight});
    return drawOverCapsule(context, content, layout);
}

gfx::Image memoryStatusImage(const MemoryStatusContent& content) {
    const StatusLayout layout =
        content.layout ? *content.layout
                       : StatusLayout::measure(content.mode, content.language, content.snapshot,
                                               content.showChart, content.chartLength);
    return renderedCapsuleImage({layout.width, imageHeight}, content.dark,
                                [&content, &layout](gfx::Context& context, const gfx::Rect&) {
                                    return drawOverCapsule(context, content, layout);
                                });
}

bool operator==(const MemoryStatusContent& left, const MemoryStatusContent& right) {
    return left.dark == right.dark && left.showChart == right.showChart &&
           left.capacity == right.capacity && left.blue == right.blue && left.tint == right.tint &&
           left.mode == right.mode && left.language == right.language &&
           left.chartLength == right.chartLength && left.snapshot == right.snapshot &&
           left.layout == right.layout && std::ranges::equal(left.history, right.history);
}

} // namespace pulsedeck
