#include "platform/graphics/Context.h"

#include "platform/graphics/AlphaBlur.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/CairoPointLimit.h"
#include "platform/graphics/ClipOver.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/DrawingRecorder.h"
#include "platform/graphics/PathFlattening.h"
#include "platform/graphics/ShapeMaskCache.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gfx {

namespace {

AffineTransform fromCairo(const cairo_matrix_t& m) {
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

cairo_line_cap_t cairoCap(LineCap cap) {
    switch (cap) {
    case LineCap::round:
        return CAIRO_LINE_CAP_ROUND;
    case LineCap::square:
        return CAIRO_LINE_CAP_SQUARE;
    case LineCap::butt:
        break;
    }
    return CAIRO_LINE_CAP_BUTT;
}

cairo_line_join_t cairoJoin(LineJoin join) {
    switch (join) {
    case LineJoin::round:
        return CAIRO_LINE_JOIN_ROUND;
    case LineJoin::bevel:
        return CAIRO_LINE_JOIN_BEVEL;
    case LineJoin::miter:
        break;
    }
    return CAIRO_LINE_JOIN_MITER;
}

cairo_fill_rule_t cairoRule(WindingRule rule) {
    return rule == WindingRule::evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING;
}

// Runs paint with cr's clip cut down to the box (device pixels, identity matrix); an empty box
// paints nothing.
template <typename Paint> void paintInside(cairo_t* cr, const CoverageMask::Box& box, Paint paint) {
    if (box.isEmpty()) {
        return;
    }
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_clip(cr);
    paint();
    cairo_restore(cr);
}

// Paints cr's source through the shape's coverage mask (ShapeMaskCache.h), kept in masks when
// given; false when the shape has no mask and cairo has to draw it.
bool paintMask(cairo_t* cr, ShapeMaskCache* masks, const FlatPath& flat) {
    std::optional<ShapeMask> made;
    const ShapeMask* mask = shapeMask(masks, flat, made);
    if (!mask) {
        return false;
    }
    cairo_surface_t* surface = mask->surface.get();
    cairo_save(cr);
    cairo_identity_matrix(cr);
    if (clipOver(cr, mask->x, mask->y, cairo_image_surface_get_width(surface),
                 cairo_image_surface_get_height(surface)) == ClipOver::nothing) {
        cairo_reset_clip(cr);
    }
    // Compositing through a mask is several times dearer than a plain one, and a capsule's mask
    // is solid but for its round ends: only the pixels around the solid core pay for the mask.
    // Painted whole through the mask, a module's capsule layer cost more than the clipping it
    // saved (the network image with its graph 85 → 105 µs).
    const CoverageMask::Box whole{mask->x, mask->y, cairo_image_surface_get_width(surface),
                                  cairo_image_surface_get_height(surface)};
    const CoverageMask::Box& core = mask->solid;
    if (core.isEmpty()) {
        cairo_mask_surface(cr, surface, mask->x, mask->y);
    } else {
        paintInside(cr, core, [cr] { cairo_paint(cr); });
        const int coreRight = core.x + core.width, coreBottom = core.y + core.height;
        const CoverageMask::Box rim[] = {
            {whole.x, whole.y, whole.width, core.y - whole.y},
            {whole.x, coreBottom, whole.width, whole.y + whole.height - coreBottom},
            {whole.x, core.y, core.x - whole.x, core.height},
            {coreRight, core.y, whole.x + whole.width - coreRight, core.height},
        };
        for (const CoverageMask::Box& part : rim) {
            paintInside(cr, part, [&] { cairo_mask_surface(cr, surface, mask->x, mask->y); });
        }
    }
    cairo_restore(cr);
    return true;
}

} // namespace

cairo_operator_t cairoOperator(CompositingOperation operation) {
    switch (operation) {
    case CompositingOperation::copy:
        return CAIRO_OPERATOR_SOURCE;
    case CompositingOperation::clear:
        return CAIRO_OPERATOR_CLEAR;
    case CompositingOperation::sourceIn:
        return CAIRO_OPERATOR_IN;
    case CompositingOperation::sourceOut:
        return CAIRO_OPERATOR_OUT;
    case CompositingOperation::sourceAtop:
        return CAIRO_OPERATOR_ATOP;
    case CompositingOperation::destinationOver:
        return CAIRO_OPERATOR_DEST_OVER;
    case CompositingOperation::destinationIn:
        return CAIRO_OPERATOR_DEST_IN;
    case CompositingOperation::destinationOut:
        return CAIRO_OPERATOR_DEST_OUT;
    case CompositingOperation::destinationAtop:
        return CAIRO_OPERATOR_DEST_ATOP;
    case CompositingOperation::xorOperation:
        return CAIRO_OPERATOR_XOR;
    case CompositingOperation::plusLighter:
        return CAIRO_OPERATOR_ADD;
    case CompositingOperation::sourceOver:
        break;
    }
    return CAIRO_OPERATOR_OVER;
}

void appendToCairo(cairo_t* cr, const Path& path) {
    const CairoPointLimit limit(cr);
    for (const Path::Element& e : path.elements()) {
        switch (e.kind) {
        case Path::ElementKind::moveTo: {
            Point p = limit(e.points[0]);
            cairo_move_to(cr, p.x, p.y);
            break;
        }
        case Path::ElementKind::lineTo: {
            Point p = limit(e.points[0]);
            cairo_line_to(cr, p.x, p.y);
            break;
        }
        case Path::ElementKind::curveTo: {
            Point c1 = limit(e.points[0]), c2 = limit(e.points[1]), p = limit(e.points[2]);
            cairo_curve_to(cr, c1.x, c1.y, c2.x, c2.y, p.x, p.y);
            break;
        }
        case Path::ElementKind::closePath:
            cairo_close_path(cr);
            break;
        }
    }
}

Context::Context(Bitmap& bitmap, Appearance appearance) : appearance_(appearance) {
    cr_.reset(cairo_create(bitmap.surface()));
    Size size = bitmap.size();
    double scale = size.height > 0  ? bitmap.pixelsHigh() / size.height
                   : size.width > 0 ? bitmap.pixelsWide() / size.width
                                    : 1.0;
    setUp(size, scale);
}

Context::Context(cairo_t* cr, Size pointSize, double scale, Appearance appearance)
    : appearance_(appearance) {
    cr_.reset(cairo_reference(cr));
    setUp(pointSize, scale);
}

Context::~Context() {
    // Leave a borrowed cairo_t as it came: unwind saves left open, then the constructor's own.
    for (std::size_t i = 0; i < savedStates_.size(); ++i) {
        cairo_restore(cr_.get());
    }
    cairo_restore(cr_.get());
}

void Context::setUp(Size pointSize, double scale) {
    baseSize_ = pointSize;
    scale_ = scale;
    cairo_t* cr = cr_.get();
    cairo_save(cr);
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, 0, pointSize.height);
    cairo_scale(cr, 1, -1);
    cairo_get_matrix(cr, &baseMatrix_);
}

