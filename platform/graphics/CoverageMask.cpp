#include "platform/graphics/CoverageMask.h"

#include "platform/graphics/ClipOver.h"
#include "platform/graphics/SurfacePointer.h"

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

// A cell row's running sum of cover as an 8-bit coverage: its winding's magnitude, at most one.
std::uint32_t coverageLevel(float sum) {
    return std::uint32_t(std::min(std::fabs(sum), 1.0f) * 255.0f + 0.5f);
}

} // namespace

CoverageMask::CoverageMask(int x, int y, int width, int height)
    : x_(x), y_(y), width_(std::max(width, 0)), height_(std::max(height, 0)),
      cellStride_(width_ + 2), cells_(std::size_t(cellStride_) * std::size_t(height_), 0.0f) {}

CoverageMask::Box CoverageMask::Box::intersection(const Box& other) const {
    int x0 = std::max(x, other.x), y0 = std::max(y, other.y);
    int x1 = std::min(x + width, other.x + other.width);
    int y1 = std::min(y + height, other.y + other.height);
    if (x1 <= x0 || y1 <= y0) {
        return {};
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

namespace {

// The whole pixels that [x0, x1) × [y0, y1) touches, held to half of int's range each way so
// that no width or right edge overflows (an unbounded surface's clip reaches to infinity).
CoverageMask::Box pixelsSpanning(double x0, double y0, double x1, double y1) {
    constexpr double limit = 1 << 29;
    x0 = std::clamp(std::floor(x0), -limit, limit);
    y0 = std::clamp(std::floor(y0), -limit, limit);
    x1 = std::clamp(std::ceil(x1), -limit, limit);
    y1 = std::clamp(std::ceil(y1), -limit, limit);
    if (!(x1 > x0 && y1 > y0)) {
        return {};
    }
    return {int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
}

} // namespace

CoverageMask::Box CoverageMask::Box::around(const Rect& deviceBounds) {
    return pixelsSpanning(deviceBounds.minX(), deviceBounds.minY(), deviceBounds.maxX(),
                          deviceBounds.maxY());
}

std::optional<CoverageMask::Box> CoverageMask::visibleBox(cairo_t* cr, const Rect& deviceBounds) {
    double cx1, cy1, cx2, cy2;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_clip_extents(cr, &cx1, &cy1, &cx2, &cy2);
    cairo_restore(cr);
    Box box = Box::around(deviceBounds).intersection(pixelsSpanning(cx1, cy1, cx2, cy2));
    if (box.area() > maximumPixels) {
        return std::nullopt;
    }
    return box;
}

std::optional<AffineTransform> CoverageMask::maskableTransform(cairo_t* cr) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy != 0 || m.yx != 0) {
        return std::nullopt;
    }
    // Operators that change the destination outside the shape too (within the clip) are left to
    // cairo, whose extents they need.
    switch (cairo_get_operator(cr)) {
    case CAIRO_OPERATOR_IN:
    case CAIRO_OPERATOR_OUT:
    case CAIRO_OPERATOR_DEST_IN:
    case CAIRO_OPERATOR_DEST_ATOP:
        return std::nullopt;
    default:
        return AffineTransform{m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
    }
}

std::optional<CoverageMask> CoverageMask::covering(cairo_t* cr, const Rect& deviceBounds) {
    std::optional<Box> box = visibleBox(cr, deviceBounds);
    if (!box) {
        return std::nullopt;
    }
    return CoverageMask(*box);
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
    // Coordinates are at least zero here, so truncation is the floor.
    int row = int(y0);
    int rowEnd = std::min(height_, int(std::ceil(y1)));
    double yTop = y0, x = x0;
    float* cells = cells_.data() + std::size_t(row) * std::size_t(cellStride_);
    for (; row < rowEnd; ++row, cells += cellStride_) {
        double yBottom = std::min(row + 1.0, y1);
        double xNext = yBottom == y1 ? x1 : std::clamp(x0 + (yBottom - y0) * dxdy, 0.0, width);
        float d = float(yBottom - yTop) * winding;
        double xLow = std::min(x, xNext), xHigh = std::max(x, xNext);
        int low = int(xLow);
        if (xHigh <= low + 1) {
            // Within one column: the part of the cell right of the edge is covered, the rest
            // of the row from the next cell on fully.
            float mid = float(0.5 * (x + xNext) - low);
            cells[low] += d - d * mid;
            cells[low + 1] += d * mid;
        } else {
            // Across several columns: each cell takes the cover of the edge's run through it,
            // the first and last as triangles, those between as equal steps.
            int high = int(std::ceil(xHigh));
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
                float middle = float(d * step);
                for (int column = low + 2; column < high - 1; ++column) {
                    cells[column] += middle;
                }
                double beforeLast = secondArea + (high - low - 3) * step;
                cells[high - 1] += float(d * (1 - beforeLast - lastArea));
            }
            cells[high] += float(d * lastArea);
        }
        x = xNext;
        yTop = yBottom;
    }
}

void CoverageMask::resolve(std::uint8_t* data, int stride) const {
    auto level = [](float sum) { return std::uint8_t(coverageLevel(sum)); };
    // Each row's running sum is a chain of dependent additions; four rows side by side keep
    // four chains in flight at once.
    int row = 0;
    for (; row + 4 <= height_; row += 4) {
        const float* c0 = cells_.data() + std::size_t(row) * std::size_t(cellStride_);
        const float* c1 = c0 + cellStride_;
        const float* c2 = c1 + cellStride_;
        const float* c3 = c2 + cellStride_;
        std::uint8_t* o0 = data + std::size_t(row) * std::size_t(stride);
        std::uint8_t* o1 = o0 + stride;
        std::uint8_t* o2 = o1 + stride;
        std::uint8_t* o3 = o2 + stride;
        float s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        for (int column = 0; column < width_; ++column) {
            s0 += c0[column];
            s1 += c1[column];
            s2 += c2[column];
            s3 += c3[column];
            o0[column] = level(s0);
            o1[column] = level(s1);
            o2[column] = level(s2);
            o3[column] = level(s3);
        }
    }
    for (; row < height_; ++row) {
        const float* cells = cells_.data() + std::size_t(row) * std::size_t(cellStride_);
        std::uint8_t* out = data + std::size_t(row) * std::size_t(stride);
        float sum = 0;
        for (int column = 0; column < width_; ++column) {
            sum += cells[column];
            out[column] = level(sum);
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
    SurfacePointer mask(cairo_image_surface_create(CAIRO_FORMAT_A8, width_, height_));
    if (cairo_surface_status(mask.get()) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    cairo_surface_flush(mask.get());
    resolve(cairo_image_surface_get_data(mask.get()), cairo_image_surface_get_stride(mask.get()));
    cairo_surface_mark_dirty(mask.get());
    cairo_save(cr);
    cairo_identity_matrix(cr);
    // A curved clip around the mask (the capsule a bar or a chart sits in) would be rasterised
    // again for this one paint; where it holds the whole mask it has no say.
    if (clipOver(cr, x_, y_, width_, height_) == ClipOver::nothing) {
        cairo_reset_clip(cr);
    }
    cairo_mask_surface(cr, mask.get(), x_, y_);
    cairo_restore(cr);
}

namespace {

// Each of the four 8-bit channels of x times a / 255, rounded, two channels at a time: the product
// cairo's compositor uses.
std::uint32_t multiplyChannels(std::uint32_t x, std::uint32_t a) {
    std::uint32_t rb = (x & 0xff00ff) * a + 0x800080;
    rb = ((rb + ((rb >> 8) & 0xff00ff)) >> 8) & 0xff00ff;
    std::uint32_t ag = ((x >> 8) & 0xff00ff) * a + 0x800080;
    ag = (ag + ((ag >> 8) & 0xff00ff)) & 0xff00ff00;
    return rb | ag;
}

// Source over destination, both premultiplied: neither channel sum can pass 255.
std::uint32_t over(std::uint32_t source, std::uint32_t destination) {
    return source + multiplyChannels(destination, 255 - (source >> 24));
}

} // namespace

std::uint32_t CoverageMask::premultiplied(double red, double green, double blue, double alpha) {
    auto channel = [](double value) {
        double held = std::clamp(value, 0.0, 1.0);
        return std::uint32_t(held * 65535.0 + 0.5) >> 8;
    };
    double a = std::isnan(alpha) ? 0 : std::clamp(alpha, 0.0, 1.0);
    return channel(a) << 24 | channel(red * a) << 16 | channel(green * a) << 8 | channel(blue * a);
}

void CoverageMask::blendOver(std::uint8_t* layer, int layerStride, const Box& layerBox,
                             std::uint32_t color) const {
    Box overlap = box().intersection(layerBox);
    if (overlap.isEmpty() || color >> 24 == 0) {
        return;
    }
    for (int row = overlap.y; row < overlap.y + overlap.height; ++row) {
        const float* cells = cells_.data() + std::size_t(row - y_) * std::size_t(cellStride_);
        auto* pixels = reinterpret_cast<std::uint32_t*>(layer + std::size_t(row - layerBox.y) *
                                                                    std::size_t(layerStride));
        float sum = 0;
        for (int column = x_; column < overlap.x; ++column) {
            sum += cells[column - x_];
        }
        for (int column = overlap.x; column < overlap.x + overlap.width; ++column) {
            sum += cells[column - x_];
            std::uint32_t level = coverageLevel(sum);
            if (level == 0) {
                continue;
            }
            std::uint32_t source = level == 255 ? color : multiplyChannels(color, level);
            std::uint32_t& pixel = pixels[column - layerBox.x];
            pixel = pixel == 0 ? source : over(source, pixel);
        }
    }
}

void CoverageMask::multiplyByCoverage(std::uint8_t* layer, int layerStride, const Box& layerBox,
                                      const std::uint8_t* coverage, int coverageStride,
                                      const Box& coverageBox, const Box& whole) {
    const Box covered = layerBox.intersection(coverageBox);
    const Box kept = covered.intersection(whole);
    for (int row = layerBox.y; row < layerBox.y + layerBox.height; ++row) {
        auto* pixels = reinterpret_cast<std::uint32_t*>(layer + std::size_t(row - layerBox.y) *
                                                                    std::size_t(layerStride));
        auto at = [&](int column) -> std::uint32_t& { return pixels[column - layerBox.x]; };
        if (row < covered.y || row >= covered.y + covered.height) {
            std::fill(&at(layerBox.x), &at(layerBox.x) + layerBox.width, 0u);
            continue;
        }
        std::fill(&at(layerBox.x), &at(covered.x), 0u);
        std::fill(&at(covered.x + covered.width), &at(layerBox.x) + layerBox.width, 0u);
        const std::uint8_t* levels =
            coverage + std::size_t(row - coverageBox.y) * std::size_t(coverageStride);
        bool keptRow = row >= kept.y && row < kept.y + kept.height;
        for (int column = covered.x; column < covered.x + covered.width; ++column) {
            if (keptRow && column == kept.x) {
                column += kept.width - 1;
                continue;
            }
            std::uint32_t level = levels[column - coverageBox.x];
            std::uint32_t& pixel = at(column);
            if (level != 255 && pixel != 0) {
                pixel = multiplyChannels(pixel, level);
            }
        }
    }
}

} // namespace gfx
