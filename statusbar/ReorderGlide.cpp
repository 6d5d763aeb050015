#include "statusbar/ReorderGlide.h"

#include "statusbar/FanMorph.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

double ReorderGlide::progress(double now) const {
    const double t = (now - started) / duration;
    if (std::isnan(t))
        return 1;
    return std::clamp(t, 0.0, 1.0);
}

void ReorderGlide::step(double now, const ModuleRects& target, std::optional<ModuleKind> dragged,
                        ModuleRects& displayed) const {
    const double e = easeOutCubic(progress(now));
    for (const auto& [kind, goal] : target) {
        if (kind == dragged)
            continue;
        const auto start = from.find(kind);
        const gfx::Rect origin = start != from.end() ? start->second : goal;
        displayed[kind] = gfx::Rect{origin.minX() + e * (goal.minX() - origin.minX()), goal.y(),
                                    goal.width(), goal.height()};
    }
}

} // namespace pulsedeck
