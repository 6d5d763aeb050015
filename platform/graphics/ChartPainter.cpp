#include "platform/graphics/ChartPainter.h"

#include "platform/graphics/CairoPointLimit.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/DrawingRecorder.h"
#include "platform/graphics/ShapeMaskCache.h"
#include "platform/graphics/StrokeOutline.h"
#include "platform/graphics/SurfacePointer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace gfx {

namespace {

using PointLists = std::span<const std::vector<Point>>;

bool allFinite(PointLists lists) {
    for (const std::vector<Point>& points : lists) {
        for (const Point& p : points) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                return false;
            }
        }
    }
    return true;
}

// As Path::bounds() of the path made of the lists: the zero rect when there are no points.
Rect boundsOf(PointLists lists) {
    bool any = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (const std::vector<Point>& points : lists) {
        for (const Point& p : points) {
            x0 = any ? std::min(x0, p.x) : p.x;
            x1 = any ? std::max(x1, p.x) : p.x;
            y0 = any ? std::min(y0, p.y) : p.y;
            y1 = any ? std::max(y1, p.y) : p.y;
            any = true;
        }
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

void appendPointLists(cairo_t* cr, PointLists lists, bool closed) {
    cairo_new_path(cr);
    const CairoPointLimit limit(cr);
    for (const std::vector<Point>& points : lists) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            Point p = limit(points[i]);
            if (i == 0) {
                cairo_move_to(cr, p.x, p.y);
            } else {
                cairo_line_to(cr, p.x, p.y);
            }
        }
        if (closed && !points.empty()) {
            cairo_close_path(cr);
        }
    }
}

struct DeviceMask {
    CoverageMask mask;
    AffineTransform toDevice;
};

// A coverage mask for a shape within userBounds drawn through cr, when a mask may stand in for
// cairo there (CoverageMask::maskableTransform).
std::optional<DeviceMask> deviceMask(cairo_t* cr, const Rect& userBounds) {
    std::optional<AffineTransform> toDevice = CoverageMask::maskableTransform(cr);
    if (!toDevice) {
        return std::nullopt;
    }
    std::optional<CoverageMask> mask = CoverageMask::covering(cr, toDevice->apply(userBounds));
    if (!mask) {
        return std::nullopt;
    }
    return DeviceMask{std::move(*mask), *toDevice};
}

// The device pixels a run's points reach, a stroke's (a width above 0) by half its width.
Rect deviceBounds(const Rect& userBounds, double strokeWidth, const AffineTransform& toDevice) {
    double outset = strokeWidth / 2;
    return toDevice.apply(userBounds.insetBy(-outset, -outset));
}

void recordRun(Context& context, const Color& color, const Rect& userBounds, bool stroke) {
    DrawingRecorder* recorder = context.recorder();
    if (!recorder) {
        return;
    }
    Rect recorded = context.currentTransform().apply(userBounds);
    if (stroke) {
        recorder->record(StrokeRecord{color, recorded, context.lineWidth(), context.alpha()});
    } else {
        recorder->record(
            FillRecord{color, recorded, context.compositingOperation(), context.alpha()});
    }
}

std::uint32_t premultipliedColor(const Color& resolved, double alpha) {
    return CoverageMask::premultiplied(resolved.red(), resolved.green(), resolved.blue(),
                                       resolved.alpha() * alpha);
}

// A premultiplied ARGB32 layer whose first pixel is device pixel box.x, box.y.
struct LayerPixels {
    std::uint8_t* data;
    int stride;
    CoverageMask::Box box;
};

// One run's coverage within the box: the polygons filled, or with a stroke width above 0 the
// polylines stroked with butt caps and bevel joins. Nothing when they reach no pixel of it.
std::optional<CoverageMask> runMask(PointLists lists, const Rect& userBounds, double strokeWidth,
                                    const AffineTransform& toDevice,
                                    const CoverageMask::Box& within) {
    CoverageMask::Box box =
        CoverageMask::Box::around(deviceBounds(userBounds, strokeWidth, toDevice))
            .intersection(within);
    if (box.isEmpty()) {
        return std::nullopt;
    }
    CoverageMask mask(box);
    for (const std::vector<Point>& points : lists) {
        if (strokeWidth > 0) {
            bevelStrokeOutline(points, strokeWidth, [&](std::span<const Point> piece) {
                mask.addPolygon(piece, toDevice);
            });
        } else {
            mask.addPolygon(points, toDevice);
        }
    }
    return mask;
}

} // namespace

