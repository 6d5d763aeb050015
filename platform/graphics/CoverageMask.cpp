#include "platform/graphics/CoverageMask.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace gfx {

namespace {

// Far beyond any surface, yet small enough that no product or difference of two coordinates
// overflows.
constexpr double coordinateLimit = 1e150;

double heldFinite(double value) {
    return std::clamp(value, -coordinateLimit, coordinateLimit);
}

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};

} // namespace

CoverageMask::CoverageMask(int x, int y, int width, int height)
    : x_(x), y_(y), width_(std::max(width, 0)), height_(std::max(height, 0)),
      cellStride_(width_ + 2), cells_(std::size_t(cellStride_) * std::size_t(height_), 0.0f) {}

std::optional<CoverageMask> CoverageMask::covering(cairo_t* cr, const Rect& deviceBounds) {
    double cx1, cy1, cx2, cy2;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_clip_extents(cr, &cx1, &cy1, &cx2, &cy2);
    cairo_restore(cr);
    double x0 = std::fmax(std::floor(deviceBounds.minX()), std::floor(cx1));
    double y0 = std::fmax(std::floor(deviceBounds.minY()), std::floor(cy1));
    double x1 = std::fmin(std::ceil(deviceBounds.maxX()), std::ceil(cx2));
    double y1 = std::fmin(std::ceil(deviceBounds.maxY()), std::ceil(cy2));
    if (!(x1 > x0 && y1 > y0)) {
        return CoverageMask(0, 0, 0, 0);
    }
    if ((x1 - x0) * (y1 - y0) > double(maximumPixels)) {
        return std::nullopt;
    }
    constexpr double intLimit = std::numeric_limits<int>::max() / 2;
    int left = int(std::clamp(x0, -intLimit, intLimit));
    int top = int(std::clamp(y0, -intLimit, intLimit));
    return CoverageMask(left, top, int(x1 - x0), int(y1 - y0));
}

namespace {

bool hasNaN(std::span<const Point> points) {
    return std::any_of(points.begin(), points.end(),
                       [](const Point& p) { return std::isnan(p.x) || std::isnan(p.y); });
}

} // namespace

void CoverageMask::addPolygon(std::span<const Point> devicePoints) {
    if (hasNaN(devicePoints)) {
        return;
    }
    for (std::size_t i = 0; i < devicePoints.size(); ++i) {
        addEdge(devicePoints[i], devicePoints[(i + 1) % devicePoints.size()]);
    }
}

void CoverageMask::addPolygon(std::span<const Point> points, const AffineTransform& toDevice) {
    auto device = [&](const Point& p) {
        return toDevice.apply({heldFinite(p.x), heldFinite(p.y)});
    };
    bool numbers = std::all_of(points.begin(), points.end(), [&](const Point& p) {
        Point d = device(p);
        return !std::isnan(d.x) && !std::isnan(d.y);
    });
    if (points.empty() || !numbers) {
        return;
    }
    Point first = device(points.front());
    Point previous = first;
    for (std::size_t i = 1; i < points.size(); ++i) {
        Point current = device(points[i]);
        addEdge(previous, current);
        previous = current;
    }
    addEdge(previous, first);
}

void CoverageMask::addEdge(Point from, Point to) {
    if (std::isnan(from.x) || std::isnan(from.y) || std::isnan(to.x) || std::isnan(to.y)) {
        return;
    }
    double x0 = heldFinite(from.x) - x_, y0 = heldFinite(from.y) - y_;
    double x1 = heldFinite(to.x) - x_, y1 = heldFinite(to.y) - y_;
    if (y0 == y1 || isEmpty()) {
        return;
    }
    float winding = 1;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        winding = -1;
    }
    double width = width_, height = height_;
    if (y1 <= 0 || y0 >= height) {
        return;
    }
    auto xAt = [&](double y) { return x0 + (x1 - x0) * ((y - y0) / (y1 - y0)); };
    double top = std::max(y0, 0.0), bottom = std::min(y1, height);
    double xTop = top == y0 ? x0 : xAt(top);
    double xBottom = bottom == y1 ? x1 : xAt(bottom);

    // Split where the edge crosses the box's sides. A piece left of the box covers everything to
    // its right, exactly as if it ran down the left side; a piece right of the box covers
    // nothing, so it runs down the right side, whose cover falls outside the row.
    double splits[2];
    int count = 0;
    for (double side : {0.0, width}) {
        if ((xTop - side) * (xBottom - side) < 0) {
            double y = top + (bottom - top) * ((side - xTop) / (xBottom - xTop));
            splits[count++] = std::clamp(y, top, bottom);
        }
    }
    if (count == 2 && splits[0] > splits[1]) {
        std::swap(splits[0], splits[1]);
    }
    auto xOnEdge = [&](double y) { return xTop + (xBottom - xTop) * ((y - top) / (bottom - top)); };
    double pieceTop = top, pieceX = xTop;
    for (int i = 0; i <= count; ++i) {
        double pieceBottom = i < count ? splits[i] : bottom;
        double pieceEndX = i < count ? xOnEdge(pieceBottom) : xBottom;
        if (pieceBottom > pieceTop) {
            accumulate(std::clamp(pieceX, 0.0, width), pieceTop, std::clamp(pieceEndX, 0.0, width),
                       pieceBottom, winding);
        }
        pieceTop = pieceBottom;
        pieceX = pieceEndX;
    }
}

