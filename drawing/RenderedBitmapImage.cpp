#include "drawing/RenderedBitmapImage.h"

#include <cmath>

namespace pulsedeck {

namespace {

// The largest side of a cairo image surface, in pixels.
constexpr double largestSurfaceSide = 32767;

bool fitsASurface(double points, double scale) {
    double pixels = points * scale;
    return std::isfinite(pixels) && pixels > 0 && pixels <= largestSurfaceSide;
}

} // namespace

gfx::Image renderedBitmapImage(const gfx::Image& image, double scale, bool dark) {
    gfx::Size size = image.size();
    if (!fitsASurface(size.width, scale) || !fitsASurface(size.height, scale)) {
        return gfx::Image::withBitmap(gfx::Bitmap(0, 0, size));
    }
    return gfx::renderedBitmapImage(image, scale,
                                    dark ? gfx::Appearance::dark : gfx::Appearance::light);
}

} // namespace pulsedeck
