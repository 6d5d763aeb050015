#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "statusbar/EditingPanels.h"
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
// status rebuild. The fan's backdrop stays: the strip keeps it while its figures stand.
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
        for (ModuleKind kind : {ModuleKind::memory, ModuleKind::network, ModuleKind::temperature,
                                ModuleKind::compute, ModuleKind::devices}) {
            std::optional<gfx::Image> image = strip->moduleImage(kind);
            fresh(image);
            strip->setModuleImage(kind, std::move(image));
        }
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
    dispatch::VirtualClock clock{1000.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    const striptest::SampleReadings readings;
    auto strip = sampleStrip(readings);
    // Halfway through the pulse.
    strip->startDeviceAttentionPulse();
    clock.advance(0.36);
    loop.advanceAndRunDue(0);
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

// The strip as the program shows it: drawn by an editing panel over the status item, on a
// headless scale-1 screen.
class PresentedStrip {
public:
    PresentedStrip() {
        strip = std::make_shared<MenuBarContentView>(gfx::Rect{0, 0, 700, 24});
        striptest::fillSampleStrip(*strip, readings, false);
        strip->setFrameSize({strip->requiredWidth(), 24});
        item = ui::StatusBar::system().statusItem(strip->requiredWidth());
        item->setView(strip);
        panels = std::make_unique<pulsedeck::EditingPanels>(strip);
        strip->editingDisplayAction = [this] { panels->redrawSurfaces(); };
        conditions.surfacesReady = true;
        panels->refresh(conditions);
        loop.runUntilIdle();
    }
    ~PresentedStrip() { panels.reset(); }

    // What a status rebuild leaves: new images for the given modules, the whole strip asked
    // for, the panels refreshed; then the windows draw what was marked.
    // The strip's setters mark the columns of the modules whose picture changed.
    void rebuild(std::initializer_list<ModuleKind> changed) {
        for (ModuleKind kind : changed)
            if (const auto& image = strip->moduleImage(kind); image && image->bitmap())
                strip->setModuleImage(kind, gfx::Image::withBitmap(image->bitmap()->copy()));
        panels->refresh(conditions);
        loop.runUntilIdle();
    }

    dispatch::VirtualClock clock{1000.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{{ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1)},
                                    clock};
    ui::Application app{server, loop};
    const striptest::SampleReadings readings;
    std::shared_ptr<MenuBarContentView> strip;
    std::shared_ptr<ui::StatusItem> item;
    std::unique_ptr<pulsedeck::EditingPanels> panels;
    pulsedeck::EditingPanels::Conditions conditions;
};

// One second of the strip's drawing at rest: the memory, network and compute images are new,
// the others kept; the status bar's window and the editing panel draw and present.
void BM_PresentedStripAfterRebuild(benchmark::State& state) {
    PresentedStrip presented;
    for (auto _ : state)
        presented.rebuild({ModuleKind::memory, ModuleKind::network, ModuleKind::compute});
}
BENCHMARK(BM_PresentedStripAfterRebuild)->Unit(benchmark::kMicrosecond);

// The same when no module's picture changed.
void BM_PresentedStripAfterQuietRebuild(benchmark::State& state) {
    PresentedStrip presented;
    for (auto _ : state)
        presented.rebuild({});
}
BENCHMARK(BM_PresentedStripAfterQuietRebuild)->Unit(benchmark::kMicrosecond);

} // namespace
