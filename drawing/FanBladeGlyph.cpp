#include "drawing/FanBladeGlyph.h"

#include <cmath>
#include <numbers>

namespace pulsedeck {

namespace {

constexpr double hubDiameter = 0.32;
constexpr double bladeAngles[] = {0, 120, 240};

constexpr double arcGroupAngles[] = {52, 172, 292};
constexpr double arcStartOffsets[] = {0, 8, 16};
constexpr double arcRadiusOffsets[] = {0.5, 1.05, 1.6};
constexpr double fastArcSweep = 43;
constexpr double normalArcSweep = 29;

} // namespace

gfx::Path fanBladeOutline(double s) {
    gfx::Path blade;
    blade.moveTo({0.2 * s, 0});
    blade.curveTo({0.97 * s, 0.13 * s}, {0.45 * s, -0.54 * s}, {1.05 * s, -0.35 * s});
    blade.curveTo({0.14 * s, 0.3 * s}, {0.95 * s, 0.77 * s}, {0.25 * s, 0.82 * s});
    blade.lineTo({0.2 * s, 0});
    blade.close();
    return blade;
}

gfx::Rect fanHubRect(double size) {
    double radius = hubDiameter * size / 2;
    return {-radius, -radius, 2 * radius, 2 * radius};
}

void drawFanBlades(gfx::Context& context, const gfx::Color& color, double rotationDegrees,
                   double alpha, gfx::Point center, double size) {
    gfx::Context::SavedState glyph(context);
    context.translate(center.x, center.y);
    context.rotateDegrees(rotationDegrees);
    context.setFillColor(color.withAlpha(alpha));

    gfx::Path blade = fanBladeOutline(size);
    for (double angle : bladeAngles) {
        gfx::Context::SavedState turned(context);
        context.rotateDegrees(angle);
        blade.fill(context);
    }
    gfx::Path::oval(fanHubRect(size)).fill(context);
}

gfx::ImmutablePath fanMotionArcs(bool fast, gfx::Point center, double radius,
                                 double rotationDegrees) {
    int arcsPerGroup = fast ? 3 : 2;
    double sweep = fast ? fastArcSweep : normalArcSweep;
    gfx::Path arcs;
    for (double group : arcGroupAngles) {
        for (int k = 0; k < arcsPerGroup; ++k) {
            double start = group + rotationDegrees + arcStartOffsets[k];
            double r = radius + arcRadiusOffsets[k];
            double radians = start * std::numbers::pi / 180;
            arcs.moveTo({center.x + r * std::cos(radians), center.y + r * std::sin(radians)});
            arcs.appendArc(center, r, start, start + sweep, false);
        }
    }
    return gfx::ImmutablePath(std::move(arcs));
}

} // namespace pulsedeck
