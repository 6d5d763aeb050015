#pragma once

#include <cairo.h>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ui::x11 {

// A horizontal run of kept pixels.
struct PixelSpan {
    int x = 0;
    int y = 0;
    int width = 0;
    friend bool operator==(const PixelSpan&, const PixelSpan&) = default;
};

// Without a compositing manager an X window cannot be translucent: what is drawn clear would
// show black. So a translucent window is drawn solid and shaped to the pixels it covers. Where
// the desktop publishes its background picture, each pixel is laid over the part of it that
// lies under the window, as panels have long drawn themselves "pseudo-transparent": a faint
// glass stays whole and takes clicks, and only wholly clear pixels are cut. Where it publishes
// none, nothing tells what lies behind (another window, or a root painted any colour): a pixel
// blended over a guess shows that guess, a dark rim where a soft shadow was and a dark slab where
// a faint glass was. So a pixel covering less than half is cut, and any other shows its own
// colour at full strength.
//
// A rectangle of pixels.
struct PixelBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool isEmpty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

// What lies under a window's pixels: the desktop's picture as RGB24 pixels in the window's own
// place (the window's size), or none where the desktop publishes none. Without one, the pixels
// cut away hold `colour` (0xRRGGBB, the root's): only a screen caught between a new outline and
// its pixels shows them.
struct Backdrop {
    cairo_surface_t* picture = nullptr;
    std::uint32_t colour = 0;
};

// The least coverage (alpha, of 255) a pixel needs to be kept where nothing is known behind it.
inline constexpr std::uint32_t keptCoverage = 128;

// Copies the `width` × `height` pixels at (x, y) of the ARGB32 surface `source` into the RGB24
// or ARGB32 surface `solid` (at 0, 0; at least that large) as solid colour, each laid over the
// backdrop's pixel at the same place of `source` (or at full strength, without a picture), and
// answers the runs to keep (every pixel not wholly clear, or covering at least keptCoverage
// without a picture), relative to (x, y). When `changed` is given it receives the smallest box
// (relative to (x, y)) holding every pixel of `solid` that now differs from what it held: what
// the window must be sent again. A present that changed nothing sends nothing. When
// `changedParts` is given it receives the same pixels as a few boxes side by side (at most
// changedPartsMost, left to right), split where more than changedPartsGap columns between them
// changed nothing: a second of the strip changes a few figures far apart.
inline constexpr int changedPartsGap = 16;
inline constexpr std::size_t changedPartsMost = 8;
std::vector<PixelSpan> solidifyTranslucentPixels(cairo_surface_t* source, int x, int y, int width,
                                                 int height, cairo_surface_t* solid,
                                                 const Backdrop& backdrop,
                                                 PixelBox* changed = nullptr,
                                                 std::vector<PixelBox>* changedParts = nullptr);

// The kept pixels last applied to a window's bounding shape, row by row, so that a present whose
// kept pixels did not change sends no shape requests: each change makes the server expose the
// window again. Coordinates are window pixels, never negative.
class KeptPixels {
public:
    // Makes the runs inside the `width` × `height` area at (x, y) exactly `spans` (relative to
    // (x, y), ordered by row then column, as solidifyTranslucentPixels answers them); answers
    // whether that changed anything.
    bool replace(int x, int y, int width, int height, const std::vector<PixelSpan>& spans);
    // Every run, in window pixels, ordered by row then column; touching runs are joined.
    std::vector<PixelSpan> spans() const;

private:
    struct Run {
        int begin = 0;
        int end = 0;
        friend bool operator==(const Run&, const Run&) = default;
    };
    std::vector<std::vector<Run>> rows_;
};

} // namespace ui::x11
