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

#include "platform/graphics/Path.h"

namespace gfx {

// The outline of a closed convex polygon stroked `width` wide: the ring between the polygon
// pushed out by half the width, its corners joined as `join` says (a miter beyond `miterLimit`
// becomes a bevel, as cairo's does; a round join is an arc of chords within `tolerance`), and the
// polygon pulled in by half the width, handed out as two polygons winding opposite ways, the
// outer one turning as bevelStrokeOutline's pieces do. False, with nothing handed out, when the
// polygon is not convex (or winds more than once), has fewer than three corners, or is too narrow
// for the width to leave a hole: its stroke is not such a ring.
bool convexRingStrokeOutline(std::span<const Point> polygon, double width, LineJoin join,
                             double miterLimit, double tolerance, const OutlinePiece& piece);

} // namespace gfx
