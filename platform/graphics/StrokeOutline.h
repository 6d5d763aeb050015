#pragma once

#include "platform/graphics/Geometry.h"

#include <functional>
#include <span>

namespace gfx {

// The outline of an open polyline stroked `width` wide with butt caps and bevel joins, handed
// out piece by piece: a rectangle along each segment and, at each corner, the triangle that
// closes the gap on the outer side. Filled together under the non-zero rule the pieces are the
// stroke; they all wind the same way, so where two overlap (inside a corner) they add up rather
// than cancel. Segments of no length are passed over, as a stroker passes over them, and a line
// of fewer than two distinct points, or no width, has no outline.
using OutlinePiece = std::function<void(std::span<const Point>)>;
void bevelStrokeOutline(std::span<const Point> polyline, double width, const OutlinePiece& piece);

} // namespace gfx
