#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ChartPainter.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/RecordingContext.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

namespace gfx {
namespace {

using PointLists = std::vector<std::vector<Point>>;

constexpr Size chartSize{90, 20};

// Two chains of a history chart in points: ragged lines across the width with a gap between.
PointLists chartLines(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> height(2, 18);
    PointLists lines(2);
    for (int i = 0; i < 60; ++i) {
        if (i == 30 || i == 31) {
            continue;
        }
        lines[i < 30 ? 0 : 1].push_back({1 + i * (88.0 / 59), height(random)});
    }
    return lines;
}

PointLists filledUnder(PointLists lines, double baseY) {
    for (std::vector<Point>& line : lines) {
        Point first = line.front(), last = line.back();
        line.insert(line.begin(), {first.x, baseY});
        line.push_back({last.x, baseY});
    }
    return lines;
}

Path pathOf(const PointLists& lists, bool closed) {
    Path path;
    for (const std::vector<Point>& points : lists) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            i == 0 ? path.moveTo(points[i]) : path.lineTo(points[i]);
        }
        if (closed && !points.empty()) {
            path.close();
        }
    }
    return path;
}

void useChartLine(Context& context) {
    context.setLineWidth(1);
    context.setLineCap(LineCap::butt);
    context.setLineJoin(LineJoin::bevel);
}

// The same drawing twice, once through the polygon calls and once through paths.
struct Pair {
    Bitmap polygons = Bitmap::forPointSize(chartSize, 2);
    Bitmap paths = Bitmap::forPointSize(chartSize, 2);
};

Pair drawBoth(const std::function<void(Context&)>& setUp, const PointLists& fills,
              const PointLists& strokes) {
    Pair pair;
    {
        Context context(pair.polygons);
        setUp(context);
        ChartPainter(context).fillPolygons(fills);
        ChartPainter(context).strokePolylines(strokes);
    }
    {
        Context context(pair.paths);
        setUp(context);
        context.fill(pathOf(fills, true));
        context.stroke(pathOf(strokes, false));
    }
    return pair;
}

int largestDifference(const Bitmap& a, const Bitmap& b) {
    int largest = 0;
    for (int row = 0; row < a.pixelsHigh(); ++row) {
        for (int column = 0; column < a.pixelsWide(); ++column) {
            Rgba8 p = a.pixel(column, row), q = b.pixel(column, row);
            for (auto [x, y] : {std::pair{p.red, q.red}, std::pair{p.green, q.green},
                                std::pair{p.blue, q.blue}, std::pair{p.alpha, q.alpha}}) {
                largest = std::max(largest, std::abs(int(x) - int(y)));
            }
        }
    }
    return largest;
}

TEST(ChartPainter, RecordTheSameAsTheirPaths) {
    PointLists lines = chartLines(3);
    PointLists areas = filledUnder(lines, 0);
    auto setUp = [](Context& context) {
        context.translate(4, 2);
        context.scale(0.5, 1);
        context.setAlpha(0.5);
        context.setColor(Color::srgb(0.2, 0.4, 0.9));
        context.setCompositingOperation(CompositingOperation::plusLighter);
        context.setLineWidth(1.5);
        context.setLineJoin(LineJoin::bevel);
    };
    RecordingContext polygons(chartSize, 2);
    setUp(polygons);
    ChartPainter(polygons).fillPolygons(areas);
    ChartPainter(polygons).strokePolylines(lines);
    ChartPainter(polygons).fillPolygons({});
    RecordingContext paths(chartSize, 2);
    setUp(paths);
    paths.fill(pathOf(areas, true));
    paths.stroke(pathOf(lines, false));
    paths.fill(Path());

    std::vector<FillRecord> fills = polygons.log().fills();
    std::vector<FillRecord> pathFills = paths.log().fills();
    ASSERT_EQ(fills.size(), 2u);
    ASSERT_EQ(pathFills.size(), 2u);
    for (std::size_t i = 0; i < fills.size(); ++i) {
        EXPECT_EQ(fills[i].color, pathFills[i].color);
        EXPECT_EQ(fills[i].bounds, pathFills[i].bounds);
        EXPECT_EQ(fills[i].operation, pathFills[i].operation);
        EXPECT_EQ(fills[i].alpha, pathFills[i].alpha);
    }
    std::vector<StrokeRecord> strokes = polygons.log().strokes();
    std::vector<StrokeRecord> pathStrokes = paths.log().strokes();
    ASSERT_EQ(strokes.size(), 1u);
    ASSERT_EQ(pathStrokes.size(), 1u);
    EXPECT_EQ(strokes[0].color, pathStrokes[0].color);
    EXPECT_EQ(strokes[0].bounds, pathStrokes[0].bounds);
    EXPECT_EQ(strokes[0].lineWidth, 1.5);
    EXPECT_EQ(strokes[0].alpha, pathStrokes[0].alpha);
}

