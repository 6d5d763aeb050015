#include "statusbar/KeptLayer.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

// A stroke along the edge reaches half its width outside the bounds; a pixel of margin keeps
// its anti-aliased fringe.
constexpr double marginPixels = 2;
// Larger than any strip on any screen; a bigger area is not worth keeping.
constexpr int largestSide = 8192;

} // namespace

bool KeptLayer::Placement::operator==(const Placement& other) const {
    return toDevice.xx == other.toDevice.xx && toDevice.yx == other.toDevice.yx &&
           toDevice.xy == other.toDevice.xy && toDevice.yy == other.toDevice.yy &&
           toDevice.x0 == other.toDevice.x0 && toDevice.y0 == other.toDevice.y0 &&
           appearance == other.appearance && baseSize == other.baseSize && scale == other.scale &&
           x == other.x && y == other.y && width == other.width && height == other.height;
}

std::optional<KeptLayer::Placement> KeptLayer::placementFor(const gfx::Context& context,
                                                            const gfx::Rect& bounds) {
    if (context.recorder() || context.shadow() || context.alpha() != 1 ||
        context.compositingOperation() != gfx::CompositingOperation::sourceOver ||
        context.drawsNothing()) {
        return std::nullopt;
    }
    Placement placement;
    cairo_get_matrix(context.cairo(), &placement.toDevice);
    const cairo_matrix_t& m = placement.toDevice;
    if (m.xy != 0 || m.yx != 0 || m.xx == 0 || m.yy == 0) {
        return std::nullopt;
    }
    const double left = m.x0 + m.xx * bounds.minX();
    const double right = m.x0 + m.xx * bounds.maxX();
    const double top = m.y0 + m.yy * bounds.minY();
    const double bottom = m.y0 + m.yy * bounds.maxY();
    const double x0 = std::floor(std::min(left, right) - marginPixels);
    const double y0 = std::floor(std::min(top, bottom) - marginPixels);
    const double x1 = std::ceil(std::max(left, right) + marginPixels);
    const double y1 = std::ceil(std::max(top, bottom) + marginPixels);
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1) ||
        x1 - x0 > largestSide || y1 - y0 > largestSide || std::abs(x0) > largestSide ||
        std::abs(y0) > largestSide) {
        return std::nullopt;
    }
    placement.appearance = context.appearance();
    placement.baseSize = context.baseSize();
    placement.scale = context.backingScale();
    placement.x = static_cast<int>(x0);
    placement.y = static_cast<int>(y0);
    placement.width = static_cast<int>(x1 - x0);
    placement.height = static_cast<int>(y1 - y0);
    return placement;
}

void KeptLayer::render(const gfx::Context& context, const Placement& placement,
                       const std::function<void(gfx::Context&)>& paint) {
    const double scale = placement.scale;
    gfx::Bitmap bitmap(placement.width, placement.height,
                       {placement.width / scale, placement.height / scale});
    {
        gfx::Context layer(bitmap, placement.appearance);
        layer.setShapeMasks(context.shapeMasks());
        // The layer's base space is the window's, moved so that the kept area's top-left
        // device pixel is the layer's first: both are y-up at the same scale.
        layer.concat(gfx::AffineTransform::translation(-placement.x / scale,
                                                       (placement.height + placement.y) / scale -
                                                           placement.baseSize.height));
        layer.concat(context.currentTransform());
        paint(layer);
    }
    cairo_surface_flush(bitmap.surface());
    bitmap_ = std::move(bitmap);
}

bool KeptLayer::draw(gfx::Context& context, const gfx::Rect& bounds, bool changed,
                     const std::function<void(gfx::Context&)>& paint) {
    if (changed) {
        bitmap_.reset();
    }
    const std::optional<Placement> placement = placementFor(context, bounds);
    if (!placement) {
        return false;
    }
    if (!bitmap_ || placement_ != placement) {
        placement_ = placement;
        render(context, *placement, paint);
    }
    cairo_t* cr = context.cairo();
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_surface(cr, bitmap_->surface(), placement->x, placement->y);
    cairo_paint(cr);
    cairo_restore(cr);
    return true;
}

} // namespace pulsedeck
