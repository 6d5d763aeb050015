#pragma once

#include <cairo.h>
#include <memory>

namespace gfx {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};

// A cairo surface owned alone, destroyed with its owner.
using SurfacePointer = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

} // namespace gfx