void CoverageMask::accumulate(double x0, double y0, double x1, double y1, float winding) {
    double width = width_;
    double dxdy = (x1 - x0) / (y1 - y0);
    double x = x0;
    int rowEnd = std::min(height_, int(std::ceil(y1)));
    for (int row = std::max(0, int(std::floor(y0))); row < rowEnd; ++row) {
        float* cells = cells_.data() + std::size_t(row) * std::size_t(cellStride_);
        double rowBottom = row + 1.0;
        double dy = std::min(rowBottom, y1) - std::max(double(row), y0);
        double xNext = rowBottom >= y1 ? x1 : std::clamp(x + dxdy * dy, 0.0, width);
        double d = dy * winding;
        double xLow = std::min(x, xNext), xHigh = std::max(x, xNext);
        int low = int(xLow);
        int high = int(std::ceil(xHigh));
        if (high <= low + 1) {
            // Within one column: the part of the cell right of the edge is covered, the rest
            // of the row from the next cell on fully.
            double mid = 0.5 * (x + xNext) - low;
            cells[low] += float(d * (1 - mid));
            cells[low + 1] += float(d * mid);
        } else {
            // Across several columns: each cell takes the cover of the edge's run through it,
            // the first and last as triangles, those between as equal steps.
            double step = 1 / (xHigh - xLow);
            double firstFraction = xLow - low;
            double firstArea = 0.5 * step * (1 - firstFraction) * (1 - firstFraction);
            double lastFraction = xHigh - high + 1;
            double lastArea = 0.5 * step * lastFraction * lastFraction;
            cells[low] += float(d * firstArea);
            if (high == low + 2) {
                cells[low + 1] += float(d * (1 - firstArea - lastArea));
            } else {
                double secondArea = step * (1.5 - firstFraction);
                cells[low + 1] += float(d * (secondArea - firstArea));
                for (int column = low + 2; column < high - 1; ++column) {
                    cells[column] += float(d * step);
                }
                double beforeLast = secondArea + (high - low - 3) * step;
                cells[high - 1] += float(d * (1 - beforeLast - lastArea));
            }
            cells[high] += float(d * lastArea);
        }
        x = xNext;
    }
}

void CoverageMask::resolve(std::uint8_t* data, int stride) const {
    for (int row = 0; row < height_; ++row) {
        const float* cells = cells_.data() + std::size_t(row) * std::size_t(cellStride_);
        std::uint8_t* out = data + std::size_t(row) * std::size_t(stride);
        float sum = 0;
        for (int column = 0; column < width_; ++column) {
            sum += cells[column];
            float coverage = std::min(std::fabs(sum), 1.0f);
            out[column] = std::uint8_t(coverage * 255.0f + 0.5f);
        }
    }
}

std::vector<std::uint8_t> CoverageMask::resolved() const {
    std::vector<std::uint8_t> data(std::size_t(width_) * std::size_t(height_));
    resolve(data.data(), width_);
    return data;
}

void CoverageMask::paint(cairo_t* cr) const {
    if (isEmpty()) {
        return;
    }
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> mask(
        cairo_image_surface_create(CAIRO_FORMAT_A8, width_, height_));
    if (cairo_surface_status(mask.get()) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    cairo_surface_flush(mask.get());
    resolve(cairo_image_surface_get_data(mask.get()), cairo_image_surface_get_stride(mask.get()));
    cairo_surface_mark_dirty(mask.get());
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_mask_surface(cr, mask.get(), x_, y_);
    cairo_restore(cr);
}

} // namespace gfx
