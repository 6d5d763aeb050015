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

// The same drawing through the context and straight through cairo on the context's cairo_t,
// the way the context drew every path before it had masks of its own.
struct Pair {
    Bitmap ours;
    Bitmap cairos;
};

enum class Draw { fill, stroke };

Pair drawBoth(double scale, const std::function<void(Context&)>& setUp, const Path& path, Draw draw,
              WindingRule rule = WindingRule::nonZero) {
    Pair pair{Bitmap::forPointSize(canvasSize, scale), Bitmap::forPointSize(canvasSize, scale)};
    {
        Context context(pair.ours);
        setUp(context);
        draw == Draw::fill ? context.fill(path, rule) : context.stroke(path);
    }
    {
        Context context(pair.cairos);
        setUp(context);
        cairo_t* cr = context.cairo();
        cairo_save(cr);
        context.applyOperation();
        cairo_new_path(cr);
        appendToCairo(cr, path);
        Color color = draw == Draw::fill ? context.fillColor() : context.strokeColor();
        cairo_set_source_rgba(cr, color.red(), color.green(), color.blue(),
                              color.alpha() * context.alpha());
        if (draw == Draw::fill) {
            cairo_set_fill_rule(cr, rule == WindingRule::evenOdd ? CAIRO_FILL_RULE_EVEN_ODD
                                                                 : CAIRO_FILL_RULE_WINDING);
            cairo_fill(cr);
        } else {
            cairo_set_line_width(cr, context.lineWidth());
            cairo_set_line_cap(cr, context.lineCap() == LineCap::round    ? CAIRO_LINE_CAP_ROUND
                                   : context.lineCap() == LineCap::square ? CAIRO_LINE_CAP_SQUARE
                                                                          : CAIRO_LINE_CAP_BUTT);
            cairo_set_line_join(cr, context.lineJoin() == LineJoin::round ? CAIRO_LINE_JOIN_ROUND
                                    : context.lineJoin() == LineJoin::bevel
                                        ? CAIRO_LINE_JOIN_BEVEL
                                        : CAIRO_LINE_JOIN_MITER);
            cairo_stroke(cr);
        }
        cairo_restore(cr);
    }
    return pair;
}

// Shapes the status images and the strip draw: rounded rects up to capsules, circles, a pie.
Path randomShape(std::mt19937& random, int kind) {
    std::uniform_real_distribution<double> x(2, 30), y(2, 18), size(4, 26), unit(0, 1);
    Rect rect{x(random), y(random), size(random), size(random) * 0.7};
    switch (kind % 4) {
    case 0: {
        double radius = unit(random) * std::min(rect.width(), rect.height()) / 2;
        return Path::roundedRect(rect, radius, radius);
    }
    case 1: {
        double radius = rect.height() / 2;
        return Path::roundedRect(rect, radius, radius);
    }
    case 2:
        return Path::oval({rect.x(), rect.y(), rect.height(), rect.height()});
    default: {
        Path pie;
        Point center{rect.midX(), rect.midY()};
        pie.moveTo(center);
        pie.appendArc(center, rect.height() / 2, 90, 90 - 360 * unit(random), true);
        pie.close();
        return pie;
    }
    }
}

void colours(Context& context) {
    context.setFillColor(Color::srgb(0.2, 0.6, 0.9).withAlpha(0.7));
    context.setStrokeColor(Color::srgb(0.9, 0.3, 0.1).withAlpha(0.9));
}

TEST(ContextPaths, FillsAsCairoFillsWithinAntiAliasing) {
    std::mt19937 random(5);
    for (int trial = 0; trial < 40; ++trial) {
        Path shape = randomShape(random, trial);
        double scale = trial % 3 == 0 ? 1 : 2;
        Pair pair = drawBoth(scale, colours, shape, Draw::fill);
        Difference d = difference(pair.ours, pair.cairos);
        // Cairo samples each edge pixel where the mask is exact: a few levels on edges only.
        EXPECT_LE(d.largest, 24) << trial;
        EXPECT_LT(d.overFew, 0.02) << trial;
        EXPECT_LE(std::fabs(d.coverage), 0.06 * d.edgePixels) << trial << " " << d.edgePixels;
        // Well inside, the colour is the same.
        Rect bounds = shape.bounds();
        Point middle{bounds.midX(), bounds.midY()};
        if (shape.containsPoint(middle) && trial % 4 != 3) {
            EXPECT_EQ(pair.ours.pixelAtPoint(middle), pair.cairos.pixelAtPoint(middle)) << trial;
        }
    }
}

