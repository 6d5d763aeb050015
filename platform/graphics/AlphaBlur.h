#pragma once

#include <cstdint>

namespace gfx {

// Blurs an 8-bit alpha mask in place with three passes of a box blur each way, which comes close
// to a Gaussian of standard deviation about √(r(r+1)) at a cost independent of the radius.
// Cairo has no blur; shadows are drawn through this.
void blurAlphaMask(std::uint8_t* data, int width, int height, int stride, int radius);

// Scales a mask up by a whole factor with bilinear filtering, sampling pixel centres, into a
// target of the given size (edges repeat the nearest source pixel).
void upsampleAlphaMask(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                       int sourceStride, int factor, std::uint8_t* target, int targetWidth,
                       int targetHeight, int targetStride);

// The box radius (pixels) whose triple pass spreads like a shadow of this blur radius.
int boxRadiusForBlur(double blurPixels);

} // namespace gfx
