#pragma once

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/PathFlattening.h"
#include "platform/graphics/ShapedLayer.h"

#include <memory>
#include <optional>
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
    // A painter whose drawings are all clipped to the shape, with the pixels of a ShapedLayer
    // over it: composited once through the shape when the painter goes, so that the shape's
    // anti-aliased rim is covered once. Source over without a shadow on an axis-aligned
    // transform, the runs are composited into a layer of the painter's own, whose pixels that the
    // shape does not wholly cover are multiplied by the shape's coverage mask (ShapeMaskCache.h)
    // before the layer is painted plainly. A chart cost two nested offscreen layers and a masked
    // composite a second: the memory chart took 7.0 % of the program's time instead of 6.2 (perf,
    // a minute of the program on Xvfb, medians of three), and the memory image 48.4 µs instead of
    // 45.2 (bench/StatusImagesBench). Any other state draws through a ShapedLayer.
    //
    // A clip added to the context while the painter lives is seen only where it changes which
    // device pixels of the shape it shows; what is drawn after it goes to cairo under the clip of
    // the shape, once the layer so far is composited.
    ChartPainter(Context& context, const Path& clip);
    ~ChartPainter();
    ChartPainter(const ChartPainter&) = delete;
    ChartPainter& operator=(const ChartPainter&) = delete;

    Context& context() const { return context_; }

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
    using CairoPointer = std::unique_ptr<cairo_t, void (*)(cairo_t*)>;
    // The layer of a clipped painter, over the device pixels of the clip's shape.
    struct ClipLayer {
        Path shape;
        FlatPath deviceShape;
        Rect deviceBounds;
        cairo_matrix_t toDevice;
        CoverageMask::Box box;
        // Draws into the layer's pixels, in the context's device space; made at the first
        // drawing.
        CairoPointer drawing;
    };

    void drawLists(std::span<const std::vector<Point>> lists, bool stroke);
    void drawRuns(std::span<const ColoredPoints> runs, bool stroke);
    void drawRunsUnclipped(std::span<const ColoredPoints> runs, bool stroke);
    void fillUnclipped(std::span<const std::vector<Point>> polygons);
    void strokeUnclipped(std::span<const std::vector<Point>> polylines);
    void setColor(const Color& color, bool stroke);
    bool strokesAsBevelOutline() const;
    // Whether the runs can be drawn through one layer, and then draws them.
    bool drawRunsInOneLayer(std::span<const ColoredPoints> runs, bool stroke);
    // Whether the runs can be drawn into the clip layer, and then draws them.
    bool drawRunsInClipLayer(std::span<const ColoredPoints> runs, bool stroke);
    // The clip layer's drawing context, made with its pixels when first asked; nothing when
    // cairo cannot make them.
    cairo_t* clipLayerCairo();
    // Composites what the clip layer holds through its shape and empties it.
    void compositeClipLayer();

    Context& context_;
    std::optional<ClipLayer> clipLayer_;
    std::optional<ShapedLayer> shapedLayer_;
};

} // namespace gfx
