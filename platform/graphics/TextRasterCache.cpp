#include "platform/graphics/TextRasterCache.h"

#include "platform/graphics/ClipOver.h"
#include "platform/graphics/TextEngine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <pango/pangocairo.h>

namespace gfx {

namespace {

// Steps of the origin's phase per device pixel. Glyph offsets are multiples of 1/1024 point,
// so at a scale of whole quarters they are multiples of 1/4096 pixel, and two origins in the same
// step put every glyph on the same pixel.
constexpr double phaseSteps = 4096;
// Antialiasing reaches a pixel past a glyph's outline, and rounding a glyph to a whole pixel moves
// it by up to half a pixel: room enough around the line's ink estimate.
constexpr int margin = 4;
// Device scales beyond this (and origins beyond a million pixels) are drawn directly.
constexpr double largestScale = 64;
constexpr double farthestOrigin = 1e6;

bool wholeQuarters(double scale) {
    double quarters = scale * 4;
    return std::isfinite(quarters) && scale != 0 && std::abs(scale) <= largestScale &&
           quarters == std::round(quarters);
}

// Operators that leave the destination alone where the mask is empty: for them a mask that
// ends at the ink's edge is the whole of the glyphs' effect.
bool boundedByMask(cairo_operator_t op) {
    return op != CAIRO_OPERATOR_IN && op != CAIRO_OPERATOR_OUT && op != CAIRO_OPERATOR_DEST_IN &&
           op != CAIRO_OPERATOR_DEST_ATOP;
}

bool whole(double value) {
    return value == std::floor(value);
}

std::size_t mix(std::size_t seed, std::size_t value) {
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

} // namespace

std::size_t TextRasterCache::KeyHash::operator()(const KeyView& key) const {
    std::size_t seed = key.textHash;
    seed = mix(seed, std::hash<double>{}(key.xx));
    seed = mix(seed, std::hash<double>{}(key.yy));
    seed = mix(seed, std::size_t(key.phaseX) * 4096 + std::size_t(key.phaseY));
    return seed;
}

TextRasterCache::TextRasterCache(std::size_t byteBudget) : byteBudget_(byteBudget) {}

TextRasterCache& TextRasterCache::forThisThread() {
    thread_local TextRasterCache cache;
    return cache;
}

bool TextRasterCache::paint(cairo_t* cr, const ShapedText& shaped) {
    if (!enabled_ || shaped.coloured || (!shaped.layout && !shaped.glyphs) ||
        !boundedByMask(cairo_get_operator(cr))) {
        return false;
    }
    cairo_surface_t* target = cairo_get_group_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) {
        return false;
    }
    double deviceScaleX = 1, deviceScaleY = 1, offsetX = 0, offsetY = 0;
    cairo_surface_get_device_scale(target, &deviceScaleX, &deviceScaleY);
    cairo_surface_get_device_offset(target, &offsetX, &offsetY);
    if (deviceScaleX != 1 || deviceScaleY != 1 || !whole(offsetX) || !whole(offsetY)) {
        return false;
    }
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy != 0 || m.yx != 0 || !wholeQuarters(m.xx) || !wholeQuarters(m.yy)) {
        return false;
    }
    // The layout's origin on the target's pixels.
    double originX = m.x0 + offsetX, originY = m.y0 + offsetY;
    if (!(std::abs(originX) < farthestOrigin) || !(std::abs(originY) < farthestOrigin)) {
        return false;
    }
    double pixelX = std::floor(originX), pixelY = std::floor(originY);
    double phaseX = originX - pixelX, phaseY = originY - pixelY;
    KeyView key{shaped.key,
                shaped.keyHash,
                m.xx,
                m.yy,
                std::int32_t(std::floor(phaseX * phaseSteps)),
                std::int32_t(std::floor(phaseY * phaseSteps))};

    const Raster* raster = nullptr;
    auto found = index_.find(key);
    if (found != index_.end()) {
        order_.splice(order_.begin(), order_, found->second);
        raster = &found->second->raster;
    } else {
        if (!seenBefore(KeyHash{}(key))) {
            return false;
        }
        raster = &insert(key, render(shaped, m.xx, m.yy, phaseX, phaseY));
        ++renders_;
    }
    if (raster->drawDirectly) {
        return false;
    }
    if (!raster->mask) {
        return true;
    }
    cairo_surface_t* mask = raster->mask.get();
    double maskX = pixelX + raster->left - offsetX, maskY = pixelY + raster->top - offsetY;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    ClipOver clip = clipOver(cr, maskX, maskY, cairo_image_surface_get_width(mask),
                             cairo_image_surface_get_height(mask));
    if (clip == ClipOver::nothing) {
        // Compositing through a curved clip costs more than the glyphs did; where it holds the
        // whole mask it can go.
        cairo_reset_clip(cr);
    }
    if (clip != ClipOver::partPixels) {
        cairo_mask_surface(cr, mask, maskX, maskY);
    }
    cairo_restore(cr);
    if (clip == ClipOver::partPixels) {
        // The clip test took the path: give the direct draw its current point back.
        cairo_move_to(cr, 0, 0);
        return false;
    }
    return true;
}

bool TextRasterCache::seenBefore(std::size_t keyHash) {
    std::size_t& slot = seen_[keyHash % seen_.size()];
    bool seen = slot == keyHash;
    slot = keyHash;
    return seen;
}

