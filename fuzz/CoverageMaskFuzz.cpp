#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ChartPainter.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/PathFlattening.h"
#include "platform/graphics/ShapeMaskCache.h"
#include "platform/graphics/StrokeOutline.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

// Any coordinates at all, in any box: not numbers, infinities, huge and tiny values, boxes of
// no size or off to one side, as polygons, stroke outlines and flattened paths. Nothing may
// crash, write outside the mask, or give a coverage beyond full. Then the same shapes through
// the graphics layer as the views draw them, clipped to a rectangle: chart runs filled and
// stroked, paths filled, stroked and clipped under any transform, line state, alpha, operator and
// shadow, and the cached shape masks. Nothing may land outside the clip.

namespace {

// Draws the points as the views would, inside a clip of whole points; every pixel of the bitmap
// outside the clip must stay untouched.
void drawClipped(std::span<const std::uint8_t> control, std::vector<gfx::Point> points) {
    constexpr double width = 40, height = 30;
    const double scale = 1 + control[0] % 2;
    gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({width, height}, scale);
    const gfx::Rect clip{double(control[1] % 40), double(control[2] % 30), double(control[3] % 41),
                         double(control[4] % 31)};
    gfx::ShapeMaskCache masks;
    {
        gfx::Context context(bitmap,
                             control[0] & 2 ? gfx::Appearance::dark : gfx::Appearance::light);
        // Masks kept from one draw to the next, or made for each.
        if (control[0] & 4)
            context.setShapeMasks(&masks);
        context.clipToRect(clip);
        const int mode = control[5];
        switch (mode % 4) {
        case 1:
            context.translate(control[6] % 16, control[7] % 16);
            context.scale(0.25 + (control[6] >> 4), 0.25 + (control[7] >> 4));
            break;
        case 2:
            context.rotateDegrees(control[6]);
            break;
        case 3:
            context.concat(gfx::AffineTransform{1, double(std::int8_t(control[6])) / 16,
                                                double(std::int8_t(control[7])) / 16, 1, 0, 0});
            break;
        default:
            break;
        }
        context.setLineWidth(control[8] / 16.0);
        context.setLineJoin(gfx::LineJoin(control[9] % 3));
        context.setLineCap(gfx::LineCap(control[9] / 3 % 3));
        if (control[9] & 0x80)
            context.setLineDash({1.5, double(control[8] % 4)}, control[10]);
        context.setAlpha(0.25 + control[10] / 340.0);
        if (control[11] & 0x40)
            context.setCompositingOperation(gfx::CompositingOperation(control[11] % 12));
        if (control[11] & 0x80)
            context.setShadow(gfx::Shadow{});
        const gfx::Color colour =
            gfx::Color::dynamic(gfx::Color::srgb(1, 0.5, 0, 0.75), gfx::Color::systemRed());
        context.setFillColor(colour);
        context.setStrokeColor(colour);

        // Mostly shapes on the bitmap, where a fault would show; sometimes the raw coordinates.
        if (!(control[12] & 0x40)) {
            for (gfx::Point& point : points) {
                point.x = std::isfinite(point.x) ? std::fmod(std::fabs(point.x), 48) - 4 : 0;
                point.y = std::isfinite(point.y) ? std::fmod(std::fabs(point.y), 38) - 4 : 0;
            }
        }
        // A chart's area and line, in one or several runs.
        std::vector<std::vector<gfx::Point>> lists(1 + control[12] % 3);
        for (std::size_t i = 0; i < points.size(); ++i)
            lists[i % lists.size()].push_back(points[i]);
        gfx::ChartPainter painter(context);
        painter.fillPolygons(lists);
        painter.strokePolylines(lists);
        std::vector<gfx::ColoredPoints> runs;
        for (const auto& list : lists)
            runs.push_back({gfx::Color::label(), {list}});
        painter.fillPolygonRuns(runs);
        painter.strokePolylineRuns(runs);

        // The points as one path: filled, stroked, then clipped to and painted through.
        gfx::Path path;
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (i % 3 == 2)
                path.curveTo(points[i], points[i - 1], points[i - 2]);
            else
                path.lineTo(points[i]);
        }
        path.close();
        context.fill(path, control[12] & 8 ? gfx::WindingRule::evenOdd : gfx::WindingRule::nonZero);
        context.stroke(path);
        if (const gfx::ShapeMask* mask =
                masks.mask(gfx::FlatPath(path, context.currentTransform()))) {
            if (!mask->surface)
                __builtin_trap();
        }
        context.clip(path);
        context.fillRect({0, 0, width, height});
    }
    // The clip in device pixels, rounded outwards (the base space is y up).
    const int left = int(std::floor(clip.minX() * scale));
    const int right = int(std::ceil(clip.maxX() * scale));
    const int top = int(std::floor((height - clip.maxY()) * scale));
    const int bottom = int(std::ceil((height - clip.minY()) * scale));
    for (int row = 0; row < bitmap.pixelsHigh(); ++row) {
        for (int column = 0; column < bitmap.pixelsWide(); ++column) {
            const bool inside = column >= left && column < right && row >= top && row < bottom;
            if (!inside && bitmap.pixel(column, row) != gfx::Rgba8{})
                __builtin_trap();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    int x = std::int8_t(data[0]), y = std::int8_t(data[1]);
    int width = data[2] % 64, height = data[3] % 64;
    std::vector<gfx::Point> points;
    for (std::size_t offset = 4; offset + 2 * sizeof(double) <= size;
         offset += 2 * sizeof(double)) {
        gfx::Point p;
        std::memcpy(&p.x, data + offset, sizeof(double));
        std::memcpy(&p.y, data + offset + sizeof(double), sizeof(double));
        points.push_back(p);
    }
    gfx::CoverageMask mask(x, y, width, height);
    mask.addPolygon(points);
    mask.addPolygon(points, gfx::AffineTransform{2, 0, 0, -2, 3, 40});
    double strokeWidth = points.empty() ? 1 : points.front().x;
    gfx::bevelStrokeOutline(points, strokeWidth,
                            [&](std::span<const gfx::Point> piece) { mask.addPolygon(piece); });
    // The same points as a path of lines and curves, flattened in device space.
    gfx::Path path;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i % 4 == 3 && i >= 3) {
            path.curveTo(points[i], points[i - 2], points[i - 1]);
        } else if (i % 5 == 4) {
            path.close();
        } else {
            path.lineTo(points[i]);
        }
    }
    gfx::FlatPath flat(path, gfx::AffineTransform{2, 0, 0, -2, 3, 40});
    for (const gfx::FlatPath::Subpath& subpath : flat.subpaths()) {
        mask.addPolygon(flat.points(subpath));
    }
    std::vector<std::uint8_t> coverage = mask.resolved();
    if (coverage.size() != std::size_t(width) * std::size_t(height)) {
        __builtin_trap();
    }
    std::vector<std::uint8_t> layer(std::size_t(width) * std::size_t(height) * 4);
    mask.blendOver(layer.data(), width * 4, mask.box(), 0x80402010);

    // The drawing's settings are the input's last bytes (all of it, over again, when it is short).
    std::array<std::uint8_t, 13> control{};
    for (std::size_t i = 0; i < control.size(); ++i)
        control[i] = size >= control.size() ? data[size - control.size() + i] : data[i % size];
    drawClipped(control, points);
    return 0;
}
