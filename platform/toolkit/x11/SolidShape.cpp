#include "platform/toolkit/x11/SolidShape.h"

#include <algorithm>
#include <cstdint>

namespace ui::x11 {

namespace {
constexpr std::uint32_t keptAlpha = 128;
}

std::vector<PixelSpan> solidifyTranslucentPixels(cairo_surface_t* source, int x, int y, int width,
                                                 int height, cairo_surface_t* solid) {
    std::vector<PixelSpan> spans;
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
    for (int row = top; row < bottom; ++row) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(sourceData + row * sourceStride);
        auto* out = reinterpret_cast<std::uint32_t*>(solidData + (row - y) * solidStride);
        int runStart = -1;
        for (int column = left; column <= right; ++column) {
            bool kept = false;
            if (column < right) {
                const std::uint32_t pixel = in[column];
                const std::uint32_t alpha = pixel >> 24;
                kept = alpha >= keptAlpha;
                std::uint32_t opaque = 0xff000000u;
                if (kept) {
                    // Un-premultiply: the colour at full coverage.
                    for (int shift = 0; shift < 24; shift += 8) {
                        const std::uint32_t channel = (pixel >> shift) & 0xffu;
                        opaque |= std::min<std::uint32_t>(255, (channel * 255 + alpha / 2) / alpha)
                                  << shift;
                    }
                }
                out[column - x] = opaque;
            }
            if (kept && runStart < 0)
                runStart = column;
            if (!kept && runStart >= 0) {
                spans.push_back({runStart - x, row - y, column - runStart});
                runStart = -1;
            }
        }
    }
    cairo_surface_mark_dirty(solid);
    return spans;
}

} // namespace ui::x11