void Context::save() {
    cairo_save(cr_.get());
    savedStates_.push_back(state_);
}

void Context::restore() {
    if (savedStates_.empty()) {
        return;
    }
    cairo_restore(cr_.get());
    state_ = std::move(savedStates_.back());
    savedStates_.pop_back();
}

void Context::translate(double dx, double dy) {
    concat(AffineTransform::translation(dx, dy));
}

void Context::scale(double sx, double sy) {
    concat(AffineTransform::scaling(sx, sy));
}

void Context::rotateRadians(double radians) {
    concat(AffineTransform::rotationRadians(radians));
}

void Context::rotateDegrees(double degrees) {
    concat(AffineTransform::rotationDegrees(degrees));
}

void Context::concat(const AffineTransform& t) {
    if (state_.singular) {
        return;
    }
    // A zero scale or a number that is not finite would put the cairo_t into a permanent error
    // state; instead nothing is drawn until the state is restored, as with a zero scale on the
    // platform.
    cairo_matrix_t m{t.a, t.b, t.c, t.d, t.tx, t.ty};
    cairo_matrix_t current, combined;
    cairo_get_matrix(cr_.get(), &current);
    cairo_matrix_multiply(&combined, &m, &current);
    double determinant = combined.xx * combined.yy - combined.yx * combined.xy;
    bool usable = std::isfinite(combined.x0) && std::isfinite(combined.y0) &&
                  std::isfinite(determinant) && determinant != 0;
    if (!usable) {
        state_.singular = true;
        return;
    }
    cairo_set_matrix(cr_.get(), &combined);
}

AffineTransform Context::currentTransform() const {
    cairo_matrix_t current;
    cairo_get_matrix(cr_.get(), &current);
    AffineTransform base = fromCairo(baseMatrix_);
    return fromCairo(current).concatenating(base.inverted().value_or(AffineTransform{}));
}

