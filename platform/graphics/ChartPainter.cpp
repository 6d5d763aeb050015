#include "platform/graphics/ChartPainter.h"

#include "platform/graphics/CairoPointLimit.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/DrawingRecorder.h"
#include "platform/graphics/StrokeOutline.h"

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

} // namespace

void ChartPainter::fillPolygons(std::span<const std::vector<Point>> polygons) {
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

void ChartPainter::strokePolylines(std::span<const std::vector<Point>> polylines) {
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

void ChartPainter::fillPolygonRuns(std::span<const ColoredPoints> runs) {
    if (drawRunsInOneLayer(runs, false)) {
        context_.setFillColor(runs.back().color);
        return;
    }
    for (const ColoredPoints& run : runs) {
        context_.setFillColor(run.color);
        fillPolygons(run.lists);
    }
}

void ChartPainter::strokePolylineRuns(std::span<const ColoredPoints> runs) {
    if (drawRunsInOneLayer(runs, true)) {
        context_.setStrokeColor(runs.back().color);
        return;
    }
    for (const ColoredPoints& run : runs) {
        context_.setStrokeColor(run.color);
        strokePolylines(run.lists);
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
    double outset = stroke ? width / 2 : 0;
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
    auto deviceBounds = [&](const Rect& user) {
        return toDevice.apply(user.insetBy(-outset, -outset));
    };
    std::optional<CoverageMask::Box> layerBox =
        CoverageMask::visibleBox(cr, deviceBounds(all.value_or(Rect{})));
    if (!layerBox) {
        return false;
    }

    std::vector<Color> colors;
    colors.reserve(runs.size());
    DrawingRecorder* recorder = context.recorder();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        colors.push_back(runs[i].color.resolved(context.appearance()));
        if (!recorder) {
            continue;
        }
        Rect recorded = context.currentTransform().apply(bounds[i]);
        if (stroke) {
            recorder->record(StrokeRecord{colors[i], recorded, width, context.alpha()});
        } else {
            recorder->record(
                FillRecord{colors[i], recorded, context.compositingOperation(), context.alpha()});
        }
    }
    if (layerBox->isEmpty()) {
        return true;
    }
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> layer(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layerBox->width, layerBox->height),
        &cairo_surface_destroy);
    if (cairo_surface_status(layer.get()) != CAIRO_STATUS_SUCCESS) {
        return true;
    }
    cairo_surface_flush(layer.get());
    std::uint8_t* data = cairo_image_surface_get_data(layer.get());
    int stride = cairo_image_surface_get_stride(layer.get());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        CoverageMask::Box runBox =
            CoverageMask::Box::around(deviceBounds(bounds[i])).intersection(*layerBox);
        if (runBox.isEmpty()) {
            continue;
        }
        CoverageMask mask(runBox);
        for (const std::vector<Point>& points : runs[i].lists) {
            if (stroke) {
                bevelStrokeOutline(points, width, [&](std::span<const Point> piece) {
                    mask.addPolygon(piece, toDevice);
                });
            } else {
                mask.addPolygon(points, toDevice);
            }
        }
        const Color& color = colors[i];
        mask.blendOver(data, stride, *layerBox,
                       CoverageMask::premultiplied(color.red(), color.green(), color.blue(),
                                                   color.alpha() * context.alpha()));
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

} // namespace gfx
