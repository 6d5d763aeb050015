#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/toolkit/Popover.h"

#include <vector>

namespace pulsedeck {

// Where a details panel opens beside an anchor: the y of the edge it hangs from, the side
// (minY = below the anchor, maxY = above it) and the height it may take.
struct DetailPlacementResult {
    double edgeY = 0;
    ui::RectEdge edge = ui::RectEdge::minY;
    double height = 0;

    bool operator==(const DetailPlacementResult&) const = default;
};

// Places details of `preferredHeight` beside `anchor` (screen points, y up) within the screen
// areas (visible frames): in the area holding the anchor's centre, else the nearest one; above
// the anchor when there is too little room below and more room above, else below; no taller
// than the room less 20 points, but at least 120.
DetailPlacementResult detailPlacement(const gfx::Rect& anchor, double preferredHeight,
                                      const std::vector<gfx::Rect>& areas);

} // namespace pulsedeck