bool Context::isFlipped() const {
    AffineTransform t = currentTransform();
    return t.a * t.d - t.b * t.c < 0;
}

void Context::setFillColor(const Color& color) {
    state_.fillColor = color.resolved(appearance_);
}

void Context::setStrokeColor(const Color& color) {
    state_.strokeColor = color.resolved(appearance_);
}

void Context::setColor(const Color& color) {
    setFillColor(color);
    setStrokeColor(color);
}

void Context::setLineDash(std::vector<double> lengths, double phase) {
    state_.dash = std::move(lengths);
    state_.dashPhase = phase;
}

void Context::setSourceColor(cairo_t* cr, const Color& color) const {
    cairo_set_source_rgba(cr, color.red(), color.green(), color.blue(),
                          color.alpha() * state_.alpha);
}

void Context::applyLineState(cairo_t* cr) const {
    cairo_set_line_width(cr, state_.lineWidth);
    cairo_set_line_cap(cr, cairoCap(state_.lineCap));
    cairo_set_line_join(cr, cairoJoin(state_.lineJoin));
    cairo_set_miter_limit(cr, state_.miterLimit);
    cairo_set_dash(cr, state_.dash.data(), int(state_.dash.size()), state_.dashPhase);
}

void Context::applyOperation() const {
    cairo_set_operator(cr_.get(), cairoOperator(state_.operation));
}

void Context::recordFill(const Path& path, const Color& color, CompositingOperation operation) {
    if (recorder_) {
        recorder_->record(
            FillRecord{color, currentTransform().apply(path.bounds()), operation, state_.alpha});
    }
}

void Context::fill(const Path& path, WindingRule rule) {
    if (!drawable(path)) {
        return;
    }
    recordFill(path, state_.fillColor, state_.operation);
    Rect bounds = path.bounds();
    drawWithShadow(bounds, [&](cairo_t* cr) {
        setSourceColor(cr, state_.fillColor);
        cairo_new_path(cr);
        appendToCairo(cr, path);
        cairo_set_fill_rule(cr, cairoRule(rule));
        cairo_fill(cr);
    });
}

void Context::stroke(const Path& path) {
    if (!drawable(path) || !std::isfinite(state_.lineWidth)) {
        return;
    }
    Rect bounds = path.bounds();
    if (recorder_) {
        recorder_->record(StrokeRecord{state_.strokeColor, currentTransform().apply(bounds),
                                       state_.lineWidth, state_.alpha});
    }
    double outset = state_.lineWidth * std::max(1.0, state_.miterLimit) / 2;
    drawWithShadow(bounds.insetBy(-outset, -outset), [&](cairo_t* cr) {
        setSourceColor(cr, state_.strokeColor);
        cairo_new_path(cr);
        appendToCairo(cr, path);
        applyLineState(cr);
        cairo_stroke(cr);
    });
}

void Context::fillRect(const Rect& rect) {
    fill(Path::rect(rect));
}

void Context::fillRect(const Rect& rect, CompositingOperation operation) {
    CompositingOperation previous = state_.operation;
    state_.operation = operation;
    fill(Path::rect(rect));
    state_.operation = previous;
}

void Context::strokeRect(const Rect& rect) {
    stroke(Path::rect(rect));
}

void Context::fillEllipse(const Rect& rect) {
    fill(Path::oval(rect));
}

void Context::clearRect(const Rect& rect) {
    if (!drawable(Path::rect(rect))) {
        return;
    }
    if (recorder_) {
        recorder_->record(ClearRecord{currentTransform().apply(rect)});
    }
    cairo_t* cr = cr_.get();
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr);
    cairo_restore(cr);
}

void Context::clip(const Path& path, WindingRule rule) {
    if (state_.singular) {
        return;
    }
    cairo_t* cr = cr_.get();
    cairo_new_path(cr);
    if (path.isFinite()) {
        appendToCairo(cr, path);
    }
    cairo_set_fill_rule(cr, cairoRule(rule));
    cairo_clip(cr);
}

void Context::clipToRect(const Rect& rect) {
    clip(Path::rect(rect));
}

Rect Context::clipBoundingBox() const {
    double x1, y1, x2, y2;
    cairo_clip_extents(cr_.get(), &x1, &y1, &x2, &y2);
    return Rect{x1, y1, x2 - x1, y2 - y1}.standardized();
}

