#include "platform/graphics/ShapedLayer.h"

#include "platform/graphics/AffineTransform.h"

#include <cairo.h>
#include <cmath>
#include <utility>

namespace gfx {

namespace {

struct PixelRect {
    double left = 0, top = 0, right = 0, bottom = 0;
};

// The device pixels the user-space rect touches that lie within the clip's extents (whole
// pixels: cairo keeps the extents as integers). fmax and fmin drop a coordinate that is not a
// number in favour of the clip's.
PixelRect shownPixels(cairo_t* cr, const Rect& bounds) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    const Rect device = AffineTransform{m.xx, m.yx, m.xy, m.yy, m.x0, m.y0}.apply(bounds);
    double cx0, cy0, cx1, cy1;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
    cairo_restore(cr);
    PixelRect pixels{std::fmax(std::floor(device.minX()), std::floor(cx0)),
                     std::fmax(std::floor(device.minY()), std::floor(cy0)),
                     std::fmin(std::ceil(device.maxX()), std::ceil(cx1)),
                     std::fmin(std::ceil(device.maxY()), std::ceil(cy1))};
    if (!(pixels.right > pixels.left && pixels.bottom > pixels.top))
        return {};
    return pixels;
}

void clipToPixels(cairo_t* cr, const PixelRect& pixels) {
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, pixels.left, pixels.top, pixels.right - pixels.left,
                    pixels.bottom - pixels.top);
    cairo_restore(cr);
    cairo_clip(cr);
}

} // namespace

ShapedLayer::ShapedLayer(Context& context, Path shape, const Rect& bounds)
    : context_(context), shape_(std::move(shape)) {
    context_.save();
    cairo_t* cr = context_.cairo();
    const PixelRect pixels = shownPixels(cr, bounds);
    // The group is only as large as the clip at the push; the clips set before apply again when
    // the layer is composited.
    clipToPixels(cr, pixels);
    cairo_push_group(cr);
    cairo_reset_clip(cr);
    clipToPixels(cr, pixels);
}

ShapedLayer::~ShapedLayer() {
    cairo_t* cr = context_.cairo();
    cairo_pattern_t* layer = cairo_pop_group(cr);
    cairo_set_source(cr, layer);
    context_.paintThrough(shape_);
    cairo_pattern_destroy(layer);
    context_.restore();
}

} // namespace gfx
