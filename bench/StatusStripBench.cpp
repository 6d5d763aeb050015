#include "statusbar/MenuBarContentView.h"
#include "statusbar/SampleStrip.h"

#include <benchmark/benchmark.h>

namespace {

using pulsedeck::MenuBarContentView;
using pulsedeck::ModuleKind;

// The strip with all six modules, as the status item shows it every second.
std::shared_ptr<MenuBarContentView> sampleStrip(const striptest::SampleReadings& readings) {
    auto strip = std::make_shared<MenuBarContentView>(gfx::Rect{0, 0, 700, 24});
    striptest::fillSampleStrip(*strip, readings, false);
    strip->setFrameSize({strip->requiredWidth(), 24});
    return strip;
}

// One full strip draw into a window backing of the given scale: six bitmaps composited, the
// selection capsule and the rotor frame.
void BM_FullStripDraw(benchmark::State& state) {
    const striptest::SampleReadings readings;
    auto strip = sampleStrip(readings);
    strip->setActiveModule(ModuleKind::network);
    const double scale = static_cast<double>(state.range(0));
    gfx::Bitmap backing = gfx::Bitmap::forPointSize(strip->bounds().size, scale);
    for (auto _ : state) {
        gfx::Context context(backing);
        context.clearRect(strip->bounds());
        strip->drawStrip(context, true, strip->bounds());
        benchmark::DoNotOptimize(backing.surface());
    }
}
BENCHMARK(BM_FullStripDraw)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Every module image as a sample leaves them: new images (copies of the same bitmaps, so
// nothing halved before), drawn once at the given scale, as the strip's window does after each
// status rebuild.
void BM_FullStripDrawFreshImages(benchmark::State& state) {
    const striptest::SampleReadings readings;
    auto strip = sampleStrip(readings);
    const double scale = static_cast<double>(state.range(0));
    gfx::Bitmap backing = gfx::Bitmap::forPointSize(strip->bounds().size, scale);
    auto fresh = [](std::optional<gfx::Image>& image) {
        if (image && image->bitmap())
            image = gfx::Image::withBitmap(image->bitmap()->copy());
    };
    for (auto _ : state) {
        state.PauseTiming();
        for (auto* image : {&strip->memoryImage, &strip->networkImage, &strip->temperatureImage,
                            &strip->computeImage, &strip->devicesImage, &strip->ringBackdrop})
            fresh(*image);
        state.ResumeTiming();
        gfx::Context context(backing);
        context.clearRect(strip->bounds());
        strip->drawStrip(context, true, strip->bounds());
        benchmark::DoNotOptimize(backing.surface());
    }
}
BENCHMARK(BM_FullStripDrawFreshImages)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The same while a device arrives: the glow adds a blurred shadow.
void BM_FullStripDrawWithDeviceGlow(benchmark::State& state) {
    const striptest::SampleReadings readings;
    auto strip = sampleStrip(readings);
    strip->deviceAttentionProgress = 0.5;
    const double scale = static_cast<double>(state.range(0));
    gfx::Bitmap backing = gfx::Bitmap::forPointSize(strip->bounds().size, scale);
    for (auto _ : state) {
        gfx::Context context(backing);
        context.clearRect(strip->bounds());
        strip->drawStrip(context, true, strip->bounds());
        benchmark::DoNotOptimize(backing.surface());
    }
}
BENCHMARK(BM_FullStripDrawWithDeviceGlow)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// One frame of the pulse or the rotor: only the dirty module is painted.
void BM_SingleModuleRedraw(benchmark::State& state) {
    const striptest::SampleReadings readings;
    auto strip = sampleStrip(readings);
    gfx::Bitmap backing = gfx::Bitmap::forPointSize(strip->bounds().size, 1);
    const gfx::Rect fan = strip->rect(ModuleKind::fan);
    for (auto _ : state) {
        gfx::Context context(backing);
        context.clipToRect(fan);
        context.clearRect(fan);
        strip->drawStrip(context, true, fan);
        benchmark::DoNotOptimize(backing.surface());
    }
}
BENCHMARK(BM_SingleModuleRedraw)->Unit(benchmark::kMicrosecond);

// Layout alone: what every sample's relayout costs.
void BM_LayoutModuleRects(benchmark::State& state) {
    const striptest::SampleReadings readings;
    auto strip = sampleStrip(readings);
    for (auto _ : state)
        benchmark::DoNotOptimize(strip->layoutModuleRects());
}
BENCHMARK(BM_LayoutModuleRects);

} // namespace
