#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/ComputeStatusImage.h"
#include "statusbar/FanModeMorph.h"
#include "statusbar/FanStatusImage.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/TemperatureStatusImage.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <ctime>

namespace {

using namespace pulsedeck;

// One frame of each transition is one bitmap of the module at that moment's width, rendered at
// scale 2; the strip composites it. Arguments are the progress in percent.

std::vector<std::optional<double>> wave(double scale) {
    std::vector<std::optional<double>> values;
    for (int i = 0; i < 60; ++i) {
        values.push_back((0.5 + 0.4 * std::sin(i / 5.0)) * scale);
    }
    return values;
}

FanPicture fanPicture() {
    FanPicture picture;
    picture.snapshot = {"Bench", {{0, 4200, 6000}, {1, 3900, 6000}}, 2};
    picture.history = wave(1);
    return picture;
}

TemperaturePicture temperaturePicture() {
    TemperaturePicture picture;
    picture.celsius = 68;
    picture.history = wave(100);
    return picture;
}

ComputePicture computePicture() {
    ComputePicture picture;
    for (int i = 0; i < 60; ++i) {
        ComputeSnapshot snapshot;
        snapshot.cpu = 45 + 35 * std::sin(i / 6.0);
        snapshot.gpu = 20 + 15 * std::cos(i / 4.0);
        picture.history.push_back(snapshot);
    }
    picture.snapshot = picture.history.back();
    return picture;
}

double progressArgument(const benchmark::State& state) {
    return static_cast<double>(state.range(0)) / 100;
}

void BM_FanMorphFrame(benchmark::State& state) {
    const FanPicture picture = fanPicture();
    const double g = progressArgument(state);
    for (auto _ : state) {
        gfx::Image frame = fanTransitionImage(picture, g);
        benchmark::DoNotOptimize(frame.bitmap());
    }
}
BENCHMARK(BM_FanMorphFrame)->Arg(20)->Arg(50)->Arg(90)->Unit(benchmark::kMicrosecond);

void BM_TemperatureMorphFrame(benchmark::State& state) {
    pulsedeck::CapsuleCache capsules;
    const TemperaturePicture picture = temperaturePicture();
    const double p = progressArgument(state);
    for (auto _ : state) {
        gfx::Image frame = temperatureStatusImage(capsules, picture, p, 0.6);
        benchmark::DoNotOptimize(frame.bitmap());
    }
}
BENCHMARK(BM_TemperatureMorphFrame)->Arg(20)->Arg(50)->Arg(90)->Unit(benchmark::kMicrosecond);

void BM_ComputeMorphFrame(benchmark::State& state) {
    pulsedeck::CapsuleCache capsules;
    ComputePicture picture = computePicture();
    picture.progress = progressArgument(state);
    for (auto _ : state) {
        gfx::Image frame = computeStatusImage(capsules, picture);
        benchmark::DoNotOptimize(frame.bitmap());
    }
}
BENCHMARK(BM_ComputeMorphFrame)->Arg(20)->Arg(50)->Arg(90)->Unit(benchmark::kMicrosecond);

void BM_ComputeCrossFadeFrame(benchmark::State& state) {
    pulsedeck::CapsuleCache capsules;
    ComputePicture picture = computePicture();
    picture.progress = 1;
    picture.compactProgress = progressArgument(state);
    for (auto _ : state) {
        gfx::Image frame = computeStatusImage(capsules, picture);
        benchmark::DoNotOptimize(frame.bitmap());
    }
}
BENCHMARK(BM_ComputeCrossFadeFrame)->Arg(20)->Arg(50)->Arg(90)->Unit(benchmark::kMicrosecond);

// A full load's text shrinks its font until it fits the room of "99%".
void BM_FittedPercentFontOfAFullLoad(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(fittedPercentFont("100%").pointSize());
    }
}
BENCHMARK(BM_FittedPercentFontOfAFullLoad)->Unit(benchmark::kMicrosecond);

// Once per mode change: the 181-step profiles.
void BM_FanMotionProfile(benchmark::State& state) {
    const FanPicture picture = fanPicture();
    for (auto _ : state) {
        benchmark::DoNotOptimize(fanMotionProfile(picture).distances.data());
    }
}
BENCHMARK(BM_FanMotionProfile)->Unit(benchmark::kMicrosecond);

void BM_TemperatureMotionProfile(benchmark::State& state) {
    const TemperaturePicture picture = temperaturePicture();
    for (auto _ : state) {
        benchmark::DoNotOptimize(temperatureMotionProfile(picture, 0.6).distances.data());
    }
}
BENCHMARK(BM_TemperatureMotionProfile)->Unit(benchmark::kMicrosecond);

// The fan images the rebuild makes every second (ring and graph backdrops).
void BM_FanBackdrops(benchmark::State& state) {
    const FanPicture picture = fanPicture();
    for (auto _ : state) {
        gfx::Image ring = fanRingImage(picture);
        gfx::Image graph = fanGraphImage(picture);
        benchmark::DoNotOptimize(ring.bitmap());
        benchmark::DoNotOptimize(graph.bitmap());
    }
}
BENCHMARK(BM_FanBackdrops)->Unit(benchmark::kMicrosecond);

double processCPUSeconds() {
    timespec cpuTime{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuTime);
    return static_cast<double>(cpuTime.tv_sec) + static_cast<double>(cpuTime.tv_nsec) * 1e-9;
}

// One second of a turning rotor at the animation mode's rate (argument: off 0, efficient 1,
// smooth 2) on a virtual clock: every timer redraw repaints the fan module's rect of the strip
// into a scale-2 window backing, as the window would. The "cpu_per_second" counter is the
// processor time that second costs, as a fraction of the second.
void BM_RotorSecond(benchmark::State& state) {
    dispatch::VirtualClock clock{1000.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{clock};
    ui::Application app{server, loop};

    auto strip = std::make_shared<MenuBarContentView>(gfx::Rect{0, 0, 60, 24});
    strip->setOrder({ModuleKind::fan});
    gfx::Bitmap backing = gfx::Bitmap::forPointSize(strip->bounds().size, 2);
    strip->editingRectAction = [&](const gfx::Rect& rect) {
        gfx::Context context(backing);
        context.clearRect(rect);
        strip->drawStrip(context, true, rect);
    };
    MenuBarContentView::FanInputs fan;
    fan.snapshot = fanPicture().snapshot;
    fan.animation = static_cast<FanAnimationMode>(state.range(0));
    strip->setFanInputs(fan);
    strip->relayout();

    double cpu = 0;
    for (auto _ : state) {
        const double before = processCPUSeconds();
        loop.advanceAndRunDue(1.0);
        cpu += processCPUSeconds() - before;
    }
    state.counters["cpu_per_second"] =
        benchmark::Counter(cpu / static_cast<double>(state.iterations()));
    strip->setFanMode(FanDisplayMode::hidden);
    strip->renderFanImage();
}
BENCHMARK(BM_RotorSecond)->ArgName("mode")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

} // namespace
