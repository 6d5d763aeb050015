#include "floating/DetailPlacement.h"

#include "floating/FloatingGeometry.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double margin = 20;
constexpr double minimumHeight = 120;

} // namespace

DetailPlacementResult detailPlacement(const gfx::Rect& anchor, double preferredHeight,
                                      const std::vector<gfx::Rect>& areas) {
    if (areas.empty())
        return {anchor.minY(), ui::RectEdge::minY, preferredHeight};
    const gfx::Rect& area = areaNear({anchor.midX(), anchor.midY()}, areas);
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