TEST(ChartPainter, NotANumberOrAZeroScaleDrawsAndRecordsNothing) {
    double nan = std::numeric_limits<double>::quiet_NaN();
    RecordingContext context(chartSize, 2);
    ChartPainter(context).fillPolygons(PointLists{{{0, 0}, {10, 0}, {10, nan}}});
    ChartPainter(context).strokePolylines(
        PointLists{{{0, 0}, {std::numeric_limits<double>::infinity(), 5}}});
    context.save();
    context.scale(0, 1);
    ChartPainter(context).fillPolygons(PointLists{{{0, 0}, {10, 0}, {10, 10}}});
    context.restore();
    EXPECT_TRUE(context.log().records().empty());
    EXPECT_EQ(context.bitmap().pixel(4, 36).alpha, 0);
}

TEST(ChartPainter, DrawWhatTheirPathsDrawOnAnAlignedTransform) {
    for (unsigned seed : {1u, 2u, 3u}) {
        PointLists lines = chartLines(seed);
        Pair pair = drawBoth(
            [](Context& context) {
                useChartLine(context);
                context.setFillColor(Color::srgb(0.1, 0.5, 1).withAlpha(0.3));
                context.setStrokeColor(Color::srgb(0.1, 0.5, 1));
            },
            filledUnder(lines, 0), lines);
        // Only anti-aliasing differs: cairo samples where the mask is exact.
        EXPECT_LE(largestDifference(pair.polygons, pair.paths), 40) << seed;
        // Inside the area, on the line and above it, they agree.
        Point inside{lines[0][10].x, lines[0][10].y / 3};
        EXPECT_EQ(pair.polygons.pixelAtPoint(inside), pair.paths.pixelAtPoint(inside));
        EXPECT_EQ(pair.polygons.pixelAtPoint({inside.x, 19.8}).alpha, 0);
        Point onLine = lines[1][5];
        EXPECT_GT(pair.polygons.pixelAtPoint(onLine).alpha, 200);
    }
}

TEST(ChartPainter, AnyOtherTransformOrJoinDrawsThroughPaths) {
    PointLists lines = chartLines(9);
    PointLists areas = filledUnder(lines, 1);
    auto colours = [](Context& context) {
        context.setFillColor(Color::srgb(0.9, 0.3, 0.1).withAlpha(0.6));
        context.setStrokeColor(Color::srgb(0.1, 0.2, 0.9));
    };
    std::vector<std::function<void(Context&)>> setUps{
        [&](Context& context) {
            colours(context);
            useChartLine(context);
            context.rotateDegrees(8);
        },
        [&](Context& context) {
            colours(context);
            context.setLineJoin(LineJoin::miter);
        },
        [&](Context& context) {
            colours(context);
            useChartLine(context);
            context.setLineDash({2, 1});
        },
        [&](Context& context) {
            colours(context);
            useChartLine(context);
            context.setLineCap(LineCap::round);
        },
    };
    for (std::size_t i = 0; i < setUps.size(); ++i) {
        Pair pair = drawBoth(setUps[i], i == 0 ? areas : PointLists{}, lines);
        EXPECT_EQ(largestDifference(pair.polygons, pair.paths), 0) << i;
    }

    // An operator that reaches outside the shape is left to cairo too.
    auto destinationIn = [&](Context& context) {
        context.setFillColor(Color::white());
        context.fillRect({0, 0, 90, 20});
        colours(context);
        context.setCompositingOperation(CompositingOperation::sourceIn);
    };
    Pair pair = drawBoth(destinationIn, areas, {});
    EXPECT_EQ(largestDifference(pair.polygons, pair.paths), 0);
    EXPECT_EQ(pair.polygons.pixelAtPoint({45, 19.5}).alpha, 0);
}

