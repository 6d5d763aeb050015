#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

#include <span>
#include <vector>

namespace gfx {

class Context;

// Polygons or polylines to draw in one colour: one of the runs a chart draws in turn.
struct ColoredPoints {
    Color color;
    std::vector<std::vector<Point>> lists;
};

// Our own rasteriser (CoverageMask.h) at the charts' service. A chart's area and line are long
// polygons and polylines of a few dozen points; where the transform keeps the axes aligned the
// painter rasterises them exactly into one coverage mask, several times cheaper than cairo's
// scan converter for such an outline, and strokes them that way with butt caps, bevel joins and
// no dash. Anything else (a rotation, another join, an operator that reaches outside the shape)
// goes to cairo. Everything that is not a chart draws through Context's fill and stroke.
//
// The painter draws with the context's colours, line state, alpha, operation and shadow, and
// records as fill() and stroke() of one path made of the same points would.
class ChartPainter {
public:
    explicit ChartPainter(Context& context) : context_(context) {}

    // Polygons (each closed back to its first point) filled together under the non-zero rule.
    void fillPolygons(std::span<const std::vector<Point>> polygons);
    // Open polylines stroked together with the line state.
    void strokePolylines(std::span<const std::vector<Point>> polylines);
    // Each run in turn as setting its colour (fill or stroke) and calling the above: the same
    // records, and the colour is the last run's afterwards. Several runs drawn source-over
    // without a shadow on an axis-aligned transform are composited into one layer painted once;
    // where two runs overlap a pixel may round one level differently.
    void fillPolygonRuns(std::span<const ColoredPoints> runs);
    void strokePolylineRuns(std::span<const ColoredPoints> runs);

private:
    bool strokesAsBevelOutline() const;
    // Whether the runs can be drawn through one layer, and then draws them.
    bool drawRunsInOneLayer(std::span<const ColoredPoints> runs, bool stroke);

    Context& context_;
};

} // namespace gfx
