#include "platform/toolkit/Workspace.h"
#include "statusbar/ComputeStatusImage.h"
#include "statusbar/ComputeTransition.h"
#include "statusbar/FanModeMorph.h"
#include "statusbar/StripFixture.h"
#include "statusbar/TemperatureStatusImage.h"

#include <cmath>

namespace pulsedeck {
namespace {

using striptest::StripFixture;

constexpr double frame = 1.0 / 60;

class AnimatedModules : public StripFixture {
protected:
    std::shared_ptr<MenuBarContentView> strip = makeStrip();
    std::vector<double> fanWidths;
    int widthReports = 0;
    int rectRedraws = 0;

    void SetUp() override {
        strip->widthChangedAction = [this] {
            ++widthReports;
            fanWidths.push_back(strip->moduleWidth(ModuleKind::fan).value_or(-1));
        };
        strip->editingRectAction = [this](const gfx::Rect&) { ++rectRedraws; };
    }

    void setFanMode(FanDisplayMode mode) {
        strip->setFanMode(mode);
        strip->renderFanImage();
    }

    // Steps the clock frame by frame until the fan morph's clock has stopped (at most 2 s).
    void runFanMorph() {
        for (int i = 0; i < 120 && strip->morphTimer; ++i) {
            loop.advanceAndRunDue(frame);
        }
    }

    void runMetricPlans() {
        for (int i = 0; i < 120 && strip->metricLink; ++i) {
            loop.advanceAndRunDue(frame);
        }
    }

    static FanSnapshot turningFan(double rpm) { return {"Test", {{0, rpm, 6000}}, 1}; }

    static TemperatureSnapshot reading(std::optional<double> celsius) {
        TemperatureSnapshot snapshot;
        snapshot.celsius = celsius;
        snapshot.sensorCount = celsius ? 1 : 0;
        return snapshot;
    }

