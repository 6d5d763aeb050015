#include "statusbar/StripMetrics.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

constexpr double ringWidth = 24;
// What a graph adds to the ring besides its chart: the rotor, the title and the speed.
constexpr double graphExtra = 72;
// Keeps a whole-number width from gaining a point through rounding noise.
constexpr double roundingSlack = 0.001;

} // namespace

double fanModuleWidth(double chartLength, double graphProgress) {
    const double g = std::isnan(graphProgress) ? 0 : std::clamp(graphProgress, 0.0, 1.0);
    return ringWidth + g * (clampedChartLength(chartLength) + graphExtra);
}

double StripMetrics::padding() const {
    return displaysAppMark ? 0 : 2 * edgePadding;
}

double StripMetrics::heightScale() const {
    const double ratio = (height - padding()) / moduleReferenceHeight;
    if (!(ratio >= 0))
        return 0;
    return std::min(ratio, maximumHeightScale);
}

double StripMetrics::modulesWidth(const std::vector<std::pair<ModuleKind, double>>& shown) const {
    if (shown.empty())
        return 0;
    double total = 0;
    for (const auto& [kind, width] : shown)
        total += width;
    return gap * static_cast<double>(shown.size() - 1) + total * heightScale();
}

double StripMetrics::requiredWidth(double modulesWidth) const {
    const double ratio = (height - padding()) / moduleReferenceHeight;
    if (modulesWidth > 0) {
        double pad = displaysAppMark ? 0 : edgePadding;
        if (ratio >= 0)
            pad -= std::min(ratio, maximumHeightScale);
        return std::ceil(modulesWidth + 2 * std::max(pad, 0.0) - roundingSlack);
    }
    if (ratio >= 0) {
        const double room = ratio < maximumHeightScale ? height - padding()
                                                       : moduleReferenceHeight * maximumHeightScale;
        return std::ceil(padding() + room);
    }
    return std::ceil(padding());
}

ModuleRects StripMetrics::layout(const std::vector<std::pair<ModuleKind, double>>& shown) const {
    const double scale = heightScale();
    const double modules = modulesWidth(shown);
    double x = (requiredWidth(modules) - modules) / 2;
    const double h = scale * moduleReferenceHeight;
    const double y = height / 2 - h / 2;
    ModuleRects rects;
    for (const auto& [kind, width] : shown) {
        rects[kind] = gfx::Rect{x, y, width * scale, h};
        x += width * scale + gap;
    }
    return rects;
}

} // namespace pulsedeck
