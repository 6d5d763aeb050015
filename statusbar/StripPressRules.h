#pragma once

#include "model/Modules.h"
#include "platform/graphics/Geometry.h"
#include "statusbar/StripMetrics.h"

#include <cstddef>
#include <vector>

namespace pulsedeck {

// The pointer rules of the strip, apart from the view so they can be pinned without events.

// A press turns into a drag once it has travelled more than this many points; exactly this far
// is still a click.
inline constexpr double pressDragThreshold = 8.0;
bool exceedsDragThreshold(gfx::Point start, gfx::Point point);

// A press this close outside a close badge still counts as a press on it.
inline constexpr double closeBadgeSlop = 3;
// The area a press on a module's close badge may land in: the badge grown by the slop.
gfx::Rect closeBadgeHitRect(const gfx::Rect& module, double stripHeight);

// The left edge of a module dragged sideways: kept inside the strip, and pinned at 0 when the
// module is wider than the strip.
double clampedSortDragLeft(double left, double draggedWidth, double stripWidth);

// Where the module at `index` of `order` belongs once its centre is at `centre`: before the
// first earlier neighbour whose middle the centre reached, else after the last later one whose
// middle it passed, else where it is. Modules without a laid-out rect are skipped.
std::size_t sortDragTarget(const std::vector<ModuleKind>& order, std::size_t index, double centre,
                           const ModuleRects& layout);

} // namespace pulsedeck
