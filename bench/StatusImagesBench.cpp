#include "drawing/FanBladeGlyph.h"
#include "drawing/RenderedBitmapImage.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/MemoryStatusImage.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/NetworkStatusImage.h"
#include "statusbar/StatusLayout.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <deque>
#include <vector>

namespace {

using namespace pulsedeck;

// Each benchmark renders a module image the way the strip does once a second: a full 60-sample
// history that moves on by one sample per iteration, drawn and rendered at scale 2.

MemorySnapshot memorySnapshot() {
    MemorySnapshot snapshot;
    snapshot.physical = "32.00 GB";
    snapshot.used = "17.42 GB";
    snapshot.cached = "9.07 GB";
    snapshot.swap = "1.25 GB";
    snapshot.pressure = 1;
    snapshot.usedFraction = 0.54;
    return snapshot;
}

void BM_MemoryImage(benchmark::State& state) {
    pulsedeck::CapsuleCache capsules;
    DisplayMode mode = static_cast<DisplayMode>(state.range(0));
    bool chart = state.range(1) != 0;
    std::deque<PressurePoint> ring;
    for (int i = 0; i < 60; ++i) {
        ring.push_back({0.3 + 0.2 * std::sin(i / 7.0), i % 20 < 15 ? 1 : 2});
    }
    std::vector<PressurePoint> history(ring.begin(), ring.end());
    MemorySnapshot snapshot = memorySnapshot();
    int tick = 0;
    for (auto _ : state) {
        ring.pop_front();
        ring.push_back({0.3 + 0.2 * std::sin(tick++ / 7.0), 1});
        history.assign(ring.begin(), ring.end());
        gfx::Image image = memoryStatusImage(capsules, {.dark = true,
                                                        .showChart = chart,
                                                        .history = history,
                                                        .snapshot = snapshot,
                                                        .mode = mode,
                                                        .chartLength = 85});
        benchmark::DoNotOptimize(image.bitmap());
    }
}
BENCHMARK(BM_MemoryImage)
    ->ArgNames({"mode", "chart"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

void BM_NetworkImage(benchmark::State& state) {
    pulsedeck::CapsuleCache capsules;
    bool graph = state.range(0) != 0;
    std::deque<NetworkSnapshot> ring;
    for (int i = 0; i < 60; ++i) {
        ring.push_back({2e6 * std::fabs(std::sin(i / 5.0)), 3e5, {"eth0"}});
    }
    std::vector<NetworkSnapshot> history(ring.begin(), ring.end());
    int tick = 0;
    for (auto _ : state) {
        ring.pop_front();
        ring.push_back({2e6 * std::fabs(std::sin(tick++ / 5.0)), 3e5, {"eth0"}});
        history.assign(ring.begin(), ring.end());
        gfx::Image image = networkStatusImage(capsules, {.dark = false,
                                                         .showsGraph = graph,
                                                         .history = history,
                                                         .colors = {.blue = true, .colored = true},
                                                         .download = history.back().download,
                                                         .upload = history.back().upload,
                                                         .chartLength = 85});
        benchmark::DoNotOptimize(image.bitmap());
    }
}
BENCHMARK(BM_NetworkImage)->ArgName("graph")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The temperature chart segment in its capsule, as the temperature image composes it.
void BM_TemperatureChartImage(benchmark::State& state) {
    std::deque<std::optional<double>> ring;
    for (int i = 0; i < 60; ++i) {
        ring.push_back(50 + 30 * std::fabs(std::sin(i / 9.0)));
    }
    std::vector<std::optional<double>> history(ring.begin(), ring.end());
    int tick = 0;
    for (auto _ : state) {
        ring.pop_front();
        ring.push_back(50 + 30 * std::fabs(std::sin(tick++ / 9.0)));
        history.assign(ring.begin(), ring.end());
        gfx::Image image = gfx::Image::withDrawingHandler(
            {135, 24}, false, [&](gfx::Context& context, const gfx::Rect& rect) {
                return drawCapsule(context, false, rect,
                                   [&](const gfx::Color& foreground, const gfx::Rect& imageRect) {
                                       drawGraphWithValue(context, foreground, imageRect,
                                                          {5, 3, 85, 18}, history, std::nullopt,
                                                          AppLanguage::english, history.back());
                                   });
            });
        benchmark::DoNotOptimize(renderedBitmapImage(image, 2, false).bitmap());
    }
}
BENCHMARK(BM_TemperatureChartImage)->Unit(benchmark::kMicrosecond);

void BM_AppMarkImage(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(appMarkImage(true).bitmap());
    }
}
BENCHMARK(BM_AppMarkImage)->Unit(benchmark::kMicrosecond);

// One rotor frame: speed arcs and blades in a 24 × 24 image at scale 2.
void BM_FanBladesFrame(benchmark::State& state) {
    double rotation = 0;
    for (auto _ : state) {
        rotation = std::fmod(rotation + 2, 120);
        gfx::Image frame = gfx::Image::withDrawingHandler(
            {24, 24}, false, [rotation](gfx::Context& context, const gfx::Rect&) {
                gfx::Path arcs = *fanMotionArcs(true, {12, 12}, 7.1, rotation);
                arcs.setLineWidth(0.45);
                context.setStrokeColor(gfx::Color::white().withAlpha(0.46));
                arcs.stroke(context);
                drawFanBlades(context, gfx::Color::white(), rotation, 0.9, {12, 12}, 7.1);
                return true;
            });
        benchmark::DoNotOptimize(renderedBitmapImage(frame, 2, true).bitmap());
    }
}
BENCHMARK(BM_FanBladesFrame)->Unit(benchmark::kMicrosecond);

void BM_MeasureMemoryLayout(benchmark::State& state) {
    MemorySnapshot snapshot = memorySnapshot();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            StatusLayout::measure(DisplayMode::four, AppLanguage::english, snapshot, true, 85));
    }
}
BENCHMARK(BM_MeasureMemoryLayout)->Unit(benchmark::kMicrosecond);

} // namespace
