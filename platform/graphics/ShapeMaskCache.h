#pragma once

#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/SurfacePointer.h"

#include <cairo.h>
#include <cstddef>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace gfx {

class FlatPath;

// The exact-area coverage of a shape under the non-zero rule (CoverageMask), over the whole
// device pixels the shape's points touch, every subpath closed: what painting through the shape
// draws with in place of a cairo clip.
struct ShapeMask {
    // A shape over more pixels than this gets no mask and is left to cairo: a card of the detail
    // view, drawn once.
    static constexpr long long largestArea = 64 * 1024;

    // The shape's mask; nothing when it has no area, has a point that is not finite or covers
    // more than largestArea pixels.
    static std::optional<ShapeMask> of(const FlatPath& shape);

    // A8 pixels, the top-left one at device pixel (x, y).
    SurfacePointer surface;
    int x = 0;
    int y = 0;
    // The largest rect of device pixels the shape covers wholly: painting through the mask
    // changes nothing there, so a painter can composite it without the mask.
    CoverageMask::Box solid;
};

// Shape masks kept between draws by the owner of what is drawn again and again: the strip's
// module images (CapsuleCache), a window's backing store. A status image is drawn anew into a new
// bitmap every second, and the rounded clip its chart is painted through is the very same shape
// at the very same device pixels each time. Rasterising it again for every draw costs the whole
// program about a third more: 0.122–0.136 % of a core instead of 0.078–0.105 (scripts/measure
// --load both, twice, the program built with and without kept masks measured side by side in
// each run).
//
// Shapes are told apart by their device-space points, bit for bit, so a shape moved by any
// fraction of a pixel is another shape. Least recently used masks are dropped beyond a byte
// budget. Not shared between threads.
class ShapeMaskCache {
public:
    static constexpr std::size_t defaultByteBudget = 512 * 1024;

    explicit ShapeMaskCache(std::size_t byteBudget = defaultByteBudget);
    ShapeMaskCache(const ShapeMaskCache&) = delete;
    ShapeMaskCache& operator=(const ShapeMaskCache&) = delete;

    // The shape's mask (ShapeMask::of), kept or made now and kept; valid until the next mask is
    // asked of the same cache. Null when the shape has none.
    const ShapeMask* mask(const FlatPath& shape);

    std::size_t entryCount() const { return order_.size(); }
    // Masks rasterised so far.
    std::size_t renderCount() const { return renders_; }
    // Memory held by the masks' pixels and their keys.
    std::size_t byteSize() const { return bytes_; }

private:
    struct Entry {
        std::string key;
        ShapeMask mask;
        std::size_t bytes = 0;
    };

    std::size_t byteBudget_;
    std::size_t bytes_ = 0;
    std::size_t renders_ = 0;
    // Most recently used first; the index's keys view the entries' own keys.
    std::list<Entry> order_;
    std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
};

// The shape's mask from the cache when the drawing has one, else made into `made` for this draw
// alone: the pixels are the same either way.
const ShapeMask* shapeMask(ShapeMaskCache* cache, const FlatPath& shape,
                           std::optional<ShapeMask>& made);

} // namespace gfx
