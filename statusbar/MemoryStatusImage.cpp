#include "statusbar/MemoryStatusImage.h"

#include "drawing/CenteredTextOrigin.h"
#include "drawing/RenderedBitmapImage.h"
#include "platform/foundation/NumberFormatting.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Path.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/FigureText.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/PressureChart.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusText.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

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
void addRow(std::vector<FigureText>& texts, const Palette& palette, std::string label,
            std::string value, double start, double end, double y) {
    texts.push_back({std::move(label), statusLabelFont(), palette.label, start, y, false});
    texts.push_back(
        {std::move(value), statusFigureFont(), palette.foreground, end, y - figureDrop, true});
}

// The texts beside the chart, in the layout's columns: one value under its title (automatic),
// used and swap rows (pair) or a 2 × 2 grid (four). The ring gauge draws its own.
std::vector<FigureText> figureTexts(const MemoryStatusContent& content, const Palette& palette,
                                    const StatusLayout& layout) {
    std::vector<FigureText> texts;
    const MemorySnapshot& snapshot = content.snapshot;
    const AppLanguage language = content.language;
    switch (content.mode) {
    case DisplayMode::automatic:
        if (content.showChart) {
            const std::string& value =
                isZeroAmountText(snapshot.swap) ? snapshot.used : snapshot.swap;
            texts.push_back({snapshot.secondaryLabel(language), statusTitleFont(),
                             palette.automaticTitle, layout.leftEnd, automaticTitleY, true});
            texts.push_back({value, statusValueFont(), palette.foreground, layout.leftEnd,
                             automaticValueY, true});
        }
        break;
    case DisplayMode::pair: {
        auto figure = [&](const std::string& text) {
            return content.showChart ? text : strippingBlanks(text);
        };
        addRow(texts, palette, rowLabel(Copy::shortUsed, language), figure(snapshot.used),
               layout.leftStart, layout.leftEnd, topRowY);
        addRow(texts, palette, rowLabel(Copy::shortSwap, language),
               figure(swapRowText(snapshot.swap)), layout.leftStart, layout.leftEnd, bottomRowY);
        break;
    }
    case DisplayMode::four:
        addRow(texts, palette, rowLabel(Copy::shortPhysical, language), snapshot.physical,
               layout.leftStart, layout.leftEnd, topRowY);
        addRow(texts, palette, rowLabel(Copy::shortCached, language), snapshot.cached,
               layout.leftStart, layout.leftEnd, bottomRowY);
        addRow(texts, palette, rowLabel(Copy::shortUsed, language), snapshot.used,
               layout.rightStart, layout.rightEnd, topRowY);
        addRow(texts, palette, rowLabel(Copy::shortSwap, language), swapRowText(snapshot.swap),
               layout.rightStart, layout.rightEnd, bottomRowY);
        break;
    }
    return texts;
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
        label = foundation::formatFixed(*fraction * 100, 0);
        if (*fraction > 0) {
            gfx::Path arc;
            arc.appendArc(ringCenter, ringRadius, 90, 90 - 360 * *fraction, true);
            arc.setLineWidth(ringLineWidth);
            arc.setLineCap(gfx::LineCap::round);
            context.setStrokeColor(
                content.tint.value_or(pressureLevelColor(content.snapshot.pressure, content.blue)));
            arc.stroke(context);
        }
    }
    const gfx::Font& font = statusRingFont();
    drawTextAt(context, label, font, palette.foreground, ringCenter.x - textWidth(label, font) / 2,
               centeredTextOriginY(label, font, ringTextRect));
}

gfx::Rect chartRect(const MemoryStatusContent& content) {
    return {chartX, chartY, statusChartWidth(content.chartLength), chartHeight};
}

// The pressure chart and, while it has fewer than two points, its status dot: everything the
// image draws inside the chart's rect.
void drawChart(gfx::Context& context, const MemoryStatusContent& content) {
    const gfx::Rect chart = chartRect(content);
    drawPressureChart(context, content.history, content.capacity, content.blue, false, content.tint,
                      chart);
    if (content.history.size() < 2) {
        context.setFillColor(
            pressureLevelColor(content.snapshot.pressure, content.blue, content.tint));
        context.fillEllipse({chart.maxX() - 2 * dotSide, dotY, dotSide, dotSide});
    }
}

