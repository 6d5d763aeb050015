#include "floating/FloatingLiquidAnimator.h"
#include "floating/FloatingPanel.h"
#include "floating/FloatingSurface.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "statusbar/SampleStrip.h"

#include <benchmark/benchmark.h>

namespace {

using namespace pulsedeck;

// One frame of the pull-out as the overlay shows it while a drag stretches the full sample strip
// out of the menu bar: a spring step, the scene, the overlay re-framed, the glass's mask and the
// ink (shadow, tint, rim, snapshot) redrawn into a backing of the given scale, and handed to the
// window server.
void BM_LiquidFrame(benchmark::State& state) {
    const double scale = static_cast<double>(state.range(0));
    dispatch::VirtualClock clock{1000};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{
        {ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1, 24, scale)}, clock};
    ui::Application app{server, loop};

    const striptest::SampleReadings readings;
    auto strip = std::make_shared<MenuBarContentView>(gfx::Rect{0, 0, 700, 24});
    striptest::fillSampleStrip(*strip, readings, false);
    const gfx::Rect anchor{1400 - strip->requiredWidth(), 876, strip->requiredWidth(), 24};
    strip->setFrameSize(anchor.size);
    auto panel = std::make_shared<FloatingPanel>(anchor, ui::Style::nonactivatingPanel);
    auto surface = std::make_shared<FloatingSurface>(gfx::Rect{{}, anchor.size});
    surface->setOwner(strip);
    panel->setContentView(surface);
    panel->orderFront();

    FloatingLiquidAnimator animator;
    panel->setFrame(anchor.offsetBy(-30, -90), false);
    animator.update(panel, anchor, 0.3, true);
    int frame = 0;
    for (auto _ : state) {
        // A pointer wandering within the stretch, so every frame has a neck to draw.
        panel->setFrame(anchor.offsetBy(-30 + frame % 20, -90 + frame % 7), false);
        animator.update(panel, anchor, 0.3, true);
        clock.advance(1.0 / 60);
        animator.tick();
        animator.overlay()->displayIfNeeded();
        ++frame;
    }
    animator.stop();
}
BENCHMARK(BM_LiquidFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The ink alone, the larger of the overlay's two drawings: a stretched 560 pt strip on its neck
// with shadow, tint, rim and snapshot, into an overlay backing of the given scale.
void BM_LiquidInk(benchmark::State& state) {
    const double scale = static_cast<double>(state.range(0));
    LiquidScene scene;
    scene.anchor = {60, 200, 560, 24};
    scene.strip = {40, 120, 560, 24};
    scene.grab = 0.3;
    scene.neck = 0.4;
    scene.jelly = 0.06;
    const gfx::Image snapshot =
        gfx::Image::withBitmap(gfx::Bitmap::forPointSize(scene.strip.size, 2));
    const gfx::Rect frame = scene.bounds().insetBy(-60, -60);
    gfx::Bitmap backing = gfx::Bitmap::forPointSize(frame.size, scale);
    for (auto _ : state) {
        gfx::Context context(backing);
        context.clearRect({{}, frame.size});
        context.translate(-frame.x(), -frame.y());
        scene.draw(context, &snapshot, false, 1, false);
        benchmark::DoNotOptimize(backing.surface());
    }
}
BENCHMARK(BM_LiquidInk)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace
