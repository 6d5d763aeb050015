#include "detail/DetailView.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

using pulsedeck::DetailPresentation;
using pulsedeck::DetailView;

// What every sample costs the open popover: a new reading handed to the view, and the window
// drawing what it marked. Argument: 0 details, 1 overview.
void BM_DetailRefreshAndRedraw(benchmark::State& state) {
    dispatch::VirtualClock clock{1000};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{clock};
    ui::Application app{server, loop};
    auto view = std::make_shared<DetailView>(DetailView::initialFrame);
    pulsedeck::DetailState shown = view->state();
    shown.look.presentation =
        state.range(0) == 1 ? DetailPresentation::overview : DetailPresentation::details;
    view->setState(shown);
    auto window = std::make_shared<ui::Window>(
        gfx::Rect{100, 100, view->contentWidth(), view->preferredHeight()}, ui::Style::borderless);
    window->setContentView(view);
    window->makeKeyAndOrderFront();
    window->displayIfNeeded();
    int sample = 0;
    for (auto _ : state) {
        ++sample;
        shown.readings.memory.used = std::to_string(sample % 10) + ".00 GB";
        shown.readings.compute.cpu = sample % 100;
        view->setState(shown);
        window->displayIfNeeded();
    }
}
BENCHMARK(BM_DetailRefreshAndRedraw)
    ->Arg(0)
    ->Arg(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

} // namespace