void ChartPainter::fillUnclipped(std::span<const std::vector<Point>> polygons) {
    Context& context = context_;
    if (context.drawsNothing() || !allFinite(polygons)) {
        return;
    }
    Rect bounds = boundsOf(polygons);
    if (DrawingRecorder* recorder = context.recorder()) {
        recorder->record(FillRecord{context.fillColor(), context.currentTransform().apply(bounds),
                                    context.compositingOperation(), context.alpha()});
    }
    context.drawWithShadow(bounds, [&](cairo_t* cr) {
        context.setSourceColor(cr, context.fillColor());
        if (std::optional<DeviceMask> device = deviceMask(cr, bounds)) {
            for (const std::vector<Point>& polygon : polygons) {
                device->mask.addPolygon(polygon, device->toDevice);
            }
            device->mask.paint(cr);
            return;
        }
        appendPointLists(cr, polygons, true);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
    });
}

bool ChartPainter::strokesAsBevelOutline() const {
    return context_.lineWidth() > 0 && context_.lineCap() == LineCap::butt &&
           context_.lineJoin() == LineJoin::bevel && !context_.hasLineDash();
}

void ChartPainter::strokeUnclipped(std::span<const std::vector<Point>> polylines) {
    Context& context = context_;
    double width = context.lineWidth();
    if (context.drawsNothing() || !allFinite(polylines) || !std::isfinite(width)) {
        return;
    }
    Rect bounds = boundsOf(polylines);
    if (DrawingRecorder* recorder = context.recorder()) {
        recorder->record(StrokeRecord{context.strokeColor(),
                                      context.currentTransform().apply(bounds), width,
                                      context.alpha()});
    }
    double outset = width * std::max(1.0, context.miterLimit()) / 2;
    bool outline = strokesAsBevelOutline();
    context.drawWithShadow(bounds.insetBy(-outset, -outset), [&](cairo_t* cr) {
        context.setSourceColor(cr, context.strokeColor());
        // A bevelled outline stays within half the width of the line's points.
        double half = width / 2;
        std::optional<DeviceMask> device =
            outline ? deviceMask(cr, bounds.insetBy(-half, -half)) : std::nullopt;
        if (device) {
            for (const std::vector<Point>& polyline : polylines) {
                bevelStrokeOutline(polyline, width, [&](std::span<const Point> piece) {
                    device->mask.addPolygon(piece, device->toDevice);
                });
            }
            device->mask.paint(cr);
            return;
        }
        appendPointLists(cr, polylines, false);
        context.applyLineState(cr);
        cairo_stroke(cr);
    });
}

void ChartPainter::fillPolygons(std::span<const std::vector<Point>> polygons) {
    drawLists(polygons, false);
}

void ChartPainter::strokePolylines(std::span<const std::vector<Point>> polylines) {
    drawLists(polylines, true);
}

void ChartPainter::drawLists(std::span<const std::vector<Point>> lists, bool stroke) {
    if (clipLayer_) {
        const ColoredPoints run{stroke ? context_.strokeColor() : context_.fillColor(),
                                {lists.begin(), lists.end()}};
        drawRuns(std::span(&run, 1), stroke);
    } else if (stroke) {
        strokeUnclipped(lists);
    } else {
        fillUnclipped(lists);
    }
}

void ChartPainter::setColor(const Color& color, bool stroke) {
    if (stroke) {
        context_.setStrokeColor(color);
    } else {
        context_.setFillColor(color);
    }
}

void ChartPainter::fillPolygonRuns(std::span<const ColoredPoints> runs) {
    drawRuns(runs, false);
}

void ChartPainter::strokePolylineRuns(std::span<const ColoredPoints> runs) {
    drawRuns(runs, true);
}

void ChartPainter::drawRuns(std::span<const ColoredPoints> runs, bool stroke) {
    if (runs.empty()) {
        return;
    }
    if (!clipLayer_) {
        drawRunsUnclipped(runs, stroke);
        return;
    }
    if (!drawRunsInClipLayer(runs, stroke)) {
        // What the layer cannot take is drawn under a clip of the shape, after what it holds.
        compositeClipLayer();
        Context::SavedState saved(context_);
        clipLayer_->shape.addClip(context_);
        drawRunsUnclipped(runs, stroke);
    }
    setColor(runs.back().color, stroke);
}

void ChartPainter::drawRunsUnclipped(std::span<const ColoredPoints> runs, bool stroke) {
    if (drawRunsInOneLayer(runs, stroke)) {
        setColor(runs.back().color, stroke);
        return;
    }
    for (const ColoredPoints& run : runs) {
        setColor(run.color, stroke);
        if (stroke) {
            strokeUnclipped(run.lists);
        } else {
            fillUnclipped(run.lists);
        }
    }
}

