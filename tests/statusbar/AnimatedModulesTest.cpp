#include "platform/toolkit/Workspace.h"
#include "statusbar/ComputeStatusImage.h"
#include "statusbar/FanModeMorph.h"
#include "statusbar/StripFixture.h"
#include "statusbar/TemperatureStatusImage.h"
#include "support/MenuBarContentViewProbe.h"

#include <cmath>

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

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
        for (int i = 0; i < 120 && Probe::fanMorphRuns(*strip); ++i) {
            loop.advanceAndRunDue(frame);
        }
    }

    void runMetricPlans() {
        for (int i = 0; i < 120 && Probe::metricClockRuns(*strip); ++i) {
            loop.advanceAndRunDue(frame);
        }
    }

    static FanSnapshot turningFan(double rpm) { return {"Test", {{0, rpm, 6000}}, 1}; }

    void showFan(double rpm, FanAnimationMode animation = FanAnimationMode::smooth) {
        MenuBarContentView::FanInputs fan;
        fan.snapshot = turningFan(rpm);
        fan.animation = animation;
        strip->setFanInputs(fan);
        strip->renderFanImage();
    }

    void showCompute(ComputeDisplayMode mode, bool reduceMotion = false) {
        MenuBarContentView::ComputeInputs compute;
        compute.snapshot = {35, 12, 8, 32, "GPU"};
        strip->showCompute(compute, mode, reduceMotion);
    }

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
    ASSERT_TRUE(Probe::fanMorphRuns(*strip));
    EXPECT_EQ(strip->moduleWidth(ModuleKind::fan), 24);
    runFanMorph();
    EXPECT_FALSE(Probe::fanMorphRuns(*strip));
    ASSERT_GE(fanWidths.size(), 40u);
    EXPECT_EQ(fanWidths.back(), 181);
    EXPECT_EQ(Probe::fanGraphProgress(*strip), 1);
    for (std::size_t i = 1; i < fanWidths.size(); ++i) {
        EXPECT_GE(fanWidths[i], fanWidths[i - 1]);
        EXPECT_GT(fanWidths[i - 1], 24);
        EXPECT_LT(fanWidths[i - 1], 181);
    }
    // The morph's picture is kept for each frame; the strip then paints the graph itself.
    ASSERT_TRUE(Probe::fanTransitionBackdrop(*strip).has_value());
    EXPECT_EQ(Probe::fanTransitionBackdrop(*strip)->size().width, 181);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, AReversalMidwayStartsFromTheCurrentProgress) {
    setFanMode(FanDisplayMode::ring);
    setFanMode(FanDisplayMode::graph);
    for (int i = 0; i < 23; ++i) {
        loop.advanceAndRunDue(frame);
    }
    const double midway = Probe::fanGraphProgress(*strip);
    ASSERT_GT(midway, 0.2);
    ASSERT_LT(midway, 0.9);

    setFanMode(FanDisplayMode::ring);
    ASSERT_TRUE(Probe::fanMorphRuns(*strip));
    EXPECT_EQ(Probe::fanGraphProgress(*strip), midway);
    fanWidths.clear();
    loop.advanceAndRunDue(frame);
    ASSERT_FALSE(fanWidths.empty());
    EXPECT_LE(fanWidths.front(), fanModuleWidth(85, midway));
    EXPECT_GT(fanWidths.front(), fanModuleWidth(85, midway) - 10);
    runFanMorph();
    EXPECT_EQ(fanWidths.back(), 24);
    EXPECT_EQ(Probe::fanGraphProgress(*strip), 0);
}

TEST_F(AnimatedModules, TheSameModeAgainChangesNothing) {
    setFanMode(FanDisplayMode::ring);
    setFanMode(FanDisplayMode::graph);
    loop.advanceAndRunDue(5 * frame);
    const double progress = Probe::fanGraphProgress(*strip);
    widthReports = 0;
    setFanMode(FanDisplayMode::graph);
    EXPECT_TRUE(Probe::fanMorphRuns(*strip));
    EXPECT_EQ(Probe::fanGraphProgress(*strip), progress);
    EXPECT_EQ(widthReports, 0);
    // The morph begun five frames ago ends on time: it was not started again.
    int frames = 0;
    for (; frames < 120 && Probe::fanMorphRuns(*strip); ++frames)
        loop.advanceAndRunDue(frame);
    EXPECT_LE(5 + frames, std::ceil(modeMorphDuration / frame) + 1);
    EXPECT_EQ(Probe::fanGraphProgress(*strip), 1);
}

TEST_F(AnimatedModules, HiddenToAnythingAndBackDoesNotMorph) {
    setFanMode(FanDisplayMode::hidden);
    EXPECT_FALSE(strip->moduleWidth(ModuleKind::fan).has_value());
    for (FanDisplayMode mode : {FanDisplayMode::graph, FanDisplayMode::hidden, FanDisplayMode::ring,
                                FanDisplayMode::hidden}) {
        widthReports = 0;
        setFanMode(mode);
        EXPECT_FALSE(Probe::fanMorphRuns(*strip));
        EXPECT_EQ(Probe::fanGraphProgress(*strip), mode == FanDisplayMode::graph ? 1 : 0);
        EXPECT_EQ(widthReports, 1);
    }
}

TEST_F(AnimatedModules, WithAnimationsOffTheModeJumpsAndReportsTheWidthOnce) {
    setFanMode(FanDisplayMode::ring);
    strip->setAnimationsEnabled(false);
    widthReports = 0;
    setFanMode(FanDisplayMode::graph);
    EXPECT_FALSE(Probe::fanMorphRuns(*strip));
    EXPECT_EQ(Probe::fanGraphProgress(*strip), 1);
    EXPECT_EQ(widthReports, 1);
    EXPECT_EQ(fanWidths.back(), 181);
}

TEST_F(AnimatedModules, TheRotorRedrawsAtTheRateOfItsAnimationMode) {
    struct Case {
        FanAnimationMode mode;
        int redrawsPerSecond;
    };
    for (const Case& rate :
         {Case{FanAnimationMode::smooth, 30}, Case{FanAnimationMode::efficient, 12},
          Case{FanAnimationMode::off, 0}, Case{FanAnimationMode::smooth, 30}}) {
        showFan(3000, rate.mode);
        EXPECT_EQ(Probe::rotorTimerRate(*strip), rate.redrawsPerSecond);
        if (rate.redrawsPerSecond == 0) {
            EXPECT_FALSE(Probe::rotorTimer(*strip));
        } else {
            ASSERT_TRUE(Probe::rotorTimer(*strip));
            EXPECT_DOUBLE_EQ(Probe::rotorTimer(*strip)->interval(), 1.0 / rate.redrawsPerSecond);
            EXPECT_DOUBLE_EQ(Probe::rotorTimer(*strip)->tolerance(), 0.002);
        }
        rectRedraws = 0;
        // A second, and a hair more for the rounding of twelve twelfths.
        loop.advanceAndRunDue(1.0 + 1e-6);
        EXPECT_EQ(rectRedraws, rate.redrawsPerSecond);
    }
    // 3000 RPM turn the rotor 1.65 times a second.
    EXPECT_DOUBLE_EQ(Probe::rotorPhase(*strip).speed, 1.65);

    // A stopped fan stops the timer; so does hiding the module.
    showFan(0);
    EXPECT_FALSE(Probe::rotorTimer(*strip));
    showFan(3000);
    ASSERT_TRUE(Probe::rotorTimer(*strip));
    setFanMode(FanDisplayMode::hidden);
    EXPECT_FALSE(Probe::rotorTimer(*strip));
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, RotorFramesAreRebuiltOnlyWhenTheirKeyChanges) {
    showFan(3000);
    ASSERT_EQ(Probe::rotorFrames(*strip).size(), 60u);
    EXPECT_EQ(Probe::rotorKey(*strip), "false-false-false");
    const gfx::Bitmap* first = Probe::rotorFrames(*strip)[0].bitmap();
    showFan(3100);
    EXPECT_EQ(Probe::rotorFrames(*strip)[0].bitmap(), first);
    showFan(5900);
    EXPECT_EQ(Probe::rotorKey(*strip), "false-true-true");
    EXPECT_NE(Probe::rotorFrames(*strip)[0].bitmap(), first);
    setFanMode(FanDisplayMode::hidden);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, ThermometerLiquidTicksThirtyTimesASecondAndStops) {
    updateTemperature(40, TemperatureDisplayMode::thermometer);
    // The first reading fills at once.
    EXPECT_EQ(Probe::thermometerLiquid(*strip), heatFraction(40.0));
    EXPECT_FALSE(Probe::liquidMoves(*strip));

    updateTemperature(85, TemperatureDisplayMode::thermometer);
    ASSERT_TRUE(Probe::liquidMoves(*strip));
    EXPECT_EQ(Probe::thermometerLiquid(*strip), heatFraction(40.0));
    rectRedraws = 0;
    loop.advanceAndRunDue(0.2);
    EXPECT_EQ(rectRedraws, 6);
    const double shown = *Probe::thermometerLiquid(*strip);
    EXPECT_GT(shown, heatFraction(40.0));
    EXPECT_LT(shown, heatFraction(85.0));

    // A new reading restarts from the level shown.
    updateTemperature(90, TemperatureDisplayMode::thermometer);
    EXPECT_EQ(Probe::thermometerLiquid(*strip), shown);
    rectRedraws = 0;
    loop.advanceAndRunDue(1.0);
    // 13 ticks reach 0.42 s; then the timer is gone.
    EXPECT_EQ(rectRedraws, 13);
    EXPECT_FALSE(Probe::liquidMoves(*strip));
    EXPECT_DOUBLE_EQ(*Probe::thermometerLiquid(*strip), heatFraction(90.0));
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, ThermometerLiquidJumpsUnderReduceMotionAndInChartMode) {
    updateTemperature(40, TemperatureDisplayMode::thermometer);
    app.workspace().setReduceMotion(true);
    updateTemperature(85, TemperatureDisplayMode::thermometer);
    EXPECT_FALSE(Probe::liquidMoves(*strip));
    EXPECT_EQ(Probe::thermometerLiquid(*strip), heatFraction(85.0));
    app.workspace().setReduceMotion(false);

    updateTemperature(40, TemperatureDisplayMode::thermometer);
    ASSERT_TRUE(Probe::liquidMoves(*strip));
    updateTemperature(40, TemperatureDisplayMode::chart);
    EXPECT_FALSE(Probe::liquidMoves(*strip));
    EXPECT_EQ(Probe::thermometerLiquid(*strip), heatFraction(40.0));

    // Taking the module away clears everything.
    strip->updateTemperature(std::nullopt, {}, TemperatureDisplayMode::chart, true,
                             AppLanguage::english, std::nullopt, 85);
    EXPECT_FALSE(strip->moduleImage(ModuleKind::temperature).has_value());
    EXPECT_FALSE(Probe::thermometerLiquid(*strip).has_value());
    // Shown again: the first reading fills at once and the mode shows without a transition.
    updateTemperature(70, TemperatureDisplayMode::thermometer);
    EXPECT_EQ(Probe::thermometerLiquid(*strip), heatFraction(70.0));
    EXPECT_FALSE(Probe::liquidMoves(*strip));
    EXPECT_FALSE(Probe::metricPlan(*strip, ModuleKind::temperature));
    EXPECT_EQ(Probe::temperatureProgress(*strip), 0);
}

