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

} // namespace

void MenuBarContentView::hideCompute() {
    metricPlans_.erase(ModuleKind::compute);
    previousComputeMode_.reset();
    setModuleImage(ModuleKind::compute, std::nullopt);
}

void MenuBarContentView::showCompute(ComputeInputs inputs, ComputeDisplayMode mode,
                                     bool reduceMotion) {
    compute_.snapshot = std::move(inputs.snapshot);
    compute_.history = std::move(inputs.history);
    compute_.dark = inputs.dark;
    compute_.colors = inputs.colors;
    compute_.chartLength = inputs.chartLength;

    const ComputeTargets target = computeTargets(mode);
    const std::optional<ComputeDisplayMode> previous = previousComputeMode_;
    previousComputeMode_ = mode;
    const auto jump = [&] {
        metricPlans_.erase(ModuleKind::compute);
        compute_.progress = target.chart;
        compute_.compactProgress = target.compact;
    };
    if (!previous || (*previous == mode && !animationsEnabled_)) {
        jump();
    } else if (*previous != mode) {
        const ComputeTargets from{compute_.progress, compute_.compactProgress};
        metricPlans_.erase(ModuleKind::compute);
        if (animationsEnabled_ && !reduceMotion && animationScreen()) {
            std::weak_ptr<ui::View> weak = weak_from_this();
            runMetricPlan(ModuleKind::compute,
                          MetricPlan{FanMorph{0, 1, now(), modeMorphDuration, std::nullopt},
                                     [weak, from, target](double t) {
                                         auto strong = weak.lock();
                                         if (!strong)
                                             return;
                                         auto& strip = static_cast<MenuBarContentView&>(*strong);
                                         strip.compute_.progress =
                                             blend(from.chart, target.chart, t);
                                         strip.compute_.compactProgress =
                                             blend(from.compact, target.compact, t);
                                         strip.renderComputeImage();
                                     }});
        } else {
            jump();
        }
    }
    renderComputeImage();
}

void MenuBarContentView::renderComputeImage() {
    // The history is compared before it is copied, so an unchanged second copies none.
    if (computeImage_ && computeRendered_ == compute_)
        return;
    computeRendered_ = compute_;
    setModuleImage(
        ModuleKind::compute,
        keptComputeImage_.image(
            compute_,
            [this](const ComputePicture& picture) {
                return computeStatusImage(capsules_, picture);
            },
            [this](const ComputePicture& picture, const ComputePicture& before, gfx::Image image) {
                return computeStatusImage(capsules_, picture, before, std::move(image));
            }));
}

} // namespace pulsedeck