bool ChartPainter::drawRunsInOneLayer(std::span<const ColoredPoints> runs, bool stroke) {
    Context& context = context_;
    const std::optional<Shadow>& shadow = context.shadow();
    bool casts = shadow && shadow->color.alpha() > 0;
    double width = context.lineWidth();
    if (runs.size() < 2 || context.drawsNothing() || casts ||
        context.compositingOperation() != CompositingOperation::sourceOver ||
        (stroke && !(strokesAsBevelOutline() && std::isfinite(width)))) {
        return false;
    }
    cairo_t* cr = context.cairo();
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy != 0 || m.yx != 0) {
        return false;
    }
    double strokeWidth = stroke ? width : 0;
    std::vector<Rect> bounds;
    bounds.reserve(runs.size());
    std::optional<Rect> all;
    for (const ColoredPoints& run : runs) {
        if (!allFinite(run.lists)) {
            return false;
        }
        bounds.push_back(boundsOf(run.lists));
        bool hasPoints =
            std::any_of(run.lists.begin(), run.lists.end(),
                        [](const std::vector<Point>& points) { return !points.empty(); });
        if (hasPoints) {
            // Not Rect::unionWith, which passes over a flat line's empty bounds.
            const Rect& b = bounds.back();
            double x0 = all ? std::min(all->minX(), b.minX()) : b.minX();
            double y0 = all ? std::min(all->minY(), b.minY()) : b.minY();
            double x1 = all ? std::max(all->maxX(), b.maxX()) : b.maxX();
            double y1 = all ? std::max(all->maxY(), b.maxY()) : b.maxY();
            all = Rect{x0, y0, x1 - x0, y1 - y0};
        }
    }
    AffineTransform toDevice{m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
    std::optional<CoverageMask::Box> layerBox =
        CoverageMask::visibleBox(cr, deviceBounds(all.value_or(Rect{}), strokeWidth, toDevice));
    if (!layerBox) {
        return false;
    }

    std::vector<Color> colors;
    colors.reserve(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        colors.push_back(runs[i].color.resolved(context.appearance()));
        recordRun(context, colors[i], bounds[i], stroke);
    }
    if (layerBox->isEmpty()) {
        return true;
    }
    SurfacePointer layer(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layerBox->width, layerBox->height));
    if (cairo_surface_status(layer.get()) != CAIRO_STATUS_SUCCESS) {
        return true;
    }
    cairo_surface_flush(layer.get());
    const LayerPixels pixels{cairo_image_surface_get_data(layer.get()),
                             cairo_image_surface_get_stride(layer.get()), *layerBox};
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (std::optional<CoverageMask> mask =
                runMask(runs[i].lists, bounds[i], strokeWidth, toDevice, *layerBox)) {
            mask->blendOver(pixels.data, pixels.stride, pixels.box,
                            premultipliedColor(colors[i], context.alpha()));
        }
    }
    cairo_surface_mark_dirty(layer.get());
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_surface(cr, layer.get(), layerBox->x, layerBox->y);
    cairo_paint(cr);
    cairo_restore(cr);
    return true;
}

ChartPainter::ChartPainter(Context& context, const Path& clip) : context_(context) {
    const std::optional<Shadow>& shadow = context.shadow();
    cairo_t* cr = context.cairo();
    std::optional<AffineTransform> toDevice =
        context.drawsNothing() || (shadow && shadow->color.alpha() > 0) ||
                context.compositingOperation() != CompositingOperation::sourceOver ||
                !clip.isFinite() || clip.windingRule() != WindingRule::nonZero
            ? std::nullopt
            : CoverageMask::maskableTransform(cr);
    if (toDevice) {
        FlatPath deviceShape(clip, *toDevice);
        Rect deviceBounds = deviceShape.bounds();
        if (std::optional<CoverageMask::Box> box = CoverageMask::visibleBox(cr, deviceBounds)) {
            cairo_matrix_t m;
            cairo_get_matrix(cr, &m);
            clipLayer_.emplace(ClipLayer{clip, std::move(deviceShape), deviceBounds, m, *box,
                                         CairoPointer(nullptr, &cairo_destroy)});
            return;
        }
    }
    shapedLayer_.emplace(context, clip, clip.bounds());
}

ChartPainter::~ChartPainter() {
    if (clipLayer_) {
        compositeClipLayer();
    }
}

