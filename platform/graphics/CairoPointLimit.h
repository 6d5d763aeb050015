#pragma once

#include "platform/graphics/Geometry.h"

#include <cairo.h>

namespace gfx {

// cairo keeps coordinates in 24.8 fixed point, and past that range its clipper overflows: a clip
// around a point 1e300 away has crashed it. Points handed to a cairo_t go through this, which
// holds them to a device box far beyond any surface; inside the box nothing changes, and an
// axis-aligned shape keeps every pixel it covered.
class CairoPointLimit {
public:
    explicit CairoPointLimit(cairo_t* cr);

    Point operator()(Point user) const;

private:
    cairo_matrix_t toDevice_{};
    cairo_matrix_t toUser_{};
};

} // namespace gfx