TEST_F(AnimatedModules, TemperatureMorphsOnTheMetricLinkAndSnapsWithoutAnimation) {
    updateTemperature(60, TemperatureDisplayMode::thermometer);
    EXPECT_EQ(strip->moduleImage(ModuleKind::temperature)->size().width, 24);
    const double chart =
        temperatureChartWidth({60.0, {50.0, 55.0, 60.0}, AppLanguage::english, true, {}, 85});

    updateTemperature(60, TemperatureDisplayMode::chart);
    ASSERT_TRUE(Probe::metricPlan(*strip, ModuleKind::temperature));
    ASSERT_TRUE(Probe::metricClockRuns(*strip));
    EXPECT_EQ(strip->moduleImage(ModuleKind::temperature)->size().width, 24);
    std::vector<double> widths;
    strip->widthChangedAction = [&] {
        widths.push_back(strip->moduleImage(ModuleKind::temperature)->size().width);
    };
    runMetricPlans();
    EXPECT_FALSE(Probe::metricClockRuns(*strip));
    ASSERT_GE(widths.size(), 40u);
    EXPECT_EQ(widths.back(), chart);
    EXPECT_EQ(Probe::temperatureProgress(*strip), 1);
    for (std::size_t i = 1; i < widths.size(); ++i) {
        EXPECT_GE(widths[i], widths[i - 1]);
    }

    // The same mode again: no new plan.
    updateTemperature(61, TemperatureDisplayMode::chart);
    EXPECT_FALSE(Probe::metricPlan(*strip, ModuleKind::temperature));

    app.workspace().setReduceMotion(true);
    updateTemperature(61, TemperatureDisplayMode::thermometer);
    EXPECT_FALSE(Probe::metricClockRuns(*strip));
    EXPECT_EQ(Probe::temperatureProgress(*strip), 0);
    EXPECT_EQ(strip->moduleImage(ModuleKind::temperature)->size().width, 24);
    app.workspace().setReduceMotion(false);

    strip->setAnimationsEnabled(false);
    updateTemperature(61, TemperatureDisplayMode::chart);
    EXPECT_FALSE(Probe::metricClockRuns(*strip));
    EXPECT_EQ(Probe::temperatureProgress(*strip), 1);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, ComputeTransitionsRunFromAndToTheirExactWidths) {
    showCompute(ComputeDisplayMode::bars);
    EXPECT_FALSE(Probe::metricClockRuns(*strip));
    EXPECT_EQ(strip->moduleImage(ModuleKind::compute)->size().width, computeBarsWidth());

    showCompute(ComputeDisplayMode::chart);
    ASSERT_TRUE(Probe::metricClockRuns(*strip));
    EXPECT_EQ(strip->moduleImage(ModuleKind::compute)->size().width, computeBarsWidth());
    std::vector<double> widths;
    strip->widthChangedAction = [&] {
        widths.push_back(strip->moduleImage(ModuleKind::compute)->size().width);
    };
    for (int i = 0; i < 23; ++i) {
        loop.advanceAndRunDue(frame);
    }
    const double midway = Probe::computePicture(*strip).progress;
    ASSERT_GT(midway, 0.1);
    ASSERT_LT(midway, 0.9);

    // Compact midway: the chart value returns to 0 from where it stands while the cross-fade
    // runs in.
    showCompute(ComputeDisplayMode::compact);
    EXPECT_EQ(Probe::computePicture(*strip).progress, midway);
    widths.clear();
    runMetricPlans();
    EXPECT_FALSE(Probe::metricClockRuns(*strip));
    EXPECT_EQ(Probe::computePicture(*strip).progress, 0);
    EXPECT_EQ(Probe::computePicture(*strip).compactProgress, 1);
    ASSERT_FALSE(widths.empty());
    EXPECT_EQ(widths.back(), computeCompactWidth());

    // Reduce Motion: the mode jumps in the same call.
    showCompute(ComputeDisplayMode::chart, true);
    EXPECT_FALSE(Probe::metricClockRuns(*strip));
    EXPECT_EQ(strip->moduleImage(ModuleKind::compute)->size().width, computeChartWidth(85));

    strip->hideCompute();
    EXPECT_FALSE(strip->moduleImage(ModuleKind::compute).has_value());
    // Shown again: straight to the mode.
    showCompute(ComputeDisplayMode::bars);
    EXPECT_FALSE(Probe::metricClockRuns(*strip));
    EXPECT_EQ(strip->moduleImage(ModuleKind::compute)->size().width, computeBarsWidth());
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(AnimatedModules, ReversedComputeTransitionsEndExactlyOnTheirTargets) {
    showCompute(ComputeDisplayMode::bars);
    for (int round = 0; round < 6; ++round) {
        const bool chart = round % 2 == 0;
        showCompute(chart ? ComputeDisplayMode::chart : ComputeDisplayMode::bars);
        loop.advanceAndRunDue((7 + 3 * round) * frame);
    }
    showCompute(ComputeDisplayMode::chart);
    runMetricPlans();
    EXPECT_EQ(Probe::computePicture(*strip).progress, 1);
    EXPECT_EQ(strip->moduleImage(ModuleKind::compute)->size().width, computeChartWidth(85));
}

TEST_F(AnimatedModules, TheSameComputeModeLetsARunningTransitionGoOnOrJumpsWithAnimationsOff) {
    showCompute(ComputeDisplayMode::bars);
    showCompute(ComputeDisplayMode::chart);
    loop.advanceAndRunDue(5 * frame);
    const double progress = Probe::computePicture(*strip).progress;
    showCompute(ComputeDisplayMode::chart);
    EXPECT_TRUE(Probe::metricPlan(*strip, ModuleKind::compute));
    EXPECT_EQ(Probe::computePicture(*strip).progress, progress);

    strip->setAnimationsEnabled(false);
    showCompute(ComputeDisplayMode::chart);
    EXPECT_FALSE(Probe::metricPlan(*strip, ModuleKind::compute));
    EXPECT_EQ(Probe::computePicture(*strip).progress, 1);
    loop.advanceAndRunDue(frame);
    EXPECT_FALSE(Probe::metricClockRuns(*strip));
}

} // namespace
} // namespace pulsedeck
