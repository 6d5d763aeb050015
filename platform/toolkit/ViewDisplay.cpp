#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"

namespace ui {

void View::setNeedsDisplay(bool flag) {
    if (flag)
        invalidate(bounds_);
    else
        dirty_ = {};
}

void View::setNeedsDisplayInRect(const gfx::Rect& rect) {
    invalidate(rect);
}

void View::invalidate(const gfx::Rect& rect) {
    const gfx::Rect clipped = rect.intersection(bounds_);
    if (clipped.isEmpty())
        return;
    dirty_ = dirty_.unionWith(clipped);
    if (window_)
        window_->viewInvalidated(*this, clipped);
}

void View::display() {
    displayRect(bounds_);
}

void View::displayRect(const gfx::Rect& rect) {
    if (!window_)
        return;
    const gfx::Rect inWindow = transformToWindow().apply(rect.intersection(bounds_));
    if (inWindow.isEmpty())
        return;
    window_->redraw(inWindow);
    if (rect.contains(dirty_))
        dirty_ = {};
}

void View::drawRect(gfx::Context&, const gfx::Rect&) {}

void View::drawHierarchy(gfx::Context& context, const gfx::Rect& dirty) {
    if (hidden_ || alpha_ <= 0)
        return;
    const gfx::Rect area = dirty.intersection(bounds_);
    if (area.isEmpty())
        return;
    gfx::Context::SavedState saved(context);
    if (cornerRadius_ > 0)
        context.clip(gfx::Path::roundedRect(bounds_, cornerRadius_, cornerRadius_));
    else
        context.clipToRect(bounds_);
    const bool translucent = alpha_ < 1;
    if (translucent)
        cairo_push_group(context.cairo());
    {
        gfx::Context::SavedState ownState(context);
        context.clipToRect(area);
        drawRect(context, area);
    }
    for (auto& subview : std::vector(subviews_)) {
        const gfx::AffineTransform toSubview =
            subview->transformToSuperview().inverted().value_or(gfx::AffineTransform::identity());
        const gfx::Rect subviewDirty = toSubview.apply(area);
        if (subviewDirty.intersects(subview->bounds_)) {
            gfx::Context::SavedState childState(context);
            context.concat(subview->transformToSuperview());
            subview->drawHierarchy(context, subviewDirty);
        }
    }
    if (translucent) {
        cairo_pop_group_to_source(context.cairo());
        cairo_paint_with_alpha(context.cairo(), alpha_);
    }
}

void View::clearDirtyInTree() {
    dirty_ = {};
    for (auto& subview : subviews_)
        subview->clearDirtyInTree();
}

} // namespace ui
