#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "platform/toolkit/x11/SolidShape.h"
#include "statusbar/EditingPanels.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/SampleStrip.h"
#include "support/MenuBarContentViewProbe.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <numeric>

namespace {

using Probe = pulsedeck::MenuBarContentViewProbe;

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
    Probe::startDeviceAttentionPulse(*strip);
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

// The strip as a window without a compositor presents it each second: the glass with the strip
// over it, made solid and shaped column by column. Two seconds' pictures alternate, so each pass
// sees what one more sample changes: the charts move, the glass and the other modules stay.
// Arguments: the memory or the compute column; whether the seconds alternate (0: the same
// picture again); whether the copy comes cold.
void BM_SolidifyStripColumns(benchmark::State& state) {
    striptest::SampleReadings readings[2];
    std::rotate(readings[1].memoryHistory.begin(), readings[1].memoryHistory.begin() + 1,
                readings[1].memoryHistory.end());
    std::rotate(readings[1].computeHistory.begin(), readings[1].computeHistory.begin() + 1,
                readings[1].computeHistory.end());
    std::vector<gfx::Bitmap> seconds;
    seconds.reserve(2);
    gfx::Rect columns[2];
    for (const auto& reading : readings) {
        auto strip = sampleStrip(reading);
        gfx::Bitmap& backing =
            seconds.emplace_back(gfx::Bitmap::forPointSize(strip->bounds().size, 1));
        gfx::Context context(backing);
        context.clearRect(strip->bounds());
        const double radius = strip->bounds().height() / 2;
        const gfx::Path glass =
            gfx::Path::roundedRect(strip->bounds().insetBy(0.5, 0.5), radius, radius);
        context.setFillColor(gfx::Color::grey(0.94, 1));
        context.fill(glass);
        context.setStrokeColor(gfx::Color::black().withAlpha(0.12));
        context.setLineWidth(0.5);
        context.stroke(glass);
        strip->drawStrip(context, true, strip->bounds());
        // The columns the strip marks: each module's with a few points either side.
        int index = 0;
        for (ModuleKind kind : {ModuleKind::memory, ModuleKind::compute}) {
            const gfx::Rect module = strip->rect(kind);
            columns[index++] = gfx::Rect{std::floor(module.minX()) - 4, 0,
                                         std::ceil(module.width()) + 8, strip->bounds().height()}
                                   .intersection(strip->bounds());
        }
    }
    const gfx::Rect column = columns[state.range(0)];
    const int x = int(column.minX()), width = int(column.width()), height = int(column.height());
    // The window's solid copy, with the column's area inside it as a present makes one.
    cairo_surface_t* window = cairo_image_surface_create(
        CAIRO_FORMAT_RGB24, cairo_image_surface_get_width(seconds[0].surface()), height);
    const int stride = cairo_image_surface_get_stride(window);
    cairo_surface_t* solid = cairo_image_surface_create_for_data(
        cairo_image_surface_get_data(window) + x * 4, CAIRO_FORMAT_RGB24, width, height, stride);
    // The program presents once a second: by then other work has pushed the copy out of the
    // core's caches, while the pixels to present were composed just before.
    const bool cold = state.range(2) != 0;
    std::vector<std::uint32_t> elsewhere(std::size_t{1} << 20);
    std::size_t second = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            for (std::uint32_t& word : elsewhere)
                word += 1;
            benchmark::DoNotOptimize(elsewhere.data());
            cairo_surface_t* shown = seconds[second].surface();
            for (int row = 0; row < height; ++row) {
                const unsigned char* line = cairo_image_surface_get_data(shown) +
                                            row * cairo_image_surface_get_stride(shown) + x * 4;
                benchmark::DoNotOptimize(std::accumulate(line, line + width * 4, 0));
            }
            state.ResumeTiming();
        }
        ui::x11::PixelBox changed;
        auto spans = ui::x11::solidifyTranslucentPixels(
            seconds[second].surface(), x, 0, width, height, solid, {}, &changed);
        benchmark::DoNotOptimize(spans.data());
        second ^= state.range(1);
    }
    state.counters["pixels"] = width * height;
    cairo_surface_destroy(solid);
    cairo_surface_destroy(window);
}
BENCHMARK(BM_SolidifyStripColumns)->Args({0, 1, 0})->Args({1, 1, 0})->Args({0, 0, 0});
// Each cold pass first pushes the copy out: a fixed count keeps the pauses short.
BENCHMARK(BM_SolidifyStripColumns)->Args({0, 1, 1})->Args({1, 1, 1})->Iterations(4000);

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
