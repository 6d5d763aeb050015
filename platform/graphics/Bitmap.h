#pragma once

#include "platform/graphics/Geometry.h"

#include <cairo.h>
#include <cstdint>
#include <optional>
#include <string>

namespace gfx {

// One pixel as stored: 8 bits per sample, premultiplied alpha.
struct Rgba8 {
    std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
    friend bool operator==(const Rgba8&, const Rgba8&) = default;
};

// A bitmap representation: RGBA, premultiplied, 8 bits per sample, with a point size that may
// differ from its pixel size (a bitmap at scale 2 has twice as many pixels as points each way).
// Backed by a cairo image surface. Move-only; copy() makes an independent copy.
class Bitmap {
public:
    // A transparent bitmap. Negative pixel counts, or more than cairo can hold, give an empty
    // bitmap.
    Bitmap(int pixelsWide, int pixelsHigh, Size pointSize);
    // A bitmap for a point size at a scale, the pixel size rounded up to whole pixels.
    static Bitmap forPointSize(Size pointSize, double scale);
    // Nothing when the file is missing or not a PNG; the point size equals the pixel size.
    static std::optional<Bitmap> readPng(const std::string& path);

    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    ~Bitmap();

    Bitmap copy() const;
    // Half the pixels each way (rounded up), each the average of a 2 × 2 block, at the same
    // point size: an exact shrink that bilinear sampling can then enlarge without aliasing.
    Bitmap halved() const;

    int pixelsWide() const { return pixelsWide_; }
    int pixelsHigh() const { return pixelsHigh_; }
    Size size() const { return pointSize_; }
    void setSize(Size pointSize) { pointSize_ = pointSize; }
    bool isEmpty() const { return pixelsWide_ == 0 || pixelsHigh_ == 0; }

    // The pixel at a column and a row counted from the top, as stored (premultiplied); a
    // transparent pixel outside the bitmap.
    Rgba8 pixel(int column, int row) const;
    // The pixel under a point of the y-up point space.
    Rgba8 pixelAtPoint(Point point) const;

    bool writePng(const std::string& path) const;

    cairo_surface_t* surface() const { return surface_; }

private:
    // Takes over an ARGB32 image surface of that many pixels.
    Bitmap(cairo_surface_t* adopted, int pixelsWide, int pixelsHigh, Size pointSize);

    cairo_surface_t* surface_ = nullptr;
    int pixelsWide_ = 0;
    int pixelsHigh_ = 0;
    Size pointSize_;
};

// Pixels needed for a length in points at a scale: rounded up, with a little tolerance so that a
// length that is whole after scaling does not gain a pixel from floating-point noise. Zero for
// a length that is not positive, at most cairo's limit of 32767.
int pixelCount(double points, double scale);

} // namespace gfx