    void updateTemperature(std::optional<double> celsius, TemperatureDisplayMode mode) {
        strip->updateTemperature(reading(celsius), {50.0, 55.0, 60.0}, mode, true,
                                 AppLanguage::english, std::nullopt, 85);
    }
};

TEST_F(AnimatedModules, RingToGraphRunsFromExactly24ToExactly181) {
    setFanMode(FanDisplayMode::ring);
    EXPECT_EQ(strip->moduleWidth(ModuleKind::fan), 24);
    fanWidths.clear();

    setFanMode(FanDisplayMode::graph);
    ASSERT_NE(strip->morphTimer, nullptr);
    EXPECT_EQ(strip->moduleWidth(ModuleKind::fan), 24);
    runFanMorph();
    EXPECT_EQ(strip->morphTimer, nullptr);
    ASSERT_GE(fanWidths.size(), 40u);
    EXPECT_EQ(fanWidths.back(), 181);
    EXPECT_EQ(strip->graphProgress, 1);
    for (std::size_t i = 1; i < fanWidths.size(); ++i) {
        EXPECT_GE(fanWidths[i], fanWidths[i - 1]);
        EXPECT_GT(fanWidths[i - 1], 24);
        EXPECT_LT(fanWidths[i - 1], 181);
    }
    // The morph's picture is kept for each frame; the strip then paints the graph itself.
    ASSERT_TRUE(strip->transitionBackdrop.has_value());
    EXPECT_EQ(strip->transitionBackdrop->size().width, 181);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, AReversalMidwayStartsFromTheCurrentProgress) {
    setFanMode(FanDisplayMode::ring);
    setFanMode(FanDisplayMode::graph);
    for (int i = 0; i < 23; ++i) {
        loop.advanceAndRunDue(frame);
    }
    const double midway = strip->graphProgress;
    ASSERT_GT(midway, 0.2);
    ASSERT_LT(midway, 0.9);

    setFanMode(FanDisplayMode::ring);
    ASSERT_NE(strip->morphTimer, nullptr);
    EXPECT_EQ(strip->graphProgress, midway);
    fanWidths.clear();
    loop.advanceAndRunDue(frame);
    ASSERT_FALSE(fanWidths.empty());
    EXPECT_LE(fanWidths.front(), fanModuleWidth(85, midway));
    EXPECT_GT(fanWidths.front(), fanModuleWidth(85, midway) - 10);
    runFanMorph();
    EXPECT_EQ(fanWidths.back(), 24);
    EXPECT_EQ(strip->graphProgress, 0);
}

TEST_F(AnimatedModules, TheSameModeAgainChangesNothing) {
    setFanMode(FanDisplayMode::ring);
    setFanMode(FanDisplayMode::graph);
    loop.advanceAndRunDue(5 * frame);
    const AnimationFrameClock* running = strip->morphTimer.get();
    const double progress = strip->graphProgress;
    widthReports = 0;
    setFanMode(FanDisplayMode::graph);
    EXPECT_EQ(strip->morphTimer.get(), running);
    EXPECT_EQ(strip->graphProgress, progress);
    EXPECT_EQ(widthReports, 0);
    runFanMorph();
    EXPECT_EQ(strip->graphProgress, 1);
}

TEST_F(AnimatedModules, HiddenToAnythingAndBackDoesNotMorph) {
    setFanMode(FanDisplayMode::hidden);
    EXPECT_FALSE(strip->moduleWidth(ModuleKind::fan).has_value());
    for (FanDisplayMode mode : {FanDisplayMode::graph, FanDisplayMode::hidden, FanDisplayMode::ring,
                                FanDisplayMode::hidden}) {
        widthReports = 0;
        setFanMode(mode);
        EXPECT_EQ(strip->morphTimer, nullptr);
        EXPECT_EQ(strip->graphProgress, mode == FanDisplayMode::graph ? 1 : 0);
        EXPECT_EQ(widthReports, 1);
    }
}

TEST_F(AnimatedModules, WithAnimationsOffTheModeJumpsAndReportsTheWidthOnce) {
    setFanMode(FanDisplayMode::ring);
    strip->animationsEnabled = false;
    widthReports = 0;
    setFanMode(FanDisplayMode::graph);
    EXPECT_EQ(strip->morphTimer, nullptr);
    EXPECT_EQ(strip->graphProgress, 1);
    EXPECT_EQ(widthReports, 1);
    EXPECT_EQ(fanWidths.back(), 181);
}

TEST_F(AnimatedModules, TheRotorRedrawsAtTheRateOfItsAnimationMode) {
    strip->fanSnapshot = turningFan(3000);
    struct Case {
        FanAnimationMode mode;
        int redrawsPerSecond;
    };
    for (const Case& rate :
         {Case{FanAnimationMode::smooth, 30}, Case{FanAnimationMode::efficient, 12},
          Case{FanAnimationMode::off, 0}, Case{FanAnimationMode::smooth, 30}}) {
        strip->fanAnimation = rate.mode;
        strip->renderFanImage();
        EXPECT_EQ(strip->timerFrameRate, rate.redrawsPerSecond);
        if (rate.redrawsPerSecond == 0) {
            EXPECT_EQ(strip->animationTimer, nullptr);
        } else {
            ASSERT_NE(strip->animationTimer, nullptr);
            EXPECT_DOUBLE_EQ(strip->animationTimer->interval(), 1.0 / rate.redrawsPerSecond);
            EXPECT_DOUBLE_EQ(strip->animationTimer->tolerance(), 0.002);
        }
        rectRedraws = 0;
        // A second, and a hair more for the rounding of twelve twelfths.
        loop.advanceAndRunDue(1.0 + 1e-6);
        EXPECT_EQ(rectRedraws, rate.redrawsPerSecond);
    }
    // 3000 RPM turn the rotor 1.65 times a second.
    EXPECT_DOUBLE_EQ(strip->phase.speed, 1.65);

    // A stopped fan stops the timer; so does hiding the module.
    strip->fanSnapshot = turningFan(0);
    strip->renderFanImage();
    EXPECT_EQ(strip->animationTimer, nullptr);
    strip->fanSnapshot = turningFan(3000);
    strip->renderFanImage();
    ASSERT_NE(strip->animationTimer, nullptr);
    setFanMode(FanDisplayMode::hidden);
    EXPECT_EQ(strip->animationTimer, nullptr);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, RotorFramesAreRebuiltOnlyWhenTheirKeyChanges) {
    strip->fanSnapshot = turningFan(3000);
    strip->renderFanImage();
    ASSERT_EQ(strip->rotorFrames.size(), 60u);
    EXPECT_EQ(strip->rotorKey, "false-false-false");
    const gfx::Bitmap* first = strip->rotorFrames[0].bitmap();
    strip->fanSnapshot = turningFan(3100);
    strip->renderFanImage();
    EXPECT_EQ(strip->rotorFrames[0].bitmap(), first);
    strip->fanSnapshot = turningFan(5900);
    strip->renderFanImage();
    EXPECT_EQ(strip->rotorKey, "false-true-true");
    EXPECT_NE(strip->rotorFrames[0].bitmap(), first);
    strip->animationTimer.reset();
}

TEST_F(AnimatedModules, ThermometerLiquidTicksThirtyTimesASecondAndStops) {
    updateTemperature(40, TemperatureDisplayMode::thermometer);
    // The first reading fills at once.
    EXPECT_EQ(strip->thermometerLiquid, heatFraction(40.0));
    EXPECT_EQ(strip->temperatureTimer, nullptr);

    updateTemperature(85, TemperatureDisplayMode::thermometer);
    ASSERT_NE(strip->temperatureTimer, nullptr);
    EXPECT_DOUBLE_EQ(strip->temperatureTimer->interval(), 1.0 / 30);
    EXPECT_EQ(strip->thermometerLiquid, heatFraction(40.0));
    rectRedraws = 0;
    loop.advanceAndRunDue(0.2);
    EXPECT_EQ(rectRedraws, 6);
    const double shown = *strip->thermometerLiquid;
    EXPECT_GT(shown, heatFraction(40.0));
    EXPECT_LT(shown, heatFraction(85.0));

    // A new reading restarts from the level shown.
    updateTemperature(90, TemperatureDisplayMode::thermometer);
    EXPECT_EQ(strip->thermometerLiquid, shown);
    rectRedraws = 0;
    loop.advanceAndRunDue(1.0);
    // 13 ticks reach 0.42 s; then the timer is gone.
    EXPECT_EQ(rectRedraws, 13);
    EXPECT_EQ(strip->temperatureTimer, nullptr);
    EXPECT_DOUBLE_EQ(*strip->thermometerLiquid, heatFraction(90.0));
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, ThermometerLiquidJumpsUnderReduceMotionAndInChartMode) {
    updateTemperature(40, TemperatureDisplayMode::thermometer);
    app.workspace().setReduceMotion(true);
    updateTemperature(85, TemperatureDisplayMode::thermometer);
    EXPECT_EQ(strip->temperatureTimer, nullptr);
    EXPECT_EQ(strip->thermometerLiquid, heatFraction(85.0));
    app.workspace().setReduceMotion(false);

    updateTemperature(40, TemperatureDisplayMode::thermometer);
    ASSERT_NE(strip->temperatureTimer, nullptr);
    updateTemperature(40, TemperatureDisplayMode::chart);
    EXPECT_EQ(strip->temperatureTimer, nullptr);
    EXPECT_EQ(strip->thermometerLiquid, heatFraction(40.0));

    // Taking the module away clears everything.
    strip->updateTemperature(std::nullopt, {}, TemperatureDisplayMode::chart, true,
                             AppLanguage::english, std::nullopt, 85);
    EXPECT_FALSE(strip->moduleImage(ModuleKind::temperature).has_value());
    EXPECT_FALSE(strip->thermometerLiquid.has_value());
    EXPECT_FALSE(strip->gaugeActive);
    EXPECT_FALSE(strip->previousTemperatureMode.has_value());
}

TEST_F(AnimatedModules, TemperatureMorphsOnTheMetricLinkAndSnapsWithoutAnimation) {
    updateTemperature(60, TemperatureDisplayMode::thermometer);
    EXPECT_EQ(strip->moduleImage(ModuleKind::temperature)->size().width, 24);
    const double chart =
        temperatureChartWidth({60.0, {50.0, 55.0, 60.0}, AppLanguage::english, true, {}, 85});

    updateTemperature(60, TemperatureDisplayMode::chart);
    ASSERT_TRUE(strip->metricPlans.count(ModuleKind::temperature));
    ASSERT_NE(strip->metricLink, nullptr);
    EXPECT_EQ(strip->moduleImage(ModuleKind::temperature)->size().width, 24);
    std::vector<double> widths;
    strip->widthChangedAction = [&] {
        widths.push_back(strip->moduleImage(ModuleKind::temperature)->size().width);
    };
    runMetricPlans();
    EXPECT_EQ(strip->metricLink, nullptr);
    ASSERT_GE(widths.size(), 40u);
    EXPECT_EQ(widths.back(), chart);
    EXPECT_EQ(strip->temperatureProgress, 1);
    for (std::size_t i = 1; i < widths.size(); ++i) {
        EXPECT_GE(widths[i], widths[i - 1]);
    }

    // The same mode again: no new plan.
    updateTemperature(61, TemperatureDisplayMode::chart);
    EXPECT_FALSE(strip->metricPlans.count(ModuleKind::temperature));

    app.workspace().setReduceMotion(true);
    updateTemperature(61, TemperatureDisplayMode::thermometer);
    EXPECT_EQ(strip->metricLink, nullptr);
    EXPECT_EQ(strip->temperatureProgress, 0);
    EXPECT_EQ(strip->moduleImage(ModuleKind::temperature)->size().width, 24);
    app.workspace().setReduceMotion(false);

    strip->animationsEnabled = false;
    updateTemperature(61, TemperatureDisplayMode::chart);
    EXPECT_EQ(strip->metricLink, nullptr);
    EXPECT_EQ(strip->temperatureProgress, 1);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, ComputeTransitionsRunFromAndToTheirExactWidths) {
    strip->currentCompute.cpu = 35;
    strip->currentCompute.gpu = 12;
    showComputeModule(*strip, ComputeDisplayMode::bars, false);
    EXPECT_EQ(strip->metricLink, nullptr);
    EXPECT_EQ(strip->moduleImage(ModuleKind::compute)->size().width, computeBarsWidth());

    showComputeModule(*strip, ComputeDisplayMode::chart, false);
    ASSERT_NE(strip->metricLink, nullptr);
    EXPECT_EQ(strip->moduleImage(ModuleKind::compute)->size().width, computeBarsWidth());
    std::vector<double> widths;
    strip->widthChangedAction = [&] {
        widths.push_back(strip->moduleImage(ModuleKind::compute)->size().width);
    };
    for (int i = 0; i < 23; ++i) {
        loop.advanceAndRunDue(frame);
    }
    const double midway = strip->computeProgress;
    ASSERT_GT(midway, 0.1);
    ASSERT_LT(midway, 0.9);

    // Compact midway: the chart value returns to 0 from where it stands while the cross-fade
    // runs in.
    showComputeModule(*strip, ComputeDisplayMode::compact, false);
    EXPECT_EQ(strip->computeProgress, midway);
    widths.clear();
    runMetricPlans();
    EXPECT_EQ(strip->metricLink, nullptr);
    EXPECT_EQ(strip->computeProgress, 0);
    EXPECT_EQ(strip->compactComputeProgress, 1);
    ASSERT_FALSE(widths.empty());
    EXPECT_EQ(widths.back(), computeCompactWidth());

    // Reduce Motion: the mode jumps in the same call.
    showComputeModule(*strip, ComputeDisplayMode::chart, true);
    EXPECT_EQ(strip->metricLink, nullptr);
    EXPECT_EQ(strip->moduleImage(ModuleKind::compute)->size().width, computeChartWidth(85));

    hideComputeModule(*strip);
    EXPECT_FALSE(strip->moduleImage(ModuleKind::compute).has_value());
    // Shown again: straight to the mode.
    showComputeModule(*strip, ComputeDisplayMode::bars, false);
    EXPECT_EQ(strip->metricLink, nullptr);
    EXPECT_EQ(strip->moduleImage(ModuleKind::compute)->size().width, computeBarsWidth());
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, ReversedComputeTransitionsEndExactlyOnTheirTargets) {
    showComputeModule(*strip, ComputeDisplayMode::bars, false);
    for (int round = 0; round < 6; ++round) {
        const bool chart = round % 2 == 0;
        showComputeModule(*strip, chart ? ComputeDisplayMode::chart : ComputeDisplayMode::bars,
                          false);
        loop.advanceAndRunDue((7 + 3 * round) * frame);
    }
    showComputeModule(*strip, ComputeDisplayMode::chart, false);
    runMetricPlans();
    EXPECT_EQ(strip->computeProgress, 1);
    EXPECT_EQ(strip->moduleImage(ModuleKind::compute)->size().width, computeChartWidth(85));
}

TEST_F(AnimatedModules, TheSameComputeModeLetsARunningTransitionGoOnOrJumpsWithAnimationsOff) {
    showComputeModule(*strip, ComputeDisplayMode::bars, false);
    showComputeModule(*strip, ComputeDisplayMode::chart, false);
    loop.advanceAndRunDue(5 * frame);
    const double progress = strip->computeProgress;
    showComputeModule(*strip, ComputeDisplayMode::chart, false);
    EXPECT_TRUE(strip->metricPlans.count(ModuleKind::compute));
    EXPECT_EQ(strip->computeProgress, progress);

    strip->animationsEnabled = false;
    showComputeModule(*strip, ComputeDisplayMode::chart, false);
    EXPECT_FALSE(strip->metricPlans.count(ModuleKind::compute));
    EXPECT_EQ(strip->computeProgress, 1);
    loop.advanceAndRunDue(frame);
    EXPECT_EQ(strip->metricLink, nullptr);
}

} // namespace
} // namespace pulsedeck