TEST(ChartPainter, StayWithinTheClip) {
    Bitmap bitmap = Bitmap::forPointSize(chartSize, 2);
    Context context(bitmap);
    context.clipToRect({10, 5, 20, 10});
    ChartPainter(context).fillPolygons(PointLists{{{0, 0}, {90, 0}, {90, 20}, {0, 20}}});
    EXPECT_EQ(bitmap.pixelAtPoint({15, 10}).alpha, 255);
    EXPECT_EQ(bitmap.pixelAtPoint({9.8, 10}).alpha, 0);
    EXPECT_EQ(bitmap.pixelAtPoint({30.2, 10}).alpha, 0);
    EXPECT_EQ(bitmap.pixelAtPoint({15, 4.8}).alpha, 0);
    EXPECT_EQ(bitmap.pixelAtPoint({15, 15.2}).alpha, 0);
}

TEST(ChartPainter, CastTheContextsShadow) {
    PointLists lines{{{10, 14}, {40, 14}, {70, 16}}};
    Pair pair = drawBoth(
        [](Context& context) {
            useChartLine(context);
            context.setShadow(Shadow{Color::black().withAlpha(0.5), 1, {0, -4}});
        },
        filledUnder(lines, 12), lines);
    // The shadow lies 4 pt below, under nothing else.
    Point shaded{40, 9.5};
    EXPECT_GT(pair.polygons.pixelAtPoint(shaded).alpha, 40);
    EXPECT_NEAR(pair.polygons.pixelAtPoint(shaded).alpha, pair.paths.pixelAtPoint(shaded).alpha, 4);
    EXPECT_LE(largestDifference(pair.polygons, pair.paths), 40);
}

// A chart drawn in a colour per sample, as the temperature chart is: one run per segment.
std::vector<ColoredPoints> segmentRuns(const std::vector<Point>& line, double baseY, bool fill) {
    std::vector<ColoredPoints> runs;
    for (std::size_t i = 1; i < line.size(); ++i) {
        double hue = double(i) / double(line.size());
        Color color = Color::srgb(hue, 0.8 - hue / 2, 1 - hue).withAlpha(fill ? 0.35 : 1);
        std::vector<Point> points{line[i - 1], line[i]};
        if (fill) {
            points.insert(points.begin(), {line[i - 1].x, baseY});
            points.push_back({line[i].x, baseY});
        }
        runs.push_back({color, {points}});
    }
    return runs;
}

Pair drawRunsBoth(const std::function<void(Context&)>& setUp,
                  const std::vector<ColoredPoints>& fills,
                  const std::vector<ColoredPoints>& strokes) {
    Pair pair;
    {
        Context context(pair.polygons);
        setUp(context);
        ChartPainter(context).fillPolygonRuns(fills);
        ChartPainter(context).strokePolylineRuns(strokes);
    }
    {
        Context context(pair.paths);
        setUp(context);
        for (const ColoredPoints& run : fills) {
            context.setFillColor(run.color);
            ChartPainter(context).fillPolygons(run.lists);
        }
        for (const ColoredPoints& run : strokes) {
            context.setStrokeColor(run.color);
            ChartPainter(context).strokePolylines(run.lists);
        }
    }
    return pair;
}