bool ChartPainter::drawRunsInClipLayer(std::span<const ColoredPoints> runs, bool stroke) {
    Context& context = context_;
    if (context.drawsNothing()) {
        return true;
    }
    const std::optional<Shadow>& shadow = context.shadow();
    double width = context.lineWidth();
    if ((shadow && shadow->color.alpha() > 0) ||
        context.compositingOperation() != CompositingOperation::sourceOver ||
        (stroke && !(strokesAsBevelOutline() && std::isfinite(width)))) {
        return false;
    }
    ClipLayer& layer = *clipLayer_;
    cairo_t* cr = context.cairo();
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    const cairo_matrix_t& l = layer.toDevice;
    if (m.xx != l.xx || m.yx != l.yx || m.xy != l.xy || m.yy != l.yy || m.x0 != l.x0 ||
        m.y0 != l.y0 || CoverageMask::visibleBox(cr, layer.deviceBounds) != layer.box) {
        return false;
    }
    const AffineTransform toDevice{m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
    double strokeWidth = stroke ? width : 0;
    for (const ColoredPoints& run : runs) {
        if (!allFinite(run.lists)) {
            continue;
        }
        Rect bounds = boundsOf(run.lists);
        Color color = run.color.resolved(context.appearance());
        recordRun(context, color, bounds, stroke);
        cairo_t* target = layer.box.isEmpty() ? nullptr : clipLayerCairo();
        std::optional<CoverageMask> mask =
            target ? runMask(run.lists, bounds, strokeWidth, toDevice, layer.box) : std::nullopt;
        if (!mask) {
            continue;
        }
        if (runs.size() < 2) {
            // One colour goes through an A8 mask and pixman's compositing, as it would onto the
            // context: blended pixel by pixel, the network image took 85 µs instead of 72
            // (bench/StatusImagesBench).
            cairo_set_source_rgba(target, color.red(), color.green(), color.blue(),
                                  color.alpha() * context.alpha());
            mask->paint(target);
            continue;
        }
        cairo_surface_t* pixels = cairo_get_target(target);
        cairo_surface_flush(pixels);
        mask->blendOver(cairo_image_surface_get_data(pixels),
                        cairo_image_surface_get_stride(pixels), layer.box,
                        premultipliedColor(color, context.alpha()));
        cairo_surface_mark_dirty(pixels);
    }
    return true;
}

cairo_t* ChartPainter::clipLayerCairo() {
    ClipLayer& layer = *clipLayer_;
    if (!layer.drawing) {
        SurfacePointer pixels(
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layer.box.width, layer.box.height));
        // Device space is the context's: the layer's first pixel is device pixel box.x, box.y.
        cairo_surface_set_device_offset(pixels.get(), -layer.box.x, -layer.box.y);
        layer.drawing.reset(cairo_create(pixels.get()));
    }
    return cairo_status(layer.drawing.get()) == CAIRO_STATUS_SUCCESS ? layer.drawing.get()
                                                                     : nullptr;
}

void ChartPainter::compositeClipLayer() {
    ClipLayer& layer = *clipLayer_;
    CairoPointer drawing = std::move(layer.drawing);
    cairo_surface_t* pixels = drawing ? cairo_get_target(drawing.get()) : nullptr;
    if (!pixels || cairo_surface_status(pixels) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    cairo_surface_flush(pixels);
    cairo_t* cr = context_.cairo();
    cairo_save(cr);
    std::optional<ShapeMask> made;
    if (const ShapeMask* mask = shapeMask(context_.shapeMasks(), layer.deviceShape, made)) {
        cairo_surface_t* coverageSurface = mask->surface.get();
        const CoverageMask::Box coverage{mask->x, mask->y,
                                         cairo_image_surface_get_width(coverageSurface),
                                         cairo_image_surface_get_height(coverageSurface)};
        cairo_surface_flush(coverageSurface);
        CoverageMask::multiplyByCoverage(
            cairo_image_surface_get_data(pixels), cairo_image_surface_get_stride(pixels), layer.box,
            cairo_image_surface_get_data(coverageSurface),
            cairo_image_surface_get_stride(coverageSurface), coverage, mask->solid);
        cairo_surface_mark_dirty(pixels);
        cairo_identity_matrix(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        cairo_set_source_surface(cr, pixels, 0, 0);
        cairo_paint(cr);
    } else {
        // A shape too large for a mask: cairo clips to it.
        cairo_surface_mark_dirty(pixels);
        cairo_identity_matrix(cr);
        cairo_set_source_surface(cr, pixels, 0, 0);
        cairo_set_matrix(cr, &layer.toDevice);
        context_.paintThrough(layer.shape);
    }
    cairo_restore(cr);
}

} // namespace gfx
