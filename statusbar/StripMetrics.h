#pragma once

#include "model/Modules.h"
#include "model/StripLook.h"
#include "platform/graphics/Geometry.h"

#include <map>
#include <utility>
#include <vector>

namespace pulsedeck {

using ModuleRects = std::map<ModuleKind, gfx::Rect>;

// Every module image is 24 pt high at scale 1; the strip never draws them taller than 28 pt.
inline constexpr double moduleReferenceHeight = 24;
inline constexpr double maximumHeightScale = 7.0 / 6.0;

// The fan module's unscaled width at graph progress g (clamped to 0…1, 0 when not a number):
// a 24-pt ring that grows by the chart length plus 72 as it becomes a graph.
double fanModuleWidth(double chartLength, double graphProgress);

// The strip's sizing rules: the height it is laid out for, the padding at each end (none for
// the floating bar's app mark) and the unscaled gap between modules.
struct StripMetrics {
    double height = 24;
    double edgePadding = 1.75;
    bool displaysAppMark = false;
    double gap = 8;

    // The padding of both ends together.
    double padding() const;
    // (height − padding) / 24 clamped to 0…7/6; 0 when negative or not a number.
    double heightScale() const;
    // Scaled widths of the shown modules (in display order) plus the unscaled gaps between them.
    double modulesWidth(const std::vector<std::pair<ModuleKind, double>>& shown) const;
    // The width the status item must have for that modules width: the modules and what is left
    // of the padding once the height scale is taken off it, rounded up; an empty strip keeps
    // room for one module of the strip's height (at most 28 pt) between its paddings.
    double requiredWidth(double modulesWidth) const;
    // The shown modules left to right, centred in the required width and vertically in the
    // height.
    ModuleRects layout(const std::vector<std::pair<ModuleKind, double>>& shown) const;
};

} // namespace pulsedeck
