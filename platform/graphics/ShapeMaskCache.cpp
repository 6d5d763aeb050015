#include "platform/graphics/ShapeMaskCache.h"

#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/PathFlattening.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace gfx {

namespace {

// The shape's identity: every subpath's point count and points, bit for bit.
std::string keyOf(const FlatPath& shape) {
    std::string key;
    for (const FlatPath::Subpath& subpath : shape.subpaths()) {
        std::span<const Point> points = shape.points(subpath);
        std::size_t count = points.size();
        key.append(reinterpret_cast<const char*>(&count), sizeof count);
        key.append(reinterpret_cast<const char*>(points.data()), points.size_bytes());
    }
    return key;
}

bool allFinite(const FlatPath& shape) {
    for (const FlatPath::Subpath& subpath : shape.subpaths()) {
        for (const Point& point : shape.points(subpath)) {
            if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
                return false;
            }
        }
    }
    return true;
}

// The largest rect of fully covered pixels, in device pixels: the largest rectangle under the
// histogram of covered run heights, row by row.
CoverageMask::Box solidBox(const std::uint8_t* pixels, int stride, const CoverageMask::Box& box) {
    std::vector<int> heights(std::size_t(box.width) + 1, 0);
    std::vector<int> starts;
    CoverageMask::Box best;
    for (int row = 0; row < box.height; ++row) {
        const std::uint8_t* line = pixels + std::ptrdiff_t(row) * stride;
        for (int column = 0; column < box.width; ++column) {
            heights[std::size_t(column)] =
                line[column] == 255 ? heights[std::size_t(column)] + 1 : 0;
        }
        starts.clear();
        for (int column = 0; column <= box.width; ++column) {
            int start = column;
            while (!starts.empty() &&
                   heights[std::size_t(starts.back())] >= heights[std::size_t(column)]) {
                int tallest = heights[std::size_t(starts.back())];
                starts.pop_back();
                start = starts.empty() ? 0 : starts.back() + 1;
                CoverageMask::Box candidate{box.x + start, box.y + row - tallest + 1,
                                            column - start, tallest};
                if (candidate.area() > best.area()) {
                    best = candidate;
                }
            }
            starts.push_back(column);
        }
    }
    return best;
}

} // namespace

std::optional<ShapeMask> ShapeMask::of(const FlatPath& shape) {
    if (!allFinite(shape)) {
        return std::nullopt;
    }
    CoverageMask::Box box = CoverageMask::Box::around(shape.bounds());
    if (box.isEmpty() || box.area() > largestArea) {
        return std::nullopt;
    }
    CoverageMask coverage(box);
    for (const FlatPath::Subpath& subpath : shape.subpaths()) {
        coverage.addPolygon(shape.points(subpath));
    }
    SurfacePointer surface(cairo_image_surface_create(CAIRO_FORMAT_A8, box.width, box.height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return std::nullopt;
    }
    cairo_surface_flush(surface.get());
    unsigned char* pixels = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    coverage.resolve(pixels, stride);
    cairo_surface_mark_dirty(surface.get());
    CoverageMask::Box solid = solidBox(pixels, stride, box);
    return ShapeMask{std::move(surface), box.x, box.y, solid};
}

ShapeMaskCache::ShapeMaskCache(std::size_t byteBudget) : byteBudget_(byteBudget) {}

const ShapeMask* ShapeMaskCache::mask(const FlatPath& shape) {
    std::string key = keyOf(shape);
    if (auto found = index_.find(key); found != index_.end()) {
        order_.splice(order_.begin(), order_, found->second);
        return &order_.front().mask;
    }
    std::optional<ShapeMask> made = ShapeMask::of(shape);
    if (!made) {
        return nullptr;
    }
    ++renders_;
    std::size_t bytes = std::size_t(cairo_image_surface_get_stride(made->surface.get())) *
                            std::size_t(cairo_image_surface_get_height(made->surface.get())) +
                        key.size() + sizeof(Entry);
    order_.push_front(Entry{std::move(key), std::move(*made), bytes});
    index_.emplace(order_.front().key, order_.begin());
    bytes_ += bytes;
    // The newest entry stays even alone over the budget: its surface is handed out.
    while (bytes_ > byteBudget_ && order_.size() > 1) {
        const Entry& oldest = order_.back();
        bytes_ -= oldest.bytes;
        index_.erase(oldest.key);
        order_.pop_back();
    }
    return &order_.front().mask;
}

const ShapeMask* shapeMask(ShapeMaskCache* cache, const FlatPath& shape,
                           std::optional<ShapeMask>& made) {
    if (cache) {
        return cache->mask(shape);
    }
    made = ShapeMask::of(shape);
    return made ? &*made : nullptr;
}

} // namespace gfx
