#include "platform/graphics/TextEngine.h"

#include <memory>
#include <pango/pangocairo.h>

namespace gfx {

namespace {

struct ContextDeleter {
    void operator()(PangoContext* context) const { g_object_unref(context); }
};

std::unique_ptr<PangoContext, ContextDeleter> makeShapingContext() {
    PangoFontMap* fontMap = pango_cairo_font_map_get_default();
    std::unique_ptr<PangoContext, ContextDeleter> context(pango_font_map_create_context(fontMap));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context.get(), options);
    cairo_font_options_destroy(options);
    pango_cairo_context_set_resolution(context.get(), 72);
    pango_context_set_round_glyph_positions(context.get(), FALSE);
    return context;
}

} // namespace

PangoContext* shapingContext() {
    thread_local std::unique_ptr<PangoContext, ContextDeleter> context = makeShapingContext();
    return context.get();
}

} // namespace gfx