void Context::paintThrough(const Path& path) {
    if (state_.singular) {
        return;
    }
    cairo_t* cr = cr_.get();
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    std::optional<AffineTransform> toDevice =
        path.isFinite() && path.windingRule() == WindingRule::nonZero
            ? CoverageMask::maskableTransform(cr)
            : std::nullopt;
    if (!toDevice || !paintMask(cr, shapeMasks_, FlatPath(path, *toDevice))) {
        cairo_new_path(cr);
        if (path.isFinite()) {
            appendToCairo(cr, path);
        }
        cairo_set_fill_rule(cr, cairoRule(path.windingRule()));
        cairo_clip(cr);
        cairo_paint(cr);
    }
    cairo_restore(cr);
}

bool Context::drawable(const Path& path) const {
    return !state_.singular && path.isFinite();
}

void Context::drawWithShadow(const Rect& userBounds, const std::function<void(cairo_t*)>& draw) {
    if (state_.singular) {
        return;
    }
    cairo_t* cr = cr_.get();
    const std::optional<Shadow>& shadow = state_.shadow;
    bool casts =
        shadow && shadow->color.alpha() > 0 && state_.operation != CompositingOperation::clear;
    if (casts) {
        // The shape's device-space box, widened by the blur's reach, limited to the clip.
        cairo_matrix_t userToDevice;
        cairo_get_matrix(cr, &userToDevice);
        Rect device = fromCairo(userToDevice).apply(userBounds);
        double blurPixels = shadow->blurRadius * scale_;
        int radius = boxRadiusForBlur(blurPixels);
        double reach = 3.0 * radius + 1;
        device = device.insetBy(-reach, -reach);
        double cx1, cy1, cx2, cy2;
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_clip_extents(cr, &cx1, &cy1, &cx2, &cy2);
        cairo_restore(cr);
        double offsetX = shadow->offset.width, offsetY = shadow->offset.height;
        cairo_matrix_transform_distance(&baseMatrix_, &offsetX, &offsetY);
        // Only the part that lands inside the clip once shifted by the offset matters.
        Rect visible = Rect{cx1 - offsetX, cy1 - offsetY, cx2 - cx1, cy2 - cy1}.standardized();
        Rect region = device.intersection(visible).integral();
        if (!region.isEmpty()) {
            // A wide blur loses nothing when the mask is drawn and blurred at a fraction of the
            // resolution and scaled back up with bilinear filtering: cheaper by its square.
            int factor = std::max(1, radius / 2);
            int reducedRadius =
                radius > 0 ? std::max(1, int(std::lround(double(radius) / factor))) : 0;
            int width = int(std::ceil(region.width() / factor)) + 1;
            int height = int(std::ceil(region.height() / factor)) + 1;
            cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
            cairo_t* maskContext = cairo_create(mask);
            cairo_matrix_t reduced = userToDevice;
            reduced.x0 -= region.x();
            reduced.y0 -= region.y();
            for (double* entry :
                 {&reduced.xx, &reduced.yx, &reduced.xy, &reduced.yy, &reduced.x0, &reduced.y0}) {
                *entry /= factor;
            }
            cairo_set_matrix(maskContext, &reduced);
            draw(maskContext);
            cairo_destroy(maskContext);
            cairo_surface_flush(mask);
            blurAlphaMask(cairo_image_surface_get_data(mask), width, height,
                          cairo_image_surface_get_stride(mask), reducedRadius);
            cairo_surface_mark_dirty(mask);

            cairo_surface_t* full = mask;
            if (factor > 1) {
                int fullWidth = int(region.width()), fullHeight = int(region.height());
                full = cairo_image_surface_create(CAIRO_FORMAT_A8, fullWidth, fullHeight);
                cairo_surface_flush(full);
                upsampleAlphaMask(cairo_image_surface_get_data(mask), width, height,
                                  cairo_image_surface_get_stride(mask), factor,
                                  cairo_image_surface_get_data(full), fullWidth, fullHeight,
                                  cairo_image_surface_get_stride(full));
                cairo_surface_mark_dirty(full);
            }
            cairo_save(cr);
            cairo_identity_matrix(cr);
            applyOperation();
            Color color = shadow->color.resolved(appearance_);
            cairo_set_source_rgba(cr, color.red(), color.green(), color.blue(), color.alpha());
            cairo_mask_surface(cr, full, region.x() + offsetX, region.y() + offsetY);
            cairo_restore(cr);
            if (full != mask) {
                cairo_surface_destroy(full);
            }
            cairo_surface_destroy(mask);
        }
    }
    cairo_save(cr);
    applyOperation();
    draw(cr);
    cairo_restore(cr);
}

} // namespace gfx
