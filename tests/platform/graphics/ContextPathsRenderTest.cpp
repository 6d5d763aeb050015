#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/graphics/ShapeMaskCache.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace gfx {
namespace {

constexpr Size canvasSize{60, 40};

struct Difference {
    int largest = 0;
    // The share of pixels that differ by more than a few levels.
    double overFew = 0;
    // Summed alpha of the first less the second, in whole pixels, and the pixels the second
    // covers only in part: cairo's sampling and exact areas differ a little on each edge pixel.
    double coverage = 0;
    int edgePixels = 0;
};

Difference difference(const Bitmap& a, const Bitmap& b) {
    Difference result;
    int over = 0;
    double total = 0;
    int full = 0;
    for (int row = 0; row < b.pixelsHigh(); ++row) {
        for (int column = 0; column < b.pixelsWide(); ++column) {
            full = std::max(full, int(b.pixel(column, row).alpha));
        }
    }
    for (int row = 0; row < a.pixelsHigh(); ++row) {
        for (int column = 0; column < a.pixelsWide(); ++column) {
            Rgba8 p = a.pixel(column, row), q = b.pixel(column, row);
            int largest = 0;
            for (auto [x, y] : {std::pair{p.red, q.red}, std::pair{p.green, q.green},
                                std::pair{p.blue, q.blue}, std::pair{p.alpha, q.alpha}}) {
                largest = std::max(largest, std::abs(int(x) - int(y)));
            }
            result.largest = std::max(result.largest, largest);
            over += largest > 4;
            total += (int(p.alpha) - int(q.alpha)) / 255.0;
            result.edgePixels += q.alpha > 0 && q.alpha < full;
        }
    }
    result.overFew = double(over) / double(a.pixelsWide() * a.pixelsHigh());
    result.coverage = total;
    return result;
}

void colours(Context& context) {
    context.setFillColor(Color::srgb(0.2, 0.6, 0.9).withAlpha(0.7));
    context.setStrokeColor(Color::srgb(0.9, 0.3, 0.1).withAlpha(0.9));
}

// A layer painted back through a rounded clip, as charts are, against clipping and painting.
TEST(ContextPaths, PaintingThroughAPathIsClippingToIt) {
    auto paint = [](const Path& path, bool rotated, bool throughPath,
                    ShapeMaskCache* masks = nullptr) {
        Bitmap bitmap = Bitmap::forPointSize(canvasSize, 2);
        Context context(bitmap);
        context.setShapeMasks(masks);
        context.setFillColor(Color::grey(0.5, 0.4));
        context.fillRect({0, 0, 60, 40});
        if (rotated) {
            context.rotateDegrees(5);
        }
        cairo_t* cr = context.cairo();
        cairo_pattern_t* layer = cairo_pattern_create_linear(0, 0, 60, 0);
        cairo_pattern_add_color_stop_rgba(layer, 0, 0.9, 0.2, 0.1, 0.8);
        cairo_pattern_add_color_stop_rgba(layer, 1, 0.1, 0.3, 0.9, 0.5);
        cairo_set_source(cr, layer);
        if (throughPath) {
            context.paintThrough(path);
        } else {
            cairo_save(cr);
            path.addClip(context);
            cairo_paint(cr);
            cairo_restore(cr);
        }
        cairo_pattern_destroy(layer);
        return bitmap;
    };
    Path rounded = Path::roundedRect({5.3, 3, 40, 18}, 9, 9);
    Bitmap ours = paint(rounded, false, true);
    Bitmap cairos = paint(rounded, false, false);
    Difference d = difference(ours, cairos);
    EXPECT_LE(d.largest, 24);
    EXPECT_LT(d.overFew, 0.02);
    EXPECT_GT(d.edgePixels, 0);
    // Inside the layer, outside only what was under it.
    for (Point point : {Point{25, 12}, Point{50, 12}, Point{5.6, 3.3}, Point{30, 30}}) {
        EXPECT_EQ(ours.pixelAtPoint(point), cairos.pixelAtPoint(point))
            << point.x << "," << point.y;
    }
    EXPECT_NE(ours.pixelAtPoint({25, 12}), ours.pixelAtPoint({50, 12}));

    // A context with shape masks draws the same pixels, the second time from the kept mask.
    ShapeMaskCache masks;
    EXPECT_EQ(difference(paint(rounded, false, true, &masks), ours).largest, 0);
    EXPECT_EQ(difference(paint(rounded, false, true, &masks), ours).largest, 0);
    EXPECT_EQ(masks.renderCount(), 1u);

    // Rotated, or under the even-odd rule, it is cairo's clip itself.
    EXPECT_EQ(difference(paint(rounded, true, true), paint(rounded, true, false)).largest, 0);
    Path holed = rounded;
    holed.setWindingRule(WindingRule::evenOdd);
    EXPECT_EQ(difference(paint(holed, false, true), paint(holed, false, false)).largest, 0);
}

// The chart's layer inside the capsule's clip: a clip that holds the path changes nothing, one
// that cuts it still cuts.
TEST(ContextPaths, PaintingThroughAPathKeepsTheClip) {
    Path chart = Path::roundedRect({5.3, 3, 40, 18}, 9, 9);
    auto paint = [&](const std::function<void(Context&)>& clip) {
        Bitmap bitmap = Bitmap::forPointSize(canvasSize, 2);
        Context context(bitmap);
        clip(context);
        cairo_set_source_rgba(context.cairo(), 0.1, 0.5, 0.9, 0.8);
        context.paintThrough(chart);
        return bitmap;
    };
    Bitmap free = paint([](Context&) {});
    // The first holds the mask's whole box, the second only the path.
    Bitmap inCapsule = paint([](Context& c) { c.clip(Path::roundedRect({0, 0, 60, 24}, 12, 12)); });
    Bitmap inTight = paint([](Context& c) { c.clip(Path::roundedRect({1, 1, 58, 22}, 11, 11)); });
    Bitmap cut = paint([](Context& c) { c.clipToRect({20, 0, 10, 40}); });
    EXPECT_EQ(difference(inCapsule, free).largest, 0);
    EXPECT_EQ(difference(inTight, free).largest, 0);
    for (int row = 0; row < free.pixelsHigh(); ++row) {
        for (int column = 0; column < free.pixelsWide(); ++column) {
            Rgba8 expected = column >= 40 && column < 60 ? free.pixel(column, row) : Rgba8{};
            ASSERT_EQ(cut.pixel(column, row), expected) << column << " " << row;
        }
    }
}

TEST(ContextPaths, FillsAndStrokesKeepTheClipOperatorShadowAndRecords) {
    Path capsule = Path::roundedRect({5, 5, 50, 10}, 5, 5);

    RecordingContext clipped(canvasSize, 2);
    clipped.clipToRect({20, 0, 10, 40});
    clipped.fill(capsule);
    clipped.setLineWidth(2);
    clipped.stroke(capsule);
    EXPECT_EQ(clipped.bitmap().pixelAtPoint({25, 10}).alpha, 255);
    EXPECT_EQ(clipped.bitmap().pixelAtPoint({19.8, 10}).alpha, 0);
    EXPECT_EQ(clipped.bitmap().pixelAtPoint({30.2, 10}).alpha, 0);
    // Records as before: the path's bounds, not the clip's or the mask's.
    ASSERT_EQ(clipped.log().records().size(), 2u);
    const auto* fill = std::get_if<FillRecord>(&clipped.log().records()[0]);
    const auto* stroke = std::get_if<StrokeRecord>(&clipped.log().records()[1]);
    ASSERT_TRUE(fill && stroke);
    EXPECT_EQ(fill->bounds, (Rect{5, 5, 50, 10}));
    EXPECT_EQ(stroke->bounds, (Rect{5, 5, 50, 10}));
    EXPECT_EQ(stroke->lineWidth, 2);

    // Clear takes the shape's pixels away and keeps the rest.
    Bitmap cleared = Bitmap::forPointSize(canvasSize, 2);
    {
        Context context(cleared);
        context.fillRect({0, 0, 60, 40});
        context.setCompositingOperation(CompositingOperation::clear);
        context.fill(capsule);
    }
    EXPECT_EQ(cleared.pixelAtPoint({30, 10}).alpha, 0);
    EXPECT_EQ(cleared.pixelAtPoint({30, 30}).alpha, 255);

    // A dashed outline keeps its gaps.
    RecordingContext dashed(canvasSize, 2);
    dashed.setLineWidth(1);
    dashed.setLineDash({3, 3});
    dashed.stroke(Path::rect({5, 5, 50, 10}));
    EXPECT_GT(dashed.bitmap().pixelAtPoint({6.5, 5}).alpha, 100);
    EXPECT_EQ(dashed.bitmap().pixelAtPoint({9.5, 5}).alpha, 0);

    // The shadow falls below, offset as set.
    Bitmap shadowed = Bitmap::forPointSize(canvasSize, 2);
    {
        Context context(shadowed);
        context.setShadow(Shadow{Color::black().withAlpha(0.5), 1, {0, -8}});
        context.fill(Path::roundedRect({5, 20, 50, 10}, 5, 5));
    }
    EXPECT_EQ(shadowed.pixelAtPoint({30, 25}).alpha, 255);
    EXPECT_GT(shadowed.pixelAtPoint({30, 17}).alpha, 100);
    EXPECT_EQ(shadowed.pixelAtPoint({30, 35}).alpha, 0);
}

// Coordinates far past what cairo's fixed point holds once crashed its clipper; the visible part
// of such a shape must still be drawn as it would be.
TEST(ContextPaths, ShapesReachingFarOutsideKeepTheirVisiblePart) {
    Bitmap bitmap = Bitmap::forPointSize(canvasSize, 2);
    {
        Context context(bitmap);
        context.clip(Path::rect({10, 5, 1e300, 1e300}));
        context.setShadow(Shadow{Color::black(), 0, {0, -2}});
        context.fillRect({0, 0, 1e12, 1e12});
        context.setStrokeColor(Color::srgb(1, 0, 0));
        context.setLineWidth(2);
        Path line;
        line.moveTo({-1e300, 20});
        line.lineTo({1e300, 20});
        context.stroke(line);
    }
    EXPECT_EQ(bitmap.pixelAtPoint({30, 30}).alpha, 255);
    EXPECT_EQ(bitmap.pixelAtPoint({5, 30}).alpha, 0);
    EXPECT_EQ(bitmap.pixelAtPoint({30, 3}).alpha, 0);
    Rgba8 stroked = bitmap.pixelAtPoint({30, 20});
    EXPECT_EQ(stroked.red, 255);
    EXPECT_EQ(stroked.green, 0);
}

TEST(ContextPaths, APartDrawnAgainGetsThePixelsOfTheWhole) {
    // A window that redraws one column of a shape gets what drawing all of it gave there.
    for (Path shape : {Path::roundedRect({5, 5, 20, 10}, 5, 5), Path::oval({3, 12, 10, 10})}) {
        Bitmap whole = Bitmap::forPointSize(canvasSize, 2);
        Bitmap part = Bitmap::forPointSize(canvasSize, 2);
        for (Bitmap* bitmap : {&whole, &part}) {
            Context context(*bitmap);
            colours(context);
            context.setLineWidth(1);
            if (bitmap == &part) {
                context.clipToRect({4, 0, 3.5, 40});
            }
            context.fill(shape);
            context.stroke(shape);
        }
        for (int row = 0; row < whole.pixelsHigh(); ++row) {
            for (int column = 8; column < 15; ++column) {
                ASSERT_EQ(part.pixel(column, row), whole.pixel(column, row))
                    << column << " " << row;
            }
        }
    }
}

} // namespace
} // namespace gfx
