#include "statusbar/StripPressRules.h"

#include "statusbar/StripOrnaments.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

bool exceedsDragThreshold(gfx::Point start, gfx::Point point) {
    return std::hypot(point.x - start.x, point.y - start.y) > pressDragThreshold;
}

gfx::Rect closeBadgeHitRect(const gfx::Rect& module, double stripHeight) {
    return closeBadgeRect(module, stripHeight).insetBy(-closeBadgeSlop, -closeBadgeSlop);
}

double clampedSortDragLeft(double left, double draggedWidth, double stripWidth) {
    return std::clamp(left, 0.0, std::max(0.0, stripWidth - draggedWidth));
}

std::size_t sortDragTarget(const std::vector<ModuleKind>& order, std::size_t index, double centre,
                           const ModuleRects& layout) {
    std::size_t target = index;
    for (std::size_t other = 0; other < order.size(); ++other) {
        if (other == index)
            continue;
        const auto laid = layout.find(order[other]);
        if (laid == layout.end())
            continue;
        const double middle = laid->second.midX();
        if (other < index && centre <= middle)
            target = std::min(target, other);
        else if (other > index && middle <= centre)
            target = std::max(target, other);
    }
    return target;
}

} // namespace pulsedeck
