#include "platform/graphics/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gfx {

int pixelCount(double points, double scale) {
    // Cairo's image surfaces end at 32767 pixels a side.
    constexpr double largest = 32767;
    double pixels = points * scale;
    if (!(pixels > 0)) {
        return 0;
    }
    return static_cast<int>(std::ceil(std::min(pixels, largest) - 1e-6));
}

Bitmap::Bitmap(int pixelsWide, int pixelsHigh, Size pointSize)
    : pixelsWide_(std::max(pixelsWide, 0)), pixelsHigh_(std::max(pixelsHigh, 0)),
      pointSize_(pointSize) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelsWide_, pixelsHigh_);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
        // Beyond cairo's size limit or out of memory: an empty bitmap rather than a dead one.
        cairo_surface_destroy(surface_);
        pixelsWide_ = pixelsHigh_ = 0;
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0);
    }
}

Bitmap::Bitmap(cairo_surface_t* adopted, int pixelsWide, int pixelsHigh, Size pointSize)
    : surface_(adopted), pixelsWide_(pixelsWide), pixelsHigh_(pixelsHigh), pointSize_(pointSize) {}

Bitmap Bitmap::forPointSize(Size pointSize, double scale) {
    return Bitmap(pixelCount(pointSize.width, scale), pixelCount(pointSize.height, scale),
                  pointSize);
}

std::optional<Bitmap> Bitmap::readPng(const std::string& path) {
    cairo_surface_t* loaded = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(loaded) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(loaded);
        return std::nullopt;
    }
    int width = cairo_image_surface_get_width(loaded);
    int height = cairo_image_surface_get_height(loaded);
    Bitmap bitmap(width, height, Size{double(width), double(height)});
    cairo_t* cr = cairo_create(bitmap.surface_);
    cairo_set_source_surface(cr, loaded, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(loaded);
    return bitmap;
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : surface_(std::exchange(other.surface_, nullptr)),
      pixelsWide_(std::exchange(other.pixelsWide_, 0)),
      pixelsHigh_(std::exchange(other.pixelsHigh_, 0)), pointSize_(other.pointSize_) {}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
    if (this != &other) {
        if (surface_) {
            cairo_surface_destroy(surface_);
        }
        surface_ = std::exchange(other.surface_, nullptr);
        pixelsWide_ = std::exchange(other.pixelsWide_, 0);
        pixelsHigh_ = std::exchange(other.pixelsHigh_, 0);
        pointSize_ = other.pointSize_;
    }
    return *this;
}

Bitmap::~Bitmap() {
    if (surface_) {
        cairo_surface_destroy(surface_);
    }
}

Bitmap Bitmap::copy() const {
    if (!surface_ || isEmpty()) {
        return Bitmap(pixelsWide_, pixelsHigh_, pointSize_);
    }
    cairo_surface_flush(surface_);
    // The pixels are copied into memory of their own rather than into a new surface, which
    // would clear them first only to have every byte written again.
    int stride = cairo_image_surface_get_stride(surface_);
    std::size_t bytes = std::size_t(stride) * std::size_t(pixelsHigh_);
    auto* pixels = static_cast<unsigned char*>(std::malloc(bytes));
    if (!pixels) {
        return Bitmap(0, 0, pointSize_);
    }
    std::memcpy(pixels, cairo_image_surface_get_data(surface_), bytes);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        pixels, CAIRO_FORMAT_ARGB32, pixelsWide_, pixelsHigh_, stride);
    static const cairo_user_data_key_t ownedPixels{};
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(surface, &ownedPixels, pixels, std::free) !=
            CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        std::free(pixels);
        return Bitmap(0, 0, pointSize_);
    }
    return Bitmap(surface, pixelsWide_, pixelsHigh_, pointSize_);
}

