#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/StrokeOutline.h"

#include <benchmark/benchmark.h>
#include <cmath>
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
            context.fill(path);
        } else {
            context.fillPolygons(area);
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
            context.stroke(pathOf(line[0]));
        } else {
            context.strokePolylines(line);
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

} // namespace
