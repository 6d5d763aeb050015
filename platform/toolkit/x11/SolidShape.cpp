#include "platform/toolkit/x11/SolidShape.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace ui::x11 {

namespace {
constexpr std::uint32_t keptAlpha = 128;

// Dividing by the alpha is most of the work of a present, so it multiplies by a reciprocal:
// ceil(2^32 / alpha). For a numerator n below 2^16 (every channel × 255 + alpha / 2 is) the
// product's error, n × (ceil(2^32 / alpha) × alpha − 2^32) / alpha < 2^32 / alpha, never reaches
// the next multiple, so (n × reciprocal) >> 32 is exactly n / alpha.
constexpr std::array<std::uint64_t, 256> reciprocals = [] {
    std::array<std::uint64_t, 256> table{};
    for (std::uint64_t alpha = 1; alpha < 256; ++alpha)
        table[alpha] = ((std::uint64_t{1} << 32) + alpha - 1) / alpha;
    return table;
}();

// Un-premultiplies a kept pixel: the colour at full coverage, rounded to nearest.
std::uint32_t opaqueColour(std::uint32_t pixel) {
    const std::uint32_t alpha = pixel >> 24;
    // Already solid: un-premultiplying by 255 gives each channel back unchanged.
    if (alpha == 255)
        return pixel;
    const std::uint64_t reciprocal = reciprocals[alpha];
    std::uint32_t opaque = 0xff000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint64_t channel = (pixel >> shift) & 0xffu;
        const auto full = std::uint32_t(((channel * 255 + alpha / 2) * reciprocal) >> 32);
        opaque |= std::min<std::uint32_t>(255, full) << shift;
    }
    return opaque;
}
} // namespace

std::vector<PixelSpan> solidifyTranslucentPixels(cairo_surface_t* source, int x, int y, int width,
                                                 int height, cairo_surface_t* solid,
                                                 PixelBox* changed) {
    std::vector<PixelSpan> spans;
    if (changed)
        *changed = {};
    if (!source || !solid || cairo_image_surface_get_format(source) != CAIRO_FORMAT_ARGB32)
        return spans;
    const int sourceWidth = cairo_image_surface_get_width(source);
    const int sourceHeight = cairo_image_surface_get_height(source);
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min({x + width, sourceWidth, x + cairo_image_surface_get_width(solid)});
    const int bottom =
        std::min({y + height, sourceHeight, y + cairo_image_surface_get_height(solid)});
    if (left >= right || top >= bottom)
        return spans;
    cairo_surface_flush(source);
    cairo_surface_flush(solid);
    const unsigned char* sourceData = cairo_image_surface_get_data(source);
    unsigned char* solidData = cairo_image_surface_get_data(solid);
    const int sourceStride = cairo_image_surface_get_stride(source);
    const int solidStride = cairo_image_surface_get_stride(solid);
    // Columns and rows (absolute) of the first and past-the-last changed pixel.
    int changedLeft = right, changedRight = left, changedTop = bottom, changedBottom = top;
    for (int row = top; row < bottom; ++row) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(sourceData + row * sourceStride);
        auto* out = reinterpret_cast<std::uint32_t*>(solidData + (row - y) * solidStride);
        int runStart = -1;
        int rowLeft = right, rowRight = left;
        // Most of a strip is its glass, one translucent value over and over: its colour is
        // worked out once per run of it.
        std::uint32_t lastPixel = 0, lastColour = 0xff000000u;
        for (int column = left; column <= right; ++column) {
            bool kept = false;
            if (column < right) {
                const std::uint32_t pixel = in[column];
                const std::uint32_t alpha = pixel >> 24;
                kept = alpha >= keptAlpha;
                if (pixel != lastPixel) {
                    lastPixel = pixel;
                    lastColour = kept ? opaqueColour(pixel) : 0xff000000u;
                }
                const std::uint32_t colour = lastColour;
                if (out[column - x] != colour) {
                    out[column - x] = colour;
                    rowLeft = std::min(rowLeft, column);
                    rowRight = column + 1;
                }
            }
            if (kept && runStart < 0)
                runStart = column;
            if (!kept && runStart >= 0) {
                spans.push_back({runStart - x, row - y, column - runStart});
                runStart = -1;
            }
        }
        if (rowLeft < rowRight) {
            changedLeft = std::min(changedLeft, rowLeft);
            changedRight = std::max(changedRight, rowRight);
            changedTop = std::min(changedTop, row);
            changedBottom = row + 1;
        }
    }
    if (changed && changedLeft < changedRight)
        *changed = {changedLeft - x, changedTop - y, changedRight - changedLeft,
                    changedBottom - changedTop};
    cairo_surface_mark_dirty(solid);
    return spans;
}

bool KeptPixels::replace(int x, int y, int width, int height, const std::vector<PixelSpan>& spans) {
    if (width <= 0 || height <= 0)
        return false;
    const int right = x + width;
    // The runs each row of the area gets, and whether any differs from what is there now.
    std::vector<std::vector<Run>> wanted(static_cast<std::size_t>(height));
    for (const PixelSpan& span : spans)
        if (span.y >= 0 && span.y < height)
            wanted[std::size_t(span.y)].push_back({x + span.x, x + span.x + span.width});
    bool changed = false;
    for (int row = 0; row < height && !changed; ++row) {
        const std::size_t index = std::size_t(y + row);
        std::vector<Run> current;
        if (index < rows_.size())
            for (const Run& run : rows_[index])
                if (run.end > x && run.begin < right)
                    current.push_back({std::max(run.begin, x), std::min(run.end, right)});
        changed = current != wanted[std::size_t(row)];
    }
    if (!changed)
        return false;
    if (rows_.size() < std::size_t(y + height))
        rows_.resize(std::size_t(y + height));
    for (int row = 0; row < height; ++row) {
        std::vector<Run>& runs = rows_[std::size_t(y + row)];
        std::vector<Run> kept;
        kept.reserve(runs.size() + wanted[std::size_t(row)].size() + 1);
        // What lies outside the area stays; the area's runs go in between, joined to any run
        // they touch so that equal pixels always compare equal.
        auto add = [&kept](Run run) {
            if (!kept.empty() && kept.back().end >= run.begin)
                kept.back().end = std::max(kept.back().end, run.end);
            else
                kept.push_back(run);
        };
        for (const Run& run : runs)
            if (run.begin < x)
                add({run.begin, std::min(run.end, x)});
        for (const Run& run : wanted[std::size_t(row)])
            add(run);
        for (const Run& run : runs)
            if (run.end > right)
                add({std::max(run.begin, right), run.end});
        runs = std::move(kept);
    }
    return true;
}

std::vector<PixelSpan> KeptPixels::spans() const {
    std::vector<PixelSpan> all;
    for (std::size_t row = 0; row < rows_.size(); ++row)
        for (const Run& run : rows_[row])
            all.push_back({run.begin, int(row), run.end - run.begin});
    return all;
}

} // namespace ui::x11
