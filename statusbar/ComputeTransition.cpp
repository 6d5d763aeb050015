#include "statusbar/ComputeTransition.h"

#include "platform/dispatch/RunLoop.h"
#include "statusbar/ComputeStatusImage.h"
#include "statusbar/FanModeMorph.h"
#include "statusbar/MenuBarContentView.h"

namespace pulsedeck {

namespace {

// Lands exactly on the target at the end, whatever rounding the blend would leave.
double blend(double from, double to, double t) {
    return t >= 1 ? to : from + t * (to - from);
}

void jumpTo(MenuBarContentView& view, ComputeTargets target) {
    view.metricPlans.erase(ModuleKind::compute);
    view.computeProgress = target.chart;
    view.compactComputeProgress = target.compact;
}

} // namespace

void hideComputeModule(MenuBarContentView& view) {
    view.metricPlans.erase(ModuleKind::compute);
    view.previousComputeMode.reset();
    view.setModuleImage(ModuleKind::compute, std::nullopt);
}

void showComputeModule(MenuBarContentView& view, ComputeDisplayMode mode, bool reduceMotion) {
    const ComputeTargets target = computeTargets(mode);
    const std::optional<ComputeDisplayMode> previous = view.previousComputeMode;
    view.previousComputeMode = mode;

    if (!previous || (*previous == mode && !view.animationsEnabled)) {
        jumpTo(view, target);
    } else if (*previous != mode) {
        const ComputeTargets from{view.computeProgress, view.compactComputeProgress};
        view.metricPlans.erase(ModuleKind::compute);
        if (view.animationsEnabled && !reduceMotion && view.animationScreen()) {
            std::weak_ptr<ui::View> weak = view.weak_from_this();
            const double now = dispatch::RunLoop::main().clock().now();
            view.metricPlans[ModuleKind::compute] =
                MetricPlan{FanMorph{0, 1, now, modeMorphDuration, std::nullopt},
                           [weak, from, target](double t) {
                               auto strong = weak.lock();
                               if (!strong)
                                   return;
                               auto& strip = static_cast<MenuBarContentView&>(*strong);
                               strip.computeProgress = blend(from.chart, target.chart, t);
                               strip.compactComputeProgress =
                                   blend(from.compact, target.compact, t);
                               strip.renderComputeImage();
                           }};
            view.startMetricLink();
        } else {
            jumpTo(view, target);
        }
    }
    view.renderComputeImage();
}

} // namespace pulsedeck
