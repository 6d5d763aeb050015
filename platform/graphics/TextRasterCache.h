#pragma once

#include "platform/graphics/SurfacePointer.h"

#include <array>
#include <cairo.h>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace gfx {

struct ShapedText;

// Shaped single-colour lines rendered once into 8-bit coverage masks in device pixels, then
// painted through cairo_mask_surface with the caller's source: a fraction of the cost of running
// the glyphs through pango's renderer again, for text that is redrawn unchanged every second.
//
// The masks are exact, not approximate. Cairo's image backend puts every glyph at a whole device
// pixel (rounded) and composites it with the same operator arithmetic a mask gets, so a mask
// rendered at the same device scale and the same sub-pixel phase of the layout's origin gives the
// very pixels a direct draw gives. Glyph positions are multiples of 1/1024 point, so at scales
// that are whole quarters every origin within one 1/4096-pixel step rounds every glyph alike, and
// the phase is keyed at that step. One case a single mask cannot repeat: where the antialiased
// edges of two glyphs share a pixel that cairo's own overlap test (on outline boxes) misses, it
// composites the two one after the other, not summed. A line where that changes a pixel of
// coverage is kept as one to draw directly.
//
// Where that reasoning does not hold the cache refuses and the caller draws directly: coloured
// runs, rotated or sheared transforms, other scales, clips that cut pixels under the line,
// targets that are not image surfaces (an X server draws glyphs its own way), operators that
// reach outside the glyphs, lines of thousands of pixels. A line is rendered into a mask the
// second time it is drawn alike, so a figure that changes every second costs no more than before.
//
// Least recently used masks are dropped beyond a byte budget. One per thread (forThisThread);
// an instance is not shared between threads.
class TextRasterCache {
public:
    static constexpr std::size_t defaultByteBudget = 256 * 1024;

    explicit TextRasterCache(std::size_t byteBudget = defaultByteBudget);
    TextRasterCache(const TextRasterCache&) = delete;
    TextRasterCache& operator=(const TextRasterCache&) = delete;

    // This thread's cache.
    static TextRasterCache& forThisThread();

    // Paints the shaped line as pango_cairo_show_layout would with cr's current matrix, the
    // current point at the user-space origin, and cr's source, operator and clip. False, having
    // painted nothing, when a mask would not match a direct draw: the caller then draws directly.
    bool paint(cairo_t* cr, const ShapedText& shaped);

    // A cache that is switched off refuses every line (and keeps what it holds): benchmarks and
    // tests compare against direct drawing with it.
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isEnabled() const { return enabled_; }

    std::size_t entryCount() const { return order_.size(); }
    // Lines rendered so far (into a mask, or found to need drawing directly).
    std::size_t renderCount() const { return renders_; }
    // Memory held by the masks' pixels and their entries.
    std::size_t byteSize() const { return bytes_; }

private:
    // A mask and the offset of its top-left pixel from the whole device pixel at the layout's
    // origin (rounded down). No surface when the line has no ink, or when it is to be drawn
    // directly.
    struct Raster {
        SurfacePointer mask;
        int left = 0;
        int top = 0;
        bool drawDirectly = false;
        std::size_t bytes = 0;
    };
    // The shaped text's identity (its shaping key), the device scale, and the origin's phase in
    // 1/4096 pixel.
    struct KeyView {
        std::string_view text;
        std::size_t textHash = 0;
        double xx = 0;
        double yy = 0;
        std::int32_t phaseX = 0;
        std::int32_t phaseY = 0;
        friend bool operator==(const KeyView& a, const KeyView& b) {
            return a.xx == b.xx && a.yy == b.yy && a.phaseX == b.phaseX && a.phaseY == b.phaseY &&
                   a.text == b.text;
        }
    };
    struct KeyHash {
        std::size_t operator()(const KeyView& key) const;
    };
    struct Entry {
        std::string text;
        KeyView key;
        Raster raster;
    };

    Raster render(const ShapedText& shaped, double xx, double yy, double phaseX,
                  double phaseY) const;
    // True the second time a key is seen (or after a collision in the small table of hashes).
    bool seenBefore(std::size_t keyHash);
    const Raster& insert(const KeyView& key, Raster raster);

    std::size_t byteBudget_;
    bool enabled_ = true;
    std::size_t bytes_ = 0;
    std::size_t renders_ = 0;
    std::array<std::size_t, 256> seen_{};
    // Most recently used first; the index's keys view the entries' own texts.
    std::list<Entry> order_;
    std::unordered_map<KeyView, std::list<Entry>::iterator, KeyHash> index_;
};

} // namespace gfx
