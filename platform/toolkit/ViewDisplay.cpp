#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/ShapedLayer.h"
#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace ui {

void View::setNeedsDisplay(bool flag) {
    if (flag)
        invalidate(bounds_);
    else
        dirty_.clear();
}

void View::setNeedsDisplayInRect(const gfx::Rect& rect) {
    invalidate(rect);
}

void View::invalidate(const gfx::Rect& rect) {
    const gfx::Rect clipped = rect.intersection(bounds_);
    if (clipped.isEmpty())
        return;
    dirty_.add(clipped);
    if (window_)
        window_->viewInvalidated(*this, clipped);
}

void View::replaceDirtyRect(const gfx::Rect& rect) {
    replaceDirtyRects({rect});
}

void View::replaceDirtyRects(const std::vector<gfx::Rect>& rects) {
    dirty_.clear();
    for (const gfx::Rect& rect : rects)
        dirty_.add(rect.intersection(bounds_));
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
    if (rect.contains(dirty_.bounds()))
        dirty_.clear();
}

void View::drawRect(gfx::Context&, const gfx::Rect&) {}

namespace {

// Whether an area inside bounds reaches into one of the corners a radius rounds off. Away from
// them the rounded clip cuts nothing a rectangle would not, so the cheaper rectangle serves: a
// shape clip makes every fill beneath it go through a mask.
bool reachesACorner(const gfx::Rect& area, const gfx::Rect& bounds, double radius) {
    const double rx = std::clamp(radius, 0.0, bounds.width() / 2);
    const double ry = std::clamp(radius, 0.0, bounds.height() / 2);
    const bool betweenSides =
        area.minX() >= bounds.minX() + rx && area.maxX() <= bounds.maxX() - rx;
    const bool betweenEnds = area.minY() >= bounds.minY() + ry && area.maxY() <= bounds.maxY() - ry;
    return !betweenSides && !betweenEnds;
}

// The parts of an area left of, between and right of a radius's rounded ends, split on whole
// points, when the view sits on whole points of its window: each part then covers whole pixels
// at every integer backing scale, so drawing the parts one by one lays down the same pixels as
// drawing the area at once. Empty when the area cannot be split so.
std::vector<gfx::Rect> splitAtRoundedEnds(const gfx::Rect& area, const gfx::Rect& bounds,
                                          double radius, const gfx::AffineTransform& toWindow) {
    const bool wholePoints = toWindow.a == 1 && toWindow.b == 0 && toWindow.c == 0 &&
                             toWindow.d == 1 && toWindow.tx == std::floor(toWindow.tx) &&
                             toWindow.ty == std::floor(toWindow.ty);
    const double rx = std::clamp(radius, 0.0, bounds.width() / 2);
    const double left = std::ceil(bounds.minX() + rx);
    const double right = std::floor(bounds.maxX() - rx);
    if (!wholePoints || area.minX() != std::floor(area.minX()) ||
        area.maxX() != std::floor(area.maxX()) || !(left < right) || area.maxX() <= left ||
        area.minX() >= right)
        return {};
    std::vector<gfx::Rect> parts;
    for (const auto& [from, to] :
         {std::pair{area.minX(), left}, std::pair{left, right}, std::pair{right, area.maxX()}}) {
        const double begin = std::max(from, area.minX());
        const double end = std::min(to, area.maxX());
        if (begin < end)
            parts.push_back({begin, area.minY(), end - begin, area.height()});
    }
    return parts.size() > 1 ? parts : std::vector<gfx::Rect>{};
}

} // namespace

void View::drawHierarchy(gfx::Context& context, const gfx::Rect& dirty) {
    if (hidden_ || (alphaValue() <= 0 && !(layer_ && layer_->isAnimating())))
        return;
    // A shadow depends on the whole drawing, whatever part of it is dirty.
    const bool casts = layer_ && layer_->shadow().opacity > 0;
    const gfx::Rect shown = presentedBoundsRect();
    const gfx::Rect area = casts ? shown : dirty.intersection(shown);
    if (area.isEmpty())
        return;
    if (cornerRadius_ > 0 && reachesACorner(area, shown, cornerRadius_)) {
        // The wide middle of a strip with round ends draws without the shape clip.
        const std::vector<gfx::Rect> parts =
            casts ? std::vector<gfx::Rect>{}
                  : splitAtRoundedEnds(area, shown, cornerRadius_, transformToWindow());
        for (const gfx::Rect& part : parts)
            drawArea(context, part, reachesACorner(part, shown, cornerRadius_));
        if (parts.empty())
            drawArea(context, area, true);
        return;
    }
    drawArea(context, area, false);
}

void View::drawArea(gfx::Context& context, const gfx::Rect& area, bool rounded) {
    gfx::Context::SavedState saved(context);
    const gfx::Rect shown = presentedBoundsRect();
    const auto clipToShown = [&] {
        if (rounded)
            context.clip(gfx::Path::roundedRect(shown, cornerRadius_, cornerRadius_));
        else
            context.clipToRect(shown);
    };
    const anim::LayerShadow* shadow =
        layer_ && layer_->shadow().opacity > 0 ? &layer_->shadow() : nullptr;
    const double opacity = layer_ ? layer_->presentationValues().opacity : alpha_;
    // A round end goes into a layer laid down through the shape once: under the shape's clip,
    // every fill, image and group drawn in the strip window's ends rasterised the curve again.
    // A second of the whole program cost 986 µs instead of 1035, a quiet one as much as before
    // (bench/WholeProgramBench, medians of six runs); on an X server the windows' drawing took
    // 1.78 M instructions a second instead of 2.38 M (callgrind over a minute of the program).
    std::optional<gfx::ShapedLayer> roundEnd;
    // A shadow falls outside the bounds, so only the drawing inside the group is clipped.
    if (!shadow && rounded)
        roundEnd.emplace(context, gfx::Path::roundedRect(shown, cornerRadius_, cornerRadius_),
                         area);
    else if (!shadow)
        clipToShown();
    const bool grouped = opacity < 1 || shadow;
    if (grouped)
        cairo_push_group(context.cairo());
    if (shadow)
        clipToShown();
    {
        gfx::Context::SavedState ownState(context);
        context.clipToRect(area);
        drawRect(context, area);
    }
    for (auto& subview : std::vector(subviews_)) {
        if (subview->hidden_)
            continue;
        const gfx::AffineTransform toSuperview = subview->drawingTransformToSuperview();
        const gfx::Rect subviewDirty =
            toSuperview.inverted().value_or(gfx::AffineTransform::identity()).apply(area);
        if (subview->layer_ ? area.intersects(subview->drawnFrame())
                            : subviewDirty.intersects(subview->bounds_)) {
            gfx::Context::SavedState childState(context);
            context.concat(toSuperview);
            subview->drawHierarchy(context, subviewDirty);
        }
    }
    if (grouped) {
        cairo_pattern_t* drawing = cairo_pop_group(context.cairo());
        const auto paint = [&](cairo_t* cr) {
            cairo_set_source(cr, drawing);
            cairo_paint_with_alpha(cr, opacity);
        };
        if (shadow) {
            context.setShadow(gfx::Shadow{
                shadow->color.withAlpha(shadow->color.alpha() * shadow->opacity * opacity),
                shadow->radius, shadow->offset});
            context.drawWithShadow(shown, paint);
        } else {
            paint(context.cairo());
        }
        cairo_pattern_destroy(drawing);
    }
}

void View::clearDirtyInTree() {
    dirty_.clear();
    for (auto& subview : subviews_)
        subview->clearDirtyInTree();
}

} // namespace ui
