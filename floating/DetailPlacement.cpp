#include "floating/DetailPlacement.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pulsedeck {

namespace {

constexpr double margin = 20;
constexpr double minimumHeight = 120;

const gfx::Rect& areaFor(gfx::Point centre, const std::vector<gfx::Rect>& areas) {
    for (const auto& area : areas)
        if (area.contains(centre))
            return area;
    const gfx::Rect* nearest = &areas.front();
    double best = std::numeric_limits<double>::infinity();
    for (const auto& area : areas) {
        const double distance = std::hypot(area.midX() - centre.x, area.midY() - centre.y);
        if (distance < best) {
            best = distance;
            nearest = &area;
        }
    }
    return *nearest;
}

} // namespace

DetailPlacementResult detailPlacement(const gfx::Rect& anchor, double preferredHeight,
                                      const std::vector<gfx::Rect>& areas) {
    if (areas.empty())
        return {anchor.minY(), ui::RectEdge::minY, preferredHeight};
    const gfx::Rect& area = areaFor({anchor.midX(), anchor.midY()}, areas);
    const double below = std::max(anchor.minY() - area.minY(), 0.0);
    const double above = area.maxY() - anchor.maxY();
    const double need = preferredHeight + margin;
    const bool opensAbove = above >= 0 && below < need && (above >= need || above > below);
    const double space = opensAbove ? above : below;
    const double height = std::min(std::max(space - margin, minimumHeight), preferredHeight);
    return opensAbove ? DetailPlacementResult{anchor.maxY(), ui::RectEdge::maxY, height}
                      : DetailPlacementResult{anchor.minY(), ui::RectEdge::minY, height};
}

} // namespace pulsedeck
