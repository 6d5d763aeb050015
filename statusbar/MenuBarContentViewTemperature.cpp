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

} // namespace

void MenuBarContentView::updateTemperature(const std::optional<TemperatureSnapshot>& snapshot,
                                           const std::vector<std::optional<double>>& history,
                                           TemperatureDisplayMode mode, bool dark,
                                           AppLanguage language, std::optional<gfx::Color> tint,
                                           double length) {
    if (!snapshot) {
        metricPlans_.erase(ModuleKind::temperature);
        previousTemperatureMode_.reset();
        temperatureTimer_.reset();
        thermometerLiquid_.reset();
        gaugeActive_ = false;
        setModuleImage(ModuleKind::temperature, std::nullopt);
        return;
    }

    const bool changed = !gaugeActive_ || snapshot->celsius != gauge_.celsius;
    gaugeActive_ = true;
    gauge_ = {snapshot->celsius, history, language, dark, tint, length};

    const double target = heatFraction(snapshot->celsius);
    const double shown = thermometerLiquid_.value_or(target);
    if (mode == TemperatureDisplayMode::chart) {
        temperatureTimer_.reset();
        thermometerLiquid_ = target;
    }
    if (changed) {
        temperatureTimer_.reset();
        if (mode == TemperatureDisplayMode::thermometer && snapshot->celsius &&
            thermometerLiquid_ && animationsEnabled_ && !reduceMotion() &&
            std::abs(shown - target) > liquidEpsilon) {
            const ThermometerLiquid liquid{shown, target, now()};
            std::weak_ptr<ui::View> weak = weak_from_this();
            temperatureTimer_ = std::make_unique<dispatch::Timer>(
                ThermometerLiquid::tickInterval, true,
                [weak, liquid] {
                    auto strong = weak.lock();
                    if (!strong)
                        return;
                    auto& strip = static_cast<MenuBarContentView&>(*strong);
                    const double time = strip.now();
                    strip.thermometerLiquid_ = liquid.level(time);
                    strip.renderTemperatureImage();
                    if (liquid.isFinished(time))
                        strip.temperatureTimer_.reset();
                },
                dispatch::commonModes);
        } else {
            thermometerLiquid_ = target;
        }
    }

    const double morphTarget = mode == TemperatureDisplayMode::chart ? 1 : 0;
    const std::optional<TemperatureDisplayMode> previous = previousTemperatureMode_;
    previousTemperatureMode_ = mode;
    if (previous == mode && animationsEnabled_) {
        renderTemperatureImage();
        return;
    }
    metricPlans_.erase(ModuleKind::temperature);
    if (!previous || previous == mode) {
        temperatureProgress_ = morphTarget;
        renderTemperatureImage();
        return;
    }

    if (animationsEnabled_ && !reduceMotion() && animationScreen() &&
        std::abs(temperatureProgress_ - morphTarget) > progressEpsilon) {
        std::weak_ptr<ui::View> weak = weak_from_this();
        metricPlans_[ModuleKind::temperature] =
            MetricPlan{FanMorph{temperatureProgress_, morphTarget, now(), modeMorphDuration,
                                temperatureMotionProfile(gauge_, target)},
                       [weak](double progress) {
                           auto strong = weak.lock();
                           if (!strong)
                               return;
                           auto& strip = static_cast<MenuBarContentView&>(*strong);
                           strip.temperatureProgress_ = progress;
                           strip.renderTemperatureImage();
                       }};
        startMetricLink();
    } else {
        temperatureProgress_ = morphTarget;
    }
    renderTemperatureImage();
}

void MenuBarContentView::renderTemperatureImage() {
    TemperatureInputs inputs{gauge_, temperatureProgress_, thermometerLiquid_.value_or(0)};
    if (temperatureImage_ && temperatureRendered_ == inputs)
        return;
    temperatureRendered_ = inputs;
    setModuleImage(ModuleKind::temperature, temperatureStatusImage(capsules_, inputs.picture,
                                                                   inputs.progress, inputs.level));
}

} // namespace pulsedeck
