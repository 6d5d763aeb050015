#pragma once

#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/SurfacePointer.h"

#include <cairo.h>
#include <cstddef>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace gfx {

class FlatPath;

// Coverage masks of shapes, kept between draws. A status image is drawn anew into a new bitmap
// every second, and the rounded clip its chart is painted through (Context::paintThrough) is the
// very same shape at the very same device pixels each time: a cairo clip rasterised it again for
// every chart, and a second of the whole program cost 984 µs instead of 937 steady and 494
// instead of 477 quiet (bench/WholeProgramBench, medians of five runs).
//
// A mask is the exact-area coverage of CoverageMask under the non-zero rule, over the whole device
// pixels the shape's points touch. Shapes are told apart by their device-space points, bit for
// bit, so a shape moved by any fraction of a pixel is another shape.
//
// Least recently used masks are dropped beyond a byte budget. One per thread (forThisThread);
// an instance is not shared between threads.
class ShapeMaskCache {
public:
    static constexpr std::size_t defaultByteBudget = 512 * 1024;
    // A shape over more pixels than this is not kept: a card of the detail view, drawn once.
    static constexpr long long largestArea = 64 * 1024;

    // The coverage of a shape with its top-left pixel at device pixel (x, y). The surface stays
    // valid until the next mask is asked of the same cache.
    struct Mask {
        cairo_surface_t* surface = nullptr;
        int x = 0;
        int y = 0;
        // The largest rect of device pixels the shape covers wholly: painting through the mask
        // changes nothing there, so a painter can composite it without the mask.
        CoverageMask::Box solid;
    };

    explicit ShapeMaskCache(std::size_t byteBudget = defaultByteBudget);
    ShapeMaskCache(const ShapeMaskCache&) = delete;
    ShapeMaskCache& operator=(const ShapeMaskCache&) = delete;

    // This thread's cache.
    static ShapeMaskCache& forThisThread();

    // The shape's coverage, every subpath closed: the kept one, or one rasterised now and kept.
    // Nothing when the shape has no area, has a point that is not finite or covers more than
    // largestArea pixels.
    std::optional<Mask> mask(const FlatPath& shape);

    std::size_t entryCount() const { return order_.size(); }
    // Masks rasterised so far.
    std::size_t renderCount() const { return renders_; }
    // Memory held by the masks' pixels and their keys.
    std::size_t byteSize() const { return bytes_; }

private:
    struct Entry {
        std::string key;
        SurfacePointer surface;
        int x = 0;
        int y = 0;
        CoverageMask::Box solid;
        std::size_t bytes = 0;
    };

    std::size_t byteBudget_;
    std::size_t bytes_ = 0;
    std::size_t renders_ = 0;
    // Most recently used first; the index's keys view the entries' own keys.
    std::list<Entry> order_;
    std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
};

} // namespace gfx
