#include "platform/graphics/PixelBlend.h"

#include "platform/graphics/CoverageMask.h"

#include <algorithm>
#include <cstring>

namespace gfx {

bool blendMaskOver(cairo_t* cr, cairo_surface_t* mask, int x, int y) {
    cairo_surface_t* target = cairo_get_group_target(cr);
    cairo_pattern_t* source = cairo_get_source(cr);
    double red, green, blue, alpha;
    if (cairo_get_operator(cr) != CAIRO_OPERATOR_OVER ||
        cairo_pattern_get_type(source) != CAIRO_PATTERN_TYPE_SOLID ||
        cairo_pattern_get_rgba(source, &red, &green, &blue, &alpha) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32 ||
        cairo_image_surface_get_format(mask) != CAIRO_FORMAT_A8) {
        return false;
    }
    double scaleX, scaleY, offsetX, offsetY;
    cairo_surface_get_device_scale(target, &scaleX, &scaleY);
    cairo_surface_get_device_offset(target, &offsetX, &offsetY);
    if (scaleX != 1 || scaleY != 1 || offsetX != int(offsetX) || offsetY != int(offsetY)) {
        return false;
    }
    std::uint32_t color = CoverageMask::premultiplied(red, green, blue, alpha);
    if (color >> 24 == 0) {
        return true;
    }
    // The mask's place in the target's pixels, cut to the target as cairo cuts every drawing.
    const int left = x + int(offsetX), top = y + int(offsetY);
    const int width = cairo_image_surface_get_width(mask);
    const int height = cairo_image_surface_get_height(mask);
    const int x0 = std::max(left, 0), y0 = std::max(top, 0);
    const int x1 = std::min(left + width, cairo_image_surface_get_width(target));
    const int y1 = std::min(top + height, cairo_image_surface_get_height(target));
    if (x0 >= x1 || y0 >= y1) {
        return true;
    }
    cairo_surface_flush(target);
    cairo_surface_flush(mask);
    unsigned char* targetData = cairo_image_surface_get_data(target);
    const unsigned char* maskData = cairo_image_surface_get_data(mask);
    if (!targetData || !maskData) {
        return false;
    }
    const int targetStride = cairo_image_surface_get_stride(target);
    const int maskStride = cairo_image_surface_get_stride(mask);
    for (int row = y0; row < y1; ++row) {
        const unsigned char* levels = maskData + std::size_t(row - top) * std::size_t(maskStride);
        auto* pixels = reinterpret_cast<std::uint32_t*>(targetData + std::size_t(row) *
                                                                         std::size_t(targetStride));
        for (int column = x0; column < x1; ++column) {
            std::uint32_t level = levels[column - left];
            if (level == 0) {
                continue;
            }
            std::uint32_t ink = level == 255 ? color : multiplyChannels(color, level);
            std::uint32_t& pixel = pixels[column];
            pixel = pixel == 0 ? ink : sourceOver(ink, pixel);
        }
    }
    cairo_surface_mark_dirty(target);
    return true;
}

} // namespace gfx