// Everything of the image over its capsule; with `only`, the figures that fall outside those
// areas are left out.
bool drawOverCapsule(gfx::Context& context, const MemoryStatusContent& content,
                     const StatusLayout& layout, std::span<const gfx::Rect> only = {}) {
    Palette palette(content.dark);
    if (content.showChart) {
        drawChart(context, content);
        drawSegmentSeparator(context, palette.foreground, chartRect(content).maxX() + 4);
    }
    if (content.mode == DisplayMode::automatic && !content.showChart) {
        drawRing(context, palette, content);
    }
    if (content.mode == DisplayMode::four) {
        context.setFillColor(content.showChart ? palette.separator : palette.capsuleFill);
        context.fillRect({layout.rightStart - 6, 4, 0.5, 16}, context.compositingOperation());
    }
    for (const FigureText& figure : figureTexts(content, palette, layout)) {
        if (!only.empty() && std::ranges::none_of(only, [&figure](const gfx::Rect& area) {
                return area.intersects(inkArea(figure));
            })) {
            continue;
        }
        drawFigureText(context, figure);
    }
    return true;
}

StatusLayout layoutOf(const MemoryStatusContent& content) {
    return content.layout ? *content.layout
                          : StatusLayout::measure(content.mode, content.language, content.snapshot,
                                                  content.showChart, content.chartLength);
}

} // namespace

bool drawMemoryStatus(gfx::Context& context, const MemoryStatusContent& content,
                      const StatusLayout& layout, const gfx::Rect& rect) {
    fillCapsule(context, content.dark, {rect.minX(), rect.minY(), rect.width(), imageHeight});
    return drawOverCapsule(context, content, layout);
}

gfx::Image memoryStatusImage(CapsuleCache& capsules, const MemoryStatusContent& content) {
    const StatusLayout layout = layoutOf(content);
    return renderedCapsuleImage(capsules, {layout.width, imageHeight}, content.dark,
                                [&content, &layout](gfx::Context& context, const gfx::Rect&) {
                                    return drawOverCapsule(context, content, layout);
                                });
}

gfx::Image memoryStatusImage(CapsuleCache& capsules, const MemoryStatusContent& content,
                             const MemoryStatusContent& previous, gfx::Image previousImage) {
    const StatusLayout layout = layoutOf(content);
    const bool sameFrame = content.showChart && previous.showChart &&
                           content.dark == previous.dark && content.mode == previous.mode &&
                           content.chartLength == previous.chartLength &&
                           layout == layoutOf(previous);
    if (sameFrame) {
        const Palette palette(content.dark);
        const std::vector<FigureText> texts = figureTexts(content, palette, layout);
        const std::vector<FigureText> before = figureTexts(previous, palette, layout);
        // The chart moves every second; of the figures, only those that read differently.
        std::vector<gfx::Rect> areas{chartRect(content)};
        addChangedFigureAreas(areas, texts, before);
        std::optional<gfx::Image> image = redrawnCapsuleAreas(
            capsules, std::move(previousImage), content.dark, areas,
            [&content, &layout, &areas](gfx::Context& context, const gfx::Rect&) {
                return drawOverCapsule(context, content, layout, areas);
            });
        if (image) {
            return std::move(*image);
        }
    }
    return memoryStatusImage(capsules, content);
}

bool operator==(const MemoryStatusContent& left, const MemoryStatusContent& right) {
    return left.dark == right.dark && left.showChart == right.showChart &&
           left.capacity == right.capacity && left.blue == right.blue && left.tint == right.tint &&
           left.mode == right.mode && left.language == right.language &&
           left.chartLength == right.chartLength && left.snapshot == right.snapshot &&
           left.layout == right.layout && std::ranges::equal(left.history, right.history);
}

} // namespace pulsedeck
