#pragma once

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Geometry.h"

#include <cairo.h>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace gfx {

// An anti-aliased coverage mask over a box of device pixels, rasterised the way font rasterisers
// do it: every polygon edge adds its signed area and cover to the cells it crosses, and a running
// sum along each row turns them into coverage. Areas are exact, not sampled, so an edge on a pixel
// boundary gives full or no coverage and a pixel half covered gives half.
//
// Windings add up: coverage is the summed winding's magnitude clamped to one, which is the
// non-zero rule for every pixel that lies wholly inside or outside each shape (a pixel straddling
// the edges of two overlapping shapes of one direction may come out a little darker than their
// union).
//
// Cairo's own scan converter costs far more for a long outline, which is why the charts' lines go
// through this: a 60-point line is filled several times faster.
class CoverageMask {
public:
    // The device pixels [x, x + width) × [y, y + height).
    struct Box {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;

        // The whole pixels a device-space rect touches, held within a range far beyond any
        // surface; empty for an empty rect or one that is not a number.
        static Box around(const Rect& deviceBounds);
        bool isEmpty() const { return width <= 0 || height <= 0; }
        long long area() const { return isEmpty() ? 0 : (long long)width * height; }
        Box intersection(const Box& other) const;
        friend bool operator==(const Box&, const Box&) = default;
    };

    // An empty mask over the device pixels [x, x + width) × [y, y + height); a size below zero
    // counts as zero.
    CoverageMask(int x, int y, int width, int height);
    explicit CoverageMask(const Box& box) : CoverageMask(box.x, box.y, box.width, box.height) {}

    // The whole pixels that both deviceBounds and cr's clip touch (an empty box when they share
    // none), or nothing when they share more than maximumPixels: the caller draws some other way.
    static std::optional<Box> visibleBox(cairo_t* cr, const Rect& deviceBounds);
    // A mask over visibleBox.
    static std::optional<CoverageMask> covering(cairo_t* cr, const Rect& deviceBounds);
    static constexpr long long maximumPixels = 1LL << 22;
    // cr's user → device transform when a mask may stand in for cairo's own fill there: the
    // transform keeps the axes aligned (a scale, flip and translation) and cr's operator changes
    // nothing outside the shape.
    static std::optional<AffineTransform> maskableTransform(cairo_t* cr);

    Box box() const { return {x_, y_, width_, height_}; }
    int x() const { return x_; }
    int y() const { return y_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return width_ == 0 || height_ == 0; }

    // A closed polygon, the last point joined to the first. A polygon with a point that is not a
    // number adds nothing (nor does such an edge); infinite or huge coordinates are held to a
    // finite range far beyond any surface.
    void addPolygon(std::span<const Point> devicePoints);
    // The same with points in a user space that toDevice maps to device space.
    void addPolygon(std::span<const Point> points, const AffineTransform& toDevice);
    void addEdge(Point from, Point to);

    // Coverage 0…255 of each pixel, row after row, `stride` bytes apart from data.
    void resolve(std::uint8_t* data, int stride) const;
    std::vector<std::uint8_t> resolved() const;

    // Paints cr's current source through the mask at its place in device space; cr's clip and
    // operator apply as they would to a fill.
    void paint(cairo_t* cr) const;

    // Composites a solid colour through the mask, source over, onto a premultiplied 32-bit ARGB
    // layer (cairo's ARGB32) whose first pixel is device pixel layerBox.x, layerBox.y; the part of
    // the mask outside layerBox is left out. The colour is premultiplied 8-bit ARGB, and the
    // arithmetic rounds as cairo's own compositing does, so that the layer composited in turn
    // gives the pixels of compositing through this mask directly, wherever masks do not overlap.
    void blendOver(std::uint8_t* layer, int layerStride, const Box& layerBox,
                   std::uint32_t premultipliedColor) const;
    // Multiplies each pixel of such a layer by an 8-bit coverage over coverageBox (rows
    // coverageStride bytes apart), rounding as compositing the layer through that coverage does:
    // pixels outside coverageBox are cleared, and those within `whole`, wholly covered, are left.
    static void multiplyByCoverage(std::uint8_t* layer, int layerStride, const Box& layerBox,
                                   const std::uint8_t* coverage, int coverageStride,
                                   const Box& coverageBox, const Box& whole);
    // A colour as cairo gives it to its compositor: premultiplied, through 16 bits, to 8 bits.
    static std::uint32_t premultiplied(double red, double green, double blue, double alpha);

private:
    // One edge piece whose x lies within [0, width] and y within [0, height], box-relative, top
    // to bottom (y0 < y1); winding is ±1.
    void accumulate(double x0, double y0, double x1, double y1, float winding);

    int x_ = 0;
    int y_ = 0;
    int width_ = 0;
    int height_ = 0;
    // Two cells beyond each row's width: an edge on the right boundary puts its cover there,
    // where no pixel reads it.
    int cellStride_ = 2;
    std::vector<float> cells_;
};

} // namespace gfx
