#include "statusbar/ClippedLayer.h"

#include <cairo.h>

namespace pulsedeck {

void drawThroughClip(gfx::Context& context, const gfx::Path& clip,
                     const std::function<void()>& draw) {
    gfx::Context::SavedState saved(context);
    cairo_t* cr = context.cairo();
    cairo_push_group(cr);
    draw();
    cairo_pattern_t* layer = cairo_pop_group(cr);
    clip.addClip(context);
    cairo_set_source(cr, layer);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_paint(cr);
    cairo_pattern_destroy(layer);
}

} // namespace pulsedeck
