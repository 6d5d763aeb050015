#include "statusbar/PressureChart.h"

#include "statusbar/HistorySegments.h"
#include "statusbar/MetricStatusDrawing.h"

#include <algorithm>
#include <vector>

namespace pulsedeck {

namespace {

constexpr double pressureFillAlpha = 0.28;
constexpr std::int32_t normalLevel = 1;

// The blue and green palette entries and the two warning colours.
constexpr gfx::Color highPressureColor = gfx::Color::srgb(1.0, 0.24, 0.22);
constexpr gfx::Color elevatedPressureColor = gfx::Color::srgb(1.0, 0.79, 0.0);
constexpr gfx::Color normalBlueColor = gfx::Color::srgb(0.16, 0.58, 1.0);
constexpr gfx::Color normalGreenColor = gfx::Color::srgb(0.0, 0.82, 0.09);

} // namespace

gfx::Color pressureLevelColor(std::optional<std::int32_t> level, bool blue,
                              std::optional<gfx::Color> tint) {
    if (level == normalLevel && tint) {
        return *tint;
    }
    if (level == 4)
        return highPressureColor;
    if (level == 2)
        return elevatedPressureColor;
    if (level == normalLevel)
        return blue ? normalBlueColor : normalGreenColor;
    return gfx::Color::secondaryLabel();
}

void drawPressureChart(gfx::Context& context, std::span<const PressurePoint> history, int capacity,
                       bool blue, bool fullyRounded, std::optional<gfx::Color> tint,
                       const gfx::Rect& rect) {
    if (history.empty()) {
        return;
    }
    double radius = std::min(rect.height() / 2, 9.0);
    gfx::Path clip =
        fullyRounded ? gfx::Path::roundedRect(rect, radius, radius) : leftRoundedPath(rect);

    std::vector<std::optional<double>> fractions;
    fractions.reserve(history.size());
    for (const PressurePoint& point : history) {
        fractions.push_back(point.fraction);
    }
    std::size_t slots = static_cast<std::size_t>(std::max(capacity, 2));
    std::vector<HistorySegment> segments = historySegments(fractions, slots, rect);
    auto colorOf = [&](const HistorySegment& segment) {
        return pressureLevelColor(history[segment.sample].level.value_or(normalLevel), blue, tint);
    };
    gfx::ChartPainter painter(context, clip);
    fillHistorySegments(painter, segments, rect.minY(), [&](const HistorySegment& segment) {
        return colorOf(segment).withAlpha(pressureFillAlpha);
    });
    strokeHistorySegments(painter, segments, colorOf);
}

} // namespace pulsedeck