TEST(ContextPaths, StrokesClosedConvexShapesAsCairoWithEveryJoin) {
    std::mt19937 random(8);
    std::uniform_real_distribution<double> width(0.5, 3);
    for (int trial = 0; trial < 48; ++trial) {
        Path shape = randomShape(random, trial);
        double lineWidth = width(random);
        LineJoin join = trial % 3 == 0   ? LineJoin::miter
                        : trial % 3 == 1 ? LineJoin::bevel
                                         : LineJoin::round;
        auto setUp = [&](Context& context) {
            colours(context);
            context.setLineWidth(lineWidth);
            context.setLineJoin(join);
        };
        double scale = trial % 2 ? 1 : 2;
        Pair pair = drawBoth(scale, setUp, shape, Draw::stroke);
        Difference d = difference(pair.ours, pair.cairos);
        EXPECT_LE(d.largest, 40) << trial;
        EXPECT_LT(d.overFew, 0.05) << trial;
        EXPECT_LE(std::fabs(d.coverage), 0.06 * d.edgePixels) << trial << " " << d.edgePixels;
    }
}

TEST(ContextPaths, TheStripOutlineMatchesCairo) {
    // The strip's background: a rounded rect inset by half a point, filled and outlined 1 pt wide
    // (a short one: a long one is left to cairo).
    for (double scale : {1.0, 2.0}) {
        Path glass = Path::roundedRect(Rect{0, 0, 30, 22}.insetBy(0.5, 0.5), 7, 7);
        auto setUp = [](Context& context) {
            context.setFillColor(Color::grey(0.95, 0.6));
            context.setStrokeColor(Color::black().withAlpha(0.1));
            context.setLineWidth(1);
        };
        for (Draw draw : {Draw::fill, Draw::stroke}) {
            Pair pair = drawBoth(scale, setUp, glass, draw);
            Difference d = difference(pair.ours, pair.cairos);
            EXPECT_LE(d.largest, 12) << scale;
            EXPECT_LE(std::fabs(d.coverage), 0.06 * d.edgePixels) << scale;
            EXPECT_EQ(pair.ours.pixelAtPoint({15, 11}), pair.cairos.pixelAtPoint({15, 11}));
        }
        {
            // The outline of a straight side covers whole pixels, at scale 1 and 2 alike: the
            // same as cairo's, where the fill's edge half covers them and cairo's sampling
            // strays a little from one half.
            Pair pair = drawBoth(scale, setUp, glass, Draw::stroke);
            EXPECT_EQ(pair.ours.pixelAtPoint({15, 0.5}), pair.cairos.pixelAtPoint({15, 0.5}));
            EXPECT_EQ(pair.ours.pixelAtPoint({15, 0.5}).alpha, 25);
        }
        if (scale == 2) {
            Pair pair = drawBoth(scale, setUp, glass, Draw::stroke);
            pair.ours.writePng(
                testsupport::artifactPath("context-paths-outline-mask.png").string());
            pair.cairos.writePng(
                testsupport::artifactPath("context-paths-outline-cairo.png").string());
        }
    }
}

