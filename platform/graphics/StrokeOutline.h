#pragma once

#include "platform/graphics/Geometry.h"

#include <functional>
#include <span>

namespace gfx {

// The outline of an open polyline stroked `width` wide with butt caps and bevel joins, handed
// out as closed polygons: one around each run of segments, its corners bevelled on the outer side
// and meeting where the edges cross on the inner side, so that it never overlaps itself at a
// corner; a corner too sharp for its short segments ends one run and starts the next, with the
// bevel's triangle between them. Filled together under the non-zero rule the polygons are the
// stroke. They all wind the same way, so where they overlap they add up rather than cancel.
// Segments of no length are passed over, as a stroker passes over them, and a line of fewer than
// two distinct points, or no width, has no outline.
using OutlinePiece = std::function<void(std::span<const Point>)>;
void bevelStrokeOutline(std::span<const Point> polyline, double width, const OutlinePiece& piece);

} // namespace gfx