Bitmap Bitmap::halved() const {
    Bitmap half((pixelsWide_ + 1) / 2, (pixelsHigh_ + 1) / 2, pointSize_);
    if (isEmpty() || half.isEmpty()) {
        return half;
    }
    cairo_surface_flush(surface_);
    const unsigned char* from = cairo_image_surface_get_data(surface_);
    int fromStride = cairo_image_surface_get_stride(surface_);
    unsigned char* to = cairo_image_surface_get_data(half.surface_);
    int toStride = cairo_image_surface_get_stride(half.surface_);
    // Two channels of a pixel at a time, each in a 16-bit lane: the sum of four stays below 1024,
    // and the shift that divides it by four moves nothing across into the kept bits of the
    // neighbouring lane.
    constexpr std::uint32_t lanes = 0x00ff00ffu;
    auto average = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
        std::uint32_t even = (a & lanes) + (b & lanes) + (c & lanes) + (d & lanes);
        std::uint32_t odd =
            ((a >> 8) & lanes) + ((b >> 8) & lanes) + ((c >> 8) & lanes) + ((d >> 8) & lanes);
        even = ((even + 0x00020002u) >> 2) & lanes;
        odd = ((odd + 0x00020002u) >> 2) & lanes;
        return even | (odd << 8);
    };
    // Output columns whose 2 × 2 block lies whole inside the bitmap.
    const int wholeColumns = pixelsWide_ / 2;
    for (int row = 0; row < half.pixelsHigh_; ++row) {
        // An odd last row or column stands in for its missing partner.
        const auto* upper =
            reinterpret_cast<const std::uint32_t*>(from + std::size_t(2 * row) * fromStride);
        const auto* lower = reinterpret_cast<const std::uint32_t*>(
            from + std::size_t(std::min(2 * row + 1, pixelsHigh_ - 1)) * fromStride);
        auto* out = reinterpret_cast<std::uint32_t*>(to + std::size_t(row) * toStride);
        int column = 0;
#if defined(__SSE2__)
        // Four output pixels at a time, every channel widened to 16 bits: the same sums, the
        // same rounding. Runs for every new module image of every sample.
        const __m128i zero = _mm_setzero_si128();
        const __m128i two = _mm_set1_epi16(2);
        auto load = [](const std::uint32_t* pixels) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
        };
        // The four-pixel sums of the two blocks covered by four source columns.
        auto blockSums = [&](__m128i top, __m128i bottom) {
            const __m128i left =
                _mm_add_epi16(_mm_unpacklo_epi8(top, zero), _mm_unpacklo_epi8(bottom, zero));
            const __m128i right =
                _mm_add_epi16(_mm_unpackhi_epi8(top, zero), _mm_unpackhi_epi8(bottom, zero));
            const __m128i sums =
                _mm_add_epi16(_mm_unpacklo_epi64(left, right), _mm_unpackhi_epi64(left, right));
            return _mm_srli_epi16(_mm_add_epi16(sums, two), 2);
        };
        for (; column + 4 <= wholeColumns; column += 4) {
            const std::uint32_t* top = upper + 2 * column;
            const std::uint32_t* bottom = lower + 2 * column;
            const __m128i first = blockSums(load(top), load(bottom));
            const __m128i second = blockSums(load(top + 4), load(bottom + 4));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + column),
                             _mm_packus_epi16(first, second));
        }
#endif
        for (; column < half.pixelsWide_; ++column) {
            int left = 2 * column;
            int right = std::min(2 * column + 1, pixelsWide_ - 1);
            out[column] = average(upper[left], upper[right], lower[left], lower[right]);
        }
    }
    cairo_surface_mark_dirty(half.surface_);
    return half;
}

Rgba8 Bitmap::pixel(int column, int row) const {
    if (!surface_ || column < 0 || row < 0 || column >= pixelsWide_ || row >= pixelsHigh_) {
        return {};
    }
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    int stride = cairo_image_surface_get_stride(surface_);
    std::uint32_t word;
    std::memcpy(&word, data + std::size_t(row) * stride + std::size_t(column) * 4, 4);
    return {std::uint8_t(word >> 16), std::uint8_t(word >> 8), std::uint8_t(word),
            std::uint8_t(word >> 24)};
}

Rgba8 Bitmap::pixelAtPoint(Point point) const {
    if (pointSize_.width <= 0 || pointSize_.height <= 0) {
        return {};
    }
    double sx = pixelsWide_ / pointSize_.width;
    double sy = pixelsHigh_ / pointSize_.height;
    int column = int(std::floor(point.x * sx));
    int row = int(std::floor((pointSize_.height - point.y) * sy));
    return pixel(column, row);
}

bool Bitmap::writePng(const std::string& path) const {
    if (!surface_) {
        return false;
    }
    cairo_surface_flush(surface_);
    return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace gfx