TEST(ChartPainter, RunsRecordAndLeaveTheColourAsEachRunInTurnWould) {
    std::vector<Point> line = chartLines(4)[0];
    std::vector<ColoredPoints> fills = segmentRuns(line, 0, true);
    std::vector<ColoredPoints> strokes = segmentRuns(line, 0, false);
    RecordingContext together(chartSize, 2);
    useChartLine(together);
    ChartPainter(together).fillPolygonRuns(fills);
    ChartPainter(together).strokePolylineRuns(strokes);
    RecordingContext apart(chartSize, 2);
    useChartLine(apart);
    for (const ColoredPoints& run : fills) {
        apart.setFillColor(run.color);
        ChartPainter(apart).fillPolygons(run.lists);
    }
    for (const ColoredPoints& run : strokes) {
        apart.setStrokeColor(run.color);
        ChartPainter(apart).strokePolylines(run.lists);
    }
    std::vector<FillRecord> fillRecords = together.log().fills();
    ASSERT_EQ(fillRecords.size(), fills.size());
    for (std::size_t i = 0; i < fillRecords.size(); ++i) {
        EXPECT_EQ(fillRecords[i].color, apart.log().fills()[i].color);
        EXPECT_EQ(fillRecords[i].bounds, apart.log().fills()[i].bounds);
    }
    std::vector<StrokeRecord> strokeRecords = together.log().strokes();
    ASSERT_EQ(strokeRecords.size(), strokes.size());
    for (std::size_t i = 0; i < strokeRecords.size(); ++i) {
        EXPECT_EQ(strokeRecords[i].color, apart.log().strokes()[i].color);
        EXPECT_EQ(strokeRecords[i].bounds, apart.log().strokes()[i].bounds);
    }
    EXPECT_EQ(together.fillColor(), fills.back().color);
    EXPECT_EQ(together.strokeColor(), strokes.back().color);
}

TEST(ChartPainter, RunsInOneLayerDrawWhatEachRunDraws) {
    for (unsigned seed : {5u, 6u}) {
        // Samples 7.5 pt (15 pixels) apart, so that most columns lie inside one run.
        std::vector<Point> line;
        std::mt19937 random(seed);
        for (int i = 0; i < 12; ++i) {
            line.push_back({1 + i * 7.5, std::uniform_real_distribution<double>(2, 18)(random)});
        }
        auto setUp = [](Context& context) {
            context.setFillColor(Color::srgb(0.5, 0.5, 0.5));
            context.fillRect({0, 0, 90, 10});
            context.clipToRect({0, 1, 90, 18});
            useChartLine(context);
        };
        Pair pair = drawRunsBoth(setUp, segmentRuns(line, 1, true), segmentRuns(line, 1, false));
        // Only where two runs share a pixel, next to the sample they meet at, may the rounding
        // differ.
        EXPECT_LE(largestDifference(pair.polygons, pair.paths), 2) << seed;
        auto nearASample = [&](int column) {
            return std::any_of(line.begin(), line.end(), [&](const Point& p) {
                return std::fabs(p.x * 2 - (column + 0.5)) < 2.5;
            });
        };
        for (int row = 0; row < pair.paths.pixelsHigh(); ++row) {
            for (int column = 0; column < pair.paths.pixelsWide(); ++column) {
                if (!nearASample(column)) {
                    EXPECT_EQ(pair.polygons.pixel(column, row), pair.paths.pixel(column, row))
                        << column << "," << row;
                }
            }
        }
        EXPECT_EQ(pair.polygons.pixelAtPoint({45, 0.5}), pair.paths.pixelAtPoint({45, 0.5}));
    }
}

