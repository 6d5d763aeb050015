#include "platform/graphics/ClipOver.h"

namespace gfx {

ClipOver clipOver(cairo_t* cr, double x, double y, double width, double height) {
    constexpr double farAway = -1e7;
    if (cairo_in_clip(cr, farAway, farAway)) {
        return ClipOver::nothing;
    }
    // A convex clip holds the whole rect, every pixel wholly, when it holds the rect's corners
    // with half a pixel to spare.
    constexpr double spare = 0.5;
    double left = x - spare, top = y - spare, right = x + width + spare,
           bottom = y + height + spare;
    if (cairo_in_clip(cr, left, top) && cairo_in_clip(cr, right, top) &&
        cairo_in_clip(cr, left, bottom) && cairo_in_clip(cr, right, bottom)) {
        return ClipOver::nothing;
    }
    // The clip cut down to the rect is a region (whole pixels) only if it was one over the rect.
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, x, y, width, height);
    cairo_clip(cr);
    cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr);
    bool region = list->status == CAIRO_STATUS_SUCCESS;
    cairo_rectangle_list_destroy(list);
    cairo_restore(cr);
    return region ? ClipOver::wholePixels : ClipOver::partPixels;
}

} // namespace gfx
