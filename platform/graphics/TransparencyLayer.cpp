#include "platform/graphics/TransparencyLayer.h"

#include <cairo.h>

namespace gfx {

TransparencyLayer::TransparencyLayer(Context& context, double alpha, std::optional<Rect> bounds)
    : context_(context), alpha_(alpha * context.alpha()) {
    context_.save();
    if (bounds)
        context_.clipToRect(*bounds);
    cairo_push_group(context_.cairo());
    context_.setAlpha(1);
    context_.setCompositingOperation(CompositingOperation::sourceOver);
}

TransparencyLayer::~TransparencyLayer() {
    cairo_t* cr = context_.cairo();
    cairo_pop_group_to_source(cr);
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_paint_with_alpha(cr, alpha_);
    cairo_restore(cr);
    context_.restore();
}

} // namespace gfx
