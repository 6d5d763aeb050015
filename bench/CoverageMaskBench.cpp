#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ChartPainter.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/StrokeOutline.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <optional>
#include <vector>

namespace {

using namespace gfx;

// A history chart as a module image draws it every second: 60 samples across an 85 × 18 pt rect,
// filled down to its base and stroked 1 pt wide with bevel joins, at scale 2.
constexpr Size chartSize{85, 18};

std::vector<Point> chartLine(int tick) {
    std::vector<Point> line;
    for (int i = 0; i < 60; ++i) {
        line.push_back({i * (85.0 / 59), 1 + 16 * std::fabs(std::sin((i + tick) / 5.0))});
    }
    return line;
}

std::vector<Point> chartArea(int tick) {
    std::vector<Point> area = chartLine(tick);
    area.insert(area.begin(), {area.front().x, 0});
    area.push_back({area.back().x, 0});
    return area;
}

Path pathOf(const std::vector<Point>& points) {
    Path path;
    for (const Point& p : points) {
        path.isEmpty() ? path.moveTo(p) : path.lineTo(p);
    }
    return path;
}

// What Context::fill and stroke did before paths had masks of their own: cairo's scan converter
// and stroker on the context's cairo_t.
void cairoFill(Context& context, const Path& path) {
    cairo_t* cr = context.cairo();
    cairo_save(cr);
    context.applyOperation();
    cairo_new_path(cr);
    appendToCairo(cr, path);
    Color color = context.fillColor();
    cairo_set_source_rgba(cr, color.red(), color.green(), color.blue(), color.alpha());
    cairo_fill(cr);
    cairo_restore(cr);
}

void cairoStroke(Context& context, const Path& path) {
    cairo_t* cr = context.cairo();
    cairo_save(cr);
    context.applyOperation();
    cairo_new_path(cr);
    appendToCairo(cr, path);
    Color color = context.strokeColor();
    cairo_set_source_rgba(cr, color.red(), color.green(), color.blue(), color.alpha());
    cairo_set_line_width(cr, context.lineWidth());
    cairo_set_line_join(cr, context.lineJoin() == LineJoin::bevel ? CAIRO_LINE_JOIN_BEVEL
                                                                  : CAIRO_LINE_JOIN_MITER);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void useChartLine(Context& context) {
    context.setColor(Color::srgb(0.16, 0.58, 1));
    context.setLineWidth(1);
    context.setLineJoin(LineJoin::bevel);
}

// arg 0: cairo's fill of the path; arg 1: the coverage mask.
void BM_ChartFill(benchmark::State& state) {
    Bitmap bitmap = Bitmap::forPointSize(chartSize, 2);
    Context context(bitmap);
    useChartLine(context);
    int tick = 0;
    for (auto _ : state) {
        std::vector<std::vector<Point>> area{chartArea(tick++)};
        if (state.range(0) == 0) {
            Path path = pathOf(area[0]);
            path.close();
            cairoFill(context, path);
        } else {
            ChartPainter(context).fillPolygons(area);
        }
    }
}
BENCHMARK(BM_ChartFill)->ArgName("mask")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ChartStroke(benchmark::State& state) {
    Bitmap bitmap = Bitmap::forPointSize(chartSize, 2);
    Context context(bitmap);
    useChartLine(context);
    int tick = 0;
    for (auto _ : state) {
        std::vector<std::vector<Point>> line{chartLine(tick++)};
        if (state.range(0) == 0) {
            cairoStroke(context, pathOf(line[0]));
        } else {
            ChartPainter(context).strokePolylines(line);
        }
    }
}
BENCHMARK(BM_ChartStroke)->ArgName("mask")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The rasteriser alone, without compositing: the outline and coverage of the chart's line.
void BM_CoverageOfChartStroke(benchmark::State& state) {
    AffineTransform toDevice{2, 0, 0, -2, 0, 36};
    std::vector<std::uint8_t> pixels(170 * 36);
    int tick = 0;
    for (auto _ : state) {
        std::vector<Point> line = chartLine(tick++);
        CoverageMask mask(0, 0, 170, 36);
        bevelStrokeOutline(line, 1,
                           [&](std::span<const Point> piece) { mask.addPolygon(piece, toDevice); });
        mask.resolve(pixels.data(), 170);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_CoverageOfChartStroke)->Unit(benchmark::kMicrosecond);

// A status image's capsule: a rounded rect 16 pt high with round ends at scale 2, as drawCapsule
// fills it, 40 pt wide as in the images and wider. arg 0 cairo, arg 1 the context's mask.
void BM_CapsuleFill(benchmark::State& state) {
    double width = double(state.range(1));
    Bitmap bitmap = Bitmap::forPointSize({width + 4, 18}, 2);
    Context context(bitmap);
    context.setFillColor(Color::black().withAlpha(0.12));
    Path capsule = Path::roundedRect({2, 1, width, 16}, 5, 5);
    for (auto _ : state) {
        state.range(0) == 0 ? cairoFill(context, capsule) : context.fill(capsule);
    }
}
BENCHMARK(BM_CapsuleFill)
    ->ArgNames({"mask", "width"})
    ->ArgsProduct({{0, 1}, {40, 80, 160, 400}})
    ->Unit(benchmark::kMicrosecond);

// The strip's background: a 420 × 22 pt rounded rect inset half a point, filled and outlined
// 1 pt wide, at scale 2.
void BM_StripBackground(benchmark::State& state) {
    Bitmap bitmap = Bitmap::forPointSize({420, 22}, 2);
    Context context(bitmap);
    context.setFillColor(Color::grey(0.96, 0.7));
    context.setStrokeColor(Color::black().withAlpha(0.1));
    Path glass = Path::roundedRect(Rect{0, 0, 420, 22}.insetBy(0.5, 0.5), 7, 7);
    for (auto _ : state) {
        if (state.range(0) == 0) {
            cairoFill(context, glass);
            cairoStroke(context, glass);
        } else {
            context.fill(glass);
            context.stroke(glass);
        }
    }
}
BENCHMARK(BM_StripBackground)->ArgName("mask")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Why a rect on whole pixels stays with cairo: arg 0 cairo, arg 1 a mask; arg 2 says whether
// the rect lies on pixel boundaries.
void BM_RectFill(benchmark::State& state) {
    Bitmap bitmap = Bitmap::forPointSize({60, 22}, 2);
    Context context(bitmap);
    context.setFillColor(Color::black().withAlpha(0.3));
    Rect rect = state.range(1) ? Rect{2, 1, 40, 16} : Rect{2.3, 1.2, 40, 16};
    Path path = Path::rect(rect);
    AffineTransform toDevice{2, 0, 0, -2, 0, 44};
    for (auto _ : state) {
        if (state.range(0) == 0) {
            cairoFill(context, path);
        } else {
            cairo_t* cr = context.cairo();
            std::optional<CoverageMask> mask = CoverageMask::covering(cr, toDevice.apply(rect));
            std::vector<Point> corners{{rect.minX(), rect.minY()},
                                       {rect.maxX(), rect.minY()},
                                       {rect.maxX(), rect.maxY()},
                                       {rect.minX(), rect.maxY()}};
            mask->addPolygon(corners, toDevice);
            cairo_save(cr);
            cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
            mask->paint(cr);
            cairo_restore(cr);
        }
    }
}
BENCHMARK(BM_RectFill)
    ->ArgNames({"mask", "aligned"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

} // namespace
