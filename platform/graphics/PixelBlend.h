#pragma once

#include <cairo.h>
#include <cstdint>

namespace gfx {

// Each of the four 8-bit channels of x times a / 255, rounded, two channels at a time: the product
// cairo's compositor uses.
inline std::uint32_t multiplyChannels(std::uint32_t x, std::uint32_t a) {
    std::uint32_t rb = (x & 0xff00ff) * a + 0x800080;
    rb = ((rb + ((rb >> 8) & 0xff00ff)) >> 8) & 0xff00ff;
    std::uint32_t ag = ((x >> 8) & 0xff00ff) * a + 0x800080;
    ag = (ag + ((ag >> 8) & 0xff00ff)) & 0xff00ff00;
    return rb | ag;
}

// Source over destination, both premultiplied: neither channel sum can pass 255.
inline std::uint32_t sourceOver(std::uint32_t source, std::uint32_t destination) {
    return source + multiplyChannels(destination, 255 - (source >> 24));
}

// Composites cr's source through an 8-bit mask placed at device pixel (x, y), source over,
// straight into the pixels of cr's target: the pixels cairo_mask_surface gives, without a trip
// through cairo for a line of text. Only where that is all cairo would do: the target is a 32-bit
// ARGB image surface at device scale 1, the operator is OVER and the source a solid colour, and
// the caller knows that cr's clip holds every pixel of the mask. False, touching nothing,
// otherwise.
bool blendMaskOver(cairo_t* cr, cairo_surface_t* mask, int x, int y);

} // namespace gfx
