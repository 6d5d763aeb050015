#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/PathFlattening.h"
#include "platform/graphics/StrokeOutline.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

// Any coordinates at all, in any box: not numbers, infinities, huge and tiny values, boxes of
// no size or off to one side, as polygons, stroke outlines and flattened paths. Nothing may
// crash, write outside the mask, or give a coverage beyond full.
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
    return 0;
}
