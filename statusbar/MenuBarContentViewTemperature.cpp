#include "platform/dispatch/Timer.h"
#include "statusbar/FanModeMorph.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/TemperatureStatusImage.h"
#include "statusbar/ThermometerLiquid.h"

#include <cmath>

namespace pulsedeck {

namespace {

// Level changes smaller than this are not worth a liquid animation.
constexpr double liquidEpsilon = 0.0001;
constexpr double progressEpsilon = 0.00001;

TemperaturePicture gaugePicture(const MenuBarContentView& view) {
    return {view.gaugeSnapshot.celsius,
            view.gaugeHistory,
            view.gaugeLanguage,
            view.gaugeDark,
            view.gaugeTint,
            view.gaugeLength};
}

} // namespace

void MenuBarContentView::updateTemperature(const std::optional<TemperatureSnapshot>& snapshot,
                                           const std::vector<std::optional<double>>& history,
                                           TemperatureDisplayMode mode, bool dark,
                                           AppLanguage language, std::optional<gfx::Color> tint,
                                           double length) {
    if (!snapshot) {
        metricPlans_.erase(ModuleKind::temperature);
        previousTemperatureMode.reset();
        temperatureTimer.reset();
        thermometerLiquid.reset();
        gaugeActive = false;
        setModuleImage(ModuleKind::temperature, std::nullopt);
        return;
    }

    const bool changed = !gaugeActive || snapshot->celsius != gaugeSnapshot.celsius;
    gaugeActive = true;
    gaugeSnapshot = *snapshot;
    gaugeLanguage = language;
    gaugeDark = dark;
    gaugeTint = tint;
    gaugeHistory = history;
    gaugeLength = length;

    const double target = heatFraction(snapshot->celsius);
    const double shown = thermometerLiquid.value_or(target);
    if (mode == TemperatureDisplayMode::chart) {
        temperatureTimer.reset();
        thermometerLiquid = target;
    }
    if (changed) {
        temperatureTimer.reset();
        if (mode == TemperatureDisplayMode::thermometer && snapshot->celsius && thermometerLiquid &&
            animationsEnabled_ && !reduceMotion() && std::abs(shown - target) > liquidEpsilon) {
            const ThermometerLiquid liquid{shown, target, now()};
            std::weak_ptr<ui::View> weak = weak_from_this();
            temperatureTimer = std::make_unique<dispatch::Timer>(
                ThermometerLiquid::tickInterval, true,
                [weak, liquid] {
                    auto strong = weak.lock();
                    if (!strong)
                        return;
                    auto& strip = static_cast<MenuBarContentView&>(*strong);
                    const double time = strip.now();
                    strip.thermometerLiquid = liquid.level(time);
                    strip.renderTemperatureImage();
                    if (liquid.isFinished(time))
                        strip.temperatureTimer.reset();
                },
                dispatch::commonModes);
        } else {
            thermometerLiquid = target;
        }
    }

    const double morphTarget = mode == TemperatureDisplayMode::chart ? 1 : 0;
    const std::optional<TemperatureDisplayMode> previous = previousTemperatureMode;
    previousTemperatureMode = mode;
    if (previous == mode && animationsEnabled_) {
        renderTemperatureImage();
        return;
    }
    metricPlans_.erase(ModuleKind::temperature);
    if (!previous || previous == mode) {
        temperatureProgress = morphTarget;
        renderTemperatureImage();
        return;
    }

    if (animationsEnabled_ && !reduceMotion() && animationScreen() &&
        std::abs(temperatureProgress - morphTarget) > progressEpsilon) {
        std::weak_ptr<ui::View> weak = weak_from_this();
        metricPlans_[ModuleKind::temperature] =
            MetricPlan{FanMorph{temperatureProgress, morphTarget, now(), modeMorphDuration,
                                temperatureMotionProfile(gaugePicture(*this), target)},
                       [weak](double progress) {
                           auto strong = weak.lock();
                           if (!strong)
                               return;
                           auto& strip = static_cast<MenuBarContentView&>(*strong);
                           strip.temperatureProgress = progress;
                           strip.renderTemperatureImage();
                       }};
        startMetricLink();
    } else {
        temperatureProgress = morphTarget;
    }
    renderTemperatureImage();
}

void MenuBarContentView::renderTemperatureImage() {
    TemperatureInputs inputs{gaugePicture(*this), temperatureProgress,
                             thermometerLiquid.value_or(0)};
    if (temperatureImage_ && temperatureRendered == inputs)
        return;
    temperatureRendered = inputs;
    setModuleImage(ModuleKind::temperature,
                   temperatureStatusImage(inputs.picture, inputs.progress, inputs.level));
}

} // namespace pulsedeck
