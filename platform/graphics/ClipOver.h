#pragma once

#include <cairo.h>

namespace gfx {

// How cr's clip meets a rect of whole device pixels (under the identity matrix).
enum class ClipOver {
    // No clip, or one that holds every pixel of the rect wholly: the clip changes nothing there.
    nothing,
    // Whole pixels in and whole pixels out.
    wholePixels,
    // Some pixel partly covered.
    partPixels,
};

// Where a mask is painted inside a curved clip (the capsule a figure or a chart sits in),
// compositing through the clip costs more than the mask did; a caller told `nothing` can reset
// the clip for that paint. Assumes a curved clip is convex wherever something is drawn in it.
ClipOver clipOver(cairo_t* cr, double x, double y, double width, double height);

} // namespace gfx