TEST(ChartPainter, RunsWithAShadowOrAnotherOperatorDrawOneByOne) {
    std::vector<Point> line = chartLines(8)[1];
    std::vector<std::function<void(Context&)>> setUps{
        [](Context& context) {
            useChartLine(context);
            context.setShadow(Shadow{Color::black().withAlpha(0.5), 1, {0, -2}});
        },
        [](Context& context) {
            useChartLine(context);
            context.setCompositingOperation(CompositingOperation::plusLighter);
        },
        [](Context& context) {
            useChartLine(context);
            context.rotateDegrees(3);
        },
    };
    for (std::size_t i = 0; i < setUps.size(); ++i) {
        Pair pair =
            drawRunsBoth(setUps[i], segmentRuns(line, 2, true), segmentRuns(line, 2, false));
        EXPECT_EQ(largestDifference(pair.polygons, pair.paths), 0) << i;
    }
}

// A chart filled to the top and a line near its top edge, clipped to a capsule round at its left
// end (centre (13, 10), radius 8), in each state the painter meets: its own layer, and the ways
// it hands a drawing to a shaped layer or to cairo's clip.
TEST(ChartPainter, ClippedDrawingsStopAtTheRoundEnd) {
    const Rect chart{5, 2, 80, 16};
    Path leftRounded;
    leftRounded.moveTo({13, 2});
    leftRounded.lineTo({85, 2});
    leftRounded.lineTo({85, 18});
    leftRounded.lineTo({13, 18});
    leftRounded.appendArc({13, 10}, 8, 90, 270, false);
    leftRounded.close();
    const Color area = Color::srgb(1, 0, 0);
    const Color line = Color::srgb(0, 0, 1);
    struct Case {
        const char* name;
        std::function<void(Context&)> setUp;
        // Whether the line is drawn with a state the layer cannot take, after the area.
        bool roundLine = false;
    };
    const Case cases[] = {
        {"own layer", [](Context&) {}},
        {"flipped", [](Context& c) { c.translate(0, 20), c.scale(1, -1); }},
        {"rotated",
         [](Context& c) { c.translate(45, 10), c.rotateDegrees(2), c.translate(-45, -10); }},
        {"shadow",
         [](Context& c) {
             c.setShadow(Shadow{Color::black(), 1, {0, -30}});
         }},
        {"line after the layer", [](Context&) {}, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Bitmap bitmap = Bitmap::forPointSize(chartSize, 2);
        AffineTransform toBase;
        {
            Context context(bitmap);
            test.setUp(context);
            toBase = context.currentTransform();
            ChartPainter painter(context, leftRounded);
            context.setFillColor(area);
            painter.fillPolygons(PointLists{{{0, 0}, {90, 0}, {90, 20}, {0, 20}}});
            useChartLine(context);
            if (test.roundLine) {
                context.setLineJoin(LineJoin::round);
            }
            context.setStrokeColor(line);
            painter.strokePolylines(PointLists{{{0, 3}, {45, 3}, {90, 3}}});
        }
        auto at = [&](Point point) { return bitmap.pixelAtPoint(toBase.apply(point)); };
        // Outside the curve, where the line crosses the round end and at both left corners.
        for (Point outside : {Point{6, 3}, Point{7.5, 3}, Point{6, 17}, Point{4, 10}}) {
            EXPECT_EQ(at(outside).alpha, 0) << outside.x << ", " << outside.y;
        }
        // Just inside the curve the area is whole, and the line is drawn once it is past it.
        Rgba8 inside = at({9, 6});
        EXPECT_EQ(inside.alpha, 255);
        EXPECT_EQ(inside.red, 255);
        Rgba8 onLine = at({12, 3});
        EXPECT_EQ(onLine.alpha, 255);
        EXPECT_EQ(onLine.blue, 255);
        // The right end is square: a corner a round end would leave out is whole.
        EXPECT_EQ(at({84, 16.5}).alpha, 255);
        EXPECT_EQ(at({86, 10}).alpha, 0);
    }
}

} // namespace
} // namespace gfx