namespace {

// The line drawn in opaque white onto a new surface of the format, with the layout's origin at
// (originX, originY) in its pixels.
SurfacePointer drawLine(const ShapedText& shaped, cairo_format_t format, int width, int height,
                        double xx, double yy, double originX, double originY) {
    SurfacePointer surface(cairo_image_surface_create(format, width, height));
    cairo_t* cr = cairo_create(surface.get());
    cairo_matrix_t placed{xx, 0, 0, yy, originX, originY};
    cairo_set_matrix(cr, &placed);
    cairo_move_to(cr, 0, 0);
    cairo_set_source_rgba(cr, 1, 1, 1, 1);
    showShapedText(cr, shaped);
    bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    if (!drawn || cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    return surface;
}

} // namespace

TextRasterCache::Raster TextRasterCache::render(const ShapedText& shaped, double xx, double yy,
                                                double phaseX, double phaseY) const {
    Raster direct;
    direct.drawDirectly = true;
    // Boxes pango draws for glyphs no font has are paths, not glyphs: leave them to pango.
    if (unknownGlyphCount(shaped) > 0) {
        return direct;
    }
    PangoRectangle ink = shapedInkExtents(shaped);
    if (ink.width <= 0 || ink.height <= 0) {
        return Raster{};
    }
    auto span = [](double scale, double phase, int start, int length) {
        double a = phase + scale * start / PANGO_SCALE;
        double b = phase + scale * (start + length) / PANGO_SCALE;
        return std::pair{int(std::floor(std::min(a, b))) - margin,
                         int(std::ceil(std::max(a, b))) + margin};
    };
    auto [left, right] = span(xx, phaseX, ink.x, ink.width);
    auto [top, bottom] = span(yy, phaseY, ink.y, ink.height);
    int width = right - left, height = bottom - top;
    if (double(width) * height > double(byteBudget_) / 8) {
        return direct;
    }

    // An alpha-only surface sums the glyphs' coverage, as cairo's own masks do; a colour surface
    // composites them as a direct draw does. Where the two differ, glyphs share pixels one by
    // one and no single mask repeats that.
    SurfacePointer summed =
        drawLine(shaped, CAIRO_FORMAT_A8, width, height, xx, yy, phaseX - left, phaseY - top);
    SurfacePointer composited =
        drawLine(shaped, CAIRO_FORMAT_ARGB32, width, height, xx, yy, phaseX - left, phaseY - top);
    if (!summed || !composited) {
        return direct;
    }
    const unsigned char* data = cairo_image_surface_get_data(summed.get());
    int stride = cairo_image_surface_get_stride(summed.get());
    const unsigned char* colourData = cairo_image_surface_get_data(composited.get());
    int colourStride = cairo_image_surface_get_stride(composited.get());
    int minColumn = width, maxColumn = -1, minRow = height, maxRow = -1;
    for (int row = 0; row < height; ++row) {
        const unsigned char* line = data + std::size_t(row) * stride;
        const unsigned char* colourLine = colourData + std::size_t(row) * colourStride;
        for (int column = 0; column < width; ++column) {
            std::uint32_t pixel;
            std::memcpy(&pixel, colourLine + std::size_t(column) * 4, 4);
            if (line[column] != pixel >> 24) {
                return direct;
            }
            if (line[column] != 0) {
                minColumn = std::min(minColumn, column);
                maxColumn = std::max(maxColumn, column);
                minRow = std::min(minRow, row);
                maxRow = std::max(maxRow, row);
            }
        }
    }
    if (maxColumn < 0) {
        return Raster{};
    }
    // Ink on the edge may have been cut off: the estimate was short.
    if (minColumn == 0 || minRow == 0 || maxColumn == width - 1 || maxRow == height - 1) {
        return direct;
    }

    int inkWidth = maxColumn - minColumn + 1, inkHeight = maxRow - minRow + 1;
    Raster raster;
    raster.mask.reset(cairo_image_surface_create(CAIRO_FORMAT_A8, inkWidth, inkHeight));
    cairo_surface_flush(raster.mask.get());
    unsigned char* tight = cairo_image_surface_get_data(raster.mask.get());
    int tightStride = cairo_image_surface_get_stride(raster.mask.get());
    if (!tight) {
        return direct;
    }
    for (int row = 0; row < inkHeight; ++row) {
        std::memcpy(tight + std::size_t(row) * tightStride,
                    data + std::size_t(minRow + row) * stride + minColumn, std::size_t(inkWidth));
    }
    cairo_surface_mark_dirty(raster.mask.get());
    raster.left = left + minColumn;
    raster.top = top + minRow;
    raster.bytes = std::size_t(tightStride) * std::size_t(inkHeight);
    return raster;
}

const TextRasterCache::Raster& TextRasterCache::insert(const KeyView& key, Raster raster) {
    order_.push_front(Entry{std::string(key.text), key, std::move(raster)});
    Entry& entry = order_.front();
    entry.key.text = entry.text;
    entry.raster.bytes += sizeof(Entry) + entry.text.size();
    bytes_ += entry.raster.bytes;
    index_.emplace(entry.key, order_.begin());
    while (bytes_ > byteBudget_ && order_.size() > 1) {
        Entry& oldest = order_.back();
        bytes_ -= oldest.raster.bytes;
        index_.erase(oldest.key);
        order_.pop_back();
    }
    return entry.raster;
}

} // namespace gfx
