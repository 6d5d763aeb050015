#include "statusbar/ClippedLayer.h"

#include <cairo.h>
#include <cmath>

namespace pulsedeck {

namespace {

// The whole device pixels that the path's bounds and cr's clip share, as x0, y0, x1, y1.
struct PixelBox {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

PixelBox visiblePixels(cairo_t* cr, const gfx::Rect& userBounds) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    gfx::Rect device = gfx::AffineTransform{m.xx, m.yx, m.xy, m.yy, m.x0, m.y0}.apply(userBounds);
    double cx0, cy0, cx1, cy1;
    cairo_identity_matrix(cr);
    cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
    cairo_set_matrix(cr, &m);
    PixelBox box{std::fmax(std::floor(device.minX()), std::floor(cx0)),
                 std::fmax(std::floor(device.minY()), std::floor(cy0)),
                 std::fmin(std::ceil(device.maxX()), std::ceil(cx1)),
                 std::fmin(std::ceil(device.maxY()), std::ceil(cy1))};
    if (!(box.x1 > box.x0 && box.y1 > box.y0)) {
        return {};
    }
    return box;
}

void clipToPixels(cairo_t* cr, const PixelBox& box) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    cairo_identity_matrix(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, box.x0, box.y0, box.x1 - box.x0, box.y1 - box.y0);
    cairo_clip(cr);
    cairo_set_matrix(cr, &m);
}

} // namespace

void drawThroughClip(gfx::Context& context, const gfx::Path& clip,
                     const std::function<void()>& draw) {
    gfx::Context::SavedState saved(context);
    cairo_t* cr = context.cairo();
    // The layer covers only the pixels the path can show. Inside it a pixel-aligned rectangle is
    // the whole clip: the outer clip and the path apply once, when the layer is composited, so a
    // curved outer clip is not paid for again by every shape drawn into the layer.
    PixelBox box = visiblePixels(cr, clip.bounds());
    clipToPixels(cr, box);
    cairo_push_group(cr);
    cairo_reset_clip(cr);
    clipToPixels(cr, box);
    draw();
    cairo_pattern_t* layer = cairo_pop_group(cr);
    cairo_set_source(cr, layer);
    context.paintThrough(clip);
    cairo_pattern_destroy(layer);
}

} // namespace pulsedeck