TEST(ContextPaths, WhatTheMaskDoesNotBuildIsLeftToCairo) {
    Path star;
    for (int i = 0; i < 5; ++i) {
        double angle = 2 * M_PI * (2 * i) / 5;
        Point p{30 + 15 * std::cos(angle), 20 + 15 * std::sin(angle)};
        i == 0 ? star.moveTo(p) : star.lineTo(p);
    }
    star.close();
    Path arc;
    arc.appendArc({30, 20}, 12, 200, -20, true);
    Path capsule = Path::roundedRect({5, 5, 50, 10}, 5, 5);
    Path thin = Path::roundedRect({5, 5, 50, 1}, 0.5, 0.5);
    auto with = [](std::function<void(Context&)> extra) {
        return [extra](Context& context) {
            colours(context);
            extra(context);
        };
    };
    auto nothing = [](Context&) {};
    struct Case {
        const char* name;
        std::function<void(Context&)> setUp;
        Path path;
        Draw draw;
        WindingRule rule = WindingRule::nonZero;
    };
    std::vector<Case> cases{
        {"even-odd", with(nothing), star, Draw::fill, WindingRule::evenOdd},
        {"rotated", with([](Context& c) { c.rotateDegrees(7); }), capsule, Draw::fill},
        {"rotated stroke", with([](Context& c) { c.rotateDegrees(7); }), capsule, Draw::stroke},
        {"source in", with([](Context& c) {
             c.fillRect({0, 0, 60, 40});
             c.setCompositingOperation(CompositingOperation::sourceIn);
         }),
         capsule, Draw::fill},
        {"stretched stroke", with([](Context& c) { c.scale(2, 1); }), capsule, Draw::stroke},
        {"not convex", with(nothing), star, Draw::stroke},
        {"no hole", with([](Context& c) { c.setLineWidth(3); }), thin, Draw::stroke},
        {"round cap", with([](Context& c) { c.setLineCap(LineCap::round); }), arc, Draw::stroke},
        {"miter open", with(nothing), arc, Draw::stroke},
        {"pixel-aligned rect", with(nothing), Path::rect({3, 4, 20, 10}), Draw::fill},
        {"rect", with(nothing), Path::rect({3.3, 4.2, 20, 10}), Draw::fill},
        {"large", with(nothing), Path::roundedRect({1, 1, 58, 38}, 6, 6), Draw::fill},
    };
    for (const Case& c : cases) {
        Pair pair = drawBoth(2, c.setUp, c.path, c.draw, c.rule);
        EXPECT_EQ(difference(pair.ours, pair.cairos).largest, 0) << c.name;
    }
}

// A layer painted back through a rounded clip, as charts are, against clipping and painting.
TEST(ContextPaths, PaintingThroughAPathIsClippingToIt) {
    auto paint = [](const Path& path, bool rotated, bool throughPath) {
        Bitmap bitmap = Bitmap::forPointSize(canvasSize, 2);
        Context context(bitmap);
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

    // The same path again comes from the kept mask, with the same pixels.
    ShapeMaskCache& cache = ShapeMaskCache::forThisThread();
    std::size_t renders = cache.renderCount();
    EXPECT_EQ(difference(paint(rounded, false, true), ours).largest, 0);
    EXPECT_EQ(cache.renderCount(), renders);

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

TEST(ContextPaths, MaskedShapesKeepTheClipOperatorShadowAndRecords) {
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

TEST(ContextPaths, ACurvedClipHoldingAMaskedShapeChangesNoneOfItsPixels) {
    // A bar inside the capsule it is clipped to, and one the capsule cuts.
    Path capsule = Path::roundedRect({1, 1, 58, 22}, 11, 11);
    for (Rect bar : {Rect{20, 4, 6, 16}, Rect{2, 2, 6, 16}}) {
        Path shape = Path::roundedRect(bar, 2, 2);
        Bitmap free = Bitmap::forPointSize(canvasSize, 2);
        Bitmap clipped = Bitmap::forPointSize(canvasSize, 2);
        for (Bitmap* bitmap : {&free, &clipped}) {
            Context context(*bitmap);
            colours(context);
            if (bitmap == &clipped) {
                context.clip(capsule);
            }
            context.fill(shape);
        }
        int differing = difference(clipped, free).largest;
        if (bar.minX() > 10) {
            EXPECT_EQ(differing, 0);
        } else {
            EXPECT_GT(differing, 0);
            EXPECT_EQ(clipped.pixelAtPoint({2.25, 2.25}).alpha, 0);
        }
    }
}

TEST(ContextPaths, APartDrawnAgainGetsThePixelsOfTheWhole) {
    // A small shape goes through the mask whatever the clip (how large it is on the device
    // decides, not how much of it shows), so a window that redraws one column of it gets what
    // drawing all of it gave there.
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
