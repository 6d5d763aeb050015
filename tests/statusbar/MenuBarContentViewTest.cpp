#include "statusbar/MenuBarContentView.h"

#include "StripFixture.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "support/MenuBarContentViewProbe.h"

#include <cmath>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

using striptest::Marks;
using striptest::StripFixture;

// Memory 40, network 60, devices 34; the fan as a ring (24).
void giveImages(MenuBarContentView& strip) {
    strip.setModuleImage(ModuleKind::memory, StripFixture::blankImage(40));
    strip.setModuleImage(ModuleKind::network, StripFixture::blankImage(60));
    strip.setModuleImage(ModuleKind::devices, StripFixture::blankImage(34));
}

TEST_F(StripFixture, RequiredWidthFollowsTheShownModules) {
    auto strip = makeStrip();
    strip->setFanMode(FanDisplayMode::hidden);
    EXPECT_EQ(strip->requiredWidth(), 24);
    strip->setModuleImage(ModuleKind::memory, blankImage(40));
    EXPECT_EQ(strip->requiredWidth(), 36);
    EXPECT_EQ(strip->moduleWidth(ModuleKind::memory), 40);
    EXPECT_EQ(strip->moduleWidth(ModuleKind::fan), std::nullopt);
    EXPECT_EQ(strip->moduleWidth(ModuleKind::compute), std::nullopt);

    strip->setPresentationHeight(40);
    strip->setModuleImage(ModuleKind::memory, std::nullopt);
    EXPECT_EQ(strip->requiredWidth(), 32);
}

TEST_F(StripFixture, AHiddenFanTakesNoRoomAndNoGap) {
    auto strip = makeStrip();
    giveImages(*strip);
    const double s = Probe::heightScale(*strip);
    EXPECT_DOUBLE_EQ(Probe::modulesWidth(*strip), 3 * 8 + (40 + 24 + 60 + 34) * s);
    strip->setFanMode(FanDisplayMode::hidden);
    EXPECT_DOUBLE_EQ(Probe::modulesWidth(*strip), 2 * 8 + (40 + 60 + 34) * s);
    EXPECT_FALSE(strip->layoutModuleRects().contains(ModuleKind::fan));
    EXPECT_EQ(strip->rect(ModuleKind::fan), gfx::Rect{});

    strip->setAnimationsEnabled(false);
    strip->setFanMode(FanDisplayMode::graph);
    strip->setChartLength(10);
    strip->renderFanImage();
    EXPECT_DOUBLE_EQ(*strip->moduleWidth(ModuleKind::fan), 24 + 88);
}

TEST_F(StripFixture, ModuleRectsFollowTheOrderAndTheScale) {
    auto strip = makeStrip(30);
    giveImages(*strip);
    strip->setOrder({ModuleKind::network, ModuleKind::memory, ModuleKind::fan,
                     ModuleKind::temperature, ModuleKind::compute, ModuleKind::devices});
    const double s = 26.5 / 24;
    const ModuleRects rects = strip->layoutModuleRects();
    ASSERT_EQ(rects.size(), 4u);
    const double x0 = (strip->requiredWidth() - Probe::modulesWidth(*strip)) / 2;
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::network).x(), x0);
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::network).y(), 15 - 12 * s);
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::memory).x(), x0 + 60 * s + 8);
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::fan).x(), x0 + 100 * s + 16);
    EXPECT_DOUBLE_EQ(rects.at(ModuleKind::devices).maxX(), x0 + 158 * s + 24);
}

TEST_F(StripFixture, TheCurrentRectPrefersDraggedThenDisplayedThenLayout) {
    auto strip = makeStrip();
    giveImages(*strip);
    EXPECT_EQ(strip->rect(ModuleKind::network), strip->layoutModuleRects().at(ModuleKind::network));
    strip->relayout();
    // Gliding to a new order, the shown rectangles lag the layout.
    strip->setOrder({ModuleKind::network, ModuleKind::memory, ModuleKind::fan,
                     ModuleKind::temperature, ModuleKind::compute, ModuleKind::devices});
    strip->updateDisplayedRects();
    const gfx::Rect shown = strip->displayedRects().at(ModuleKind::network);
    ASSERT_NE(shown, strip->layoutModuleRects().at(ModuleKind::network));
    EXPECT_EQ(strip->rect(ModuleKind::network), shown);
    // Dragged in sorting, a module is where the drag holds it.
    strip->setSorting(true);
    Probe::beginSortDrag(*strip, ModuleKind::network, shown.minX() + 5);
    Probe::moveSortDrag(*strip, shown.minX() + 7);
    ASSERT_TRUE(Probe::draggedRect(*strip));
    EXPECT_EQ(strip->rect(ModuleKind::network), *Probe::draggedRect(*strip));
    EXPECT_EQ(strip->rect(ModuleKind::network).minX(), shown.minX() + 2);
    EXPECT_EQ(strip->rect(ModuleKind::compute), gfx::Rect{});
    strip->setSorting(false);
}

TEST_F(StripFixture, AnOrderChangeGlidesInXOnlyAndSparesTheDraggedModule) {
    auto strip = makeStrip();
    giveImages(*strip);
    strip->relayout();
    const ModuleRects before = strip->displayedRects();

    // The height changes with the order: sizes and y jump, x glides.
    strip->setSorting(true);
    Probe::beginSortDrag(*strip, ModuleKind::network, strip->rect(ModuleKind::network).midX());
    ASSERT_EQ(strip->draggedModule(), ModuleKind::network);
    strip->setPresentationHeight(30);
    strip->setOrder({ModuleKind::devices, ModuleKind::network, ModuleKind::fan, ModuleKind::memory,
                     ModuleKind::temperature, ModuleKind::compute});
    int widthReports = 0;
    strip->widthChangedAction = [&] { ++widthReports; };
    strip->updateDisplayedRects();
    EXPECT_TRUE(Probe::isGliding(*strip));
    EXPECT_EQ(strip->displayedRects(), before);

    loop.advanceAndRunDue(0.1);
    const ModuleRects target = strip->layoutModuleRects();
    const gfx::Rect memory = strip->displayedRects().at(ModuleKind::memory);
    EXPECT_EQ(memory.y(), target.at(ModuleKind::memory).y());
    EXPECT_EQ(memory.size, target.at(ModuleKind::memory).size);
    EXPECT_GT(memory.x(), before.at(ModuleKind::memory).x());
    EXPECT_LT(memory.x(), target.at(ModuleKind::memory).x());
    EXPECT_EQ(strip->displayedRects().at(ModuleKind::network), before.at(ModuleKind::network));

    loop.advanceAndRunDue(0.3);
    EXPECT_FALSE(Probe::isGliding(*strip));
    EXPECT_EQ(strip->displayedRects(), strip->layoutModuleRects());
    EXPECT_EQ(widthReports, 0);
    strip->setSorting(false);
    loop.advanceAndRunDue(0.4);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(StripFixture, TheGlideEasesOutOver038Seconds) {
    auto strip = makeStrip();
    giveImages(*strip);
    strip->relayout();
    const double from = strip->displayedRects().at(ModuleKind::devices).x();
    strip->setOrder({ModuleKind::devices, ModuleKind::memory, ModuleKind::fan, ModuleKind::network,
                     ModuleKind::temperature, ModuleKind::compute});
    const double to = strip->layoutModuleRects().at(ModuleKind::devices).x();
    const double started = clock.now();
    strip->updateDisplayedRects();
    loop.advanceAndRunDue(0.19);
    // The last step ran on the frame grid at or before 0.19 s.
    const double x = strip->displayedRects().at(ModuleKind::devices).x();
    const double latest = easeOutCubic(std::min((clock.now() - started) / 0.38, 1.0));
    const double earlier = easeOutCubic((clock.now() - started - 1.0 / 60) / 0.38);
    EXPECT_LE(x, from + earlier * (to - from) + 1e-9);
    EXPECT_GE(x, from + latest * (to - from) - 1e-9);
}

TEST_F(StripFixture, WithoutAnimationsOrAShownLayoutTheRectsJump) {
    auto strip = makeStrip();
    giveImages(*strip);
    strip->setOrder({ModuleKind::devices, ModuleKind::memory, ModuleKind::fan, ModuleKind::network,
                     ModuleKind::temperature, ModuleKind::compute});
    strip->updateDisplayedRects();
    EXPECT_FALSE(Probe::isGliding(*strip));
    EXPECT_EQ(strip->displayedRects(), strip->layoutModuleRects());

    strip->setAnimationsEnabled(false);
    strip->setOrder({ModuleKind::memory, ModuleKind::devices, ModuleKind::fan, ModuleKind::network,
                     ModuleKind::temperature, ModuleKind::compute});
    strip->updateDisplayedRects();
    EXPECT_FALSE(Probe::isGliding(*strip));
    EXPECT_EQ(strip->displayedRects(), strip->layoutModuleRects());
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(StripFixture, TheSameOrderLeavesAGlideOrADragAlone) {
    auto strip = makeStrip();
    giveImages(*strip);
    strip->relayout();
    const ModuleRects shown = strip->displayedRects();
    strip->setSorting(true);
    Probe::beginSortDrag(*strip, ModuleKind::fan, strip->rect(ModuleKind::fan).midX());
    ASSERT_EQ(strip->draggedModule(), ModuleKind::fan);
    // A new height moves the layout but not the order: the drag keeps what is shown.
    strip->setPresentationHeight(30);
    ASSERT_NE(strip->layoutModuleRects(), shown);
    strip->updateDisplayedRects();
    EXPECT_EQ(strip->displayedRects(), shown);
    // Dropped, the modules glide to the layout, which the same order leaves alone.
    Probe::endSortDrag(*strip);
    ASSERT_TRUE(Probe::isGliding(*strip));
    loop.advanceAndRunDue(0.1);
    const ModuleRects gliding = strip->displayedRects();
    strip->updateDisplayedRects();
    EXPECT_EQ(strip->displayedRects(), gliding);
    loop.advanceAndRunDue(0.3);
    EXPECT_EQ(strip->displayedRects(), strip->layoutModuleRects());
    strip->setSorting(false);
}

TEST_F(StripFixture, RelayoutStopsAGlideAndReportsTheWidth) {
    auto strip = makeStrip();
    giveImages(*strip);
    strip->relayout();
    strip->setOrder({ModuleKind::devices, ModuleKind::memory, ModuleKind::fan, ModuleKind::network,
                     ModuleKind::temperature, ModuleKind::compute});
    strip->updateDisplayedRects();
    int reports = 0;
    strip->widthChangedAction = [&] { ++reports; };
    strip->relayout();
    EXPECT_FALSE(Probe::isGliding(*strip));
    EXPECT_EQ(strip->displayedRects(), strip->layoutModuleRects());
    EXPECT_EQ(reports, 1);
}

TEST_F(StripFixture, OnlyAHeightChangeRelaysOut) {
    auto strip = makeStrip();
    int reports = 0;
    strip->widthChangedAction = [&] { ++reports; };
    strip->setFrameSize({200, 24});
    EXPECT_EQ(reports, 0);
    strip->setFrameSize({200, 30});
    EXPECT_EQ(reports, 1);
    strip->setBoundsSize({200, 30});
    EXPECT_EQ(reports, 1);
    strip->setBoundsSize({200, 22});
    EXPECT_EQ(reports, 2);
}

TEST_F(StripFixture, InvalidationTellsTheSurfacesThatDrawTheStrip) {
    auto strip = makeStrip();
    int whole = 0;
    std::vector<gfx::Rect> parts;
    strip->editingDisplayAction = [&] { ++whole; };
    strip->setNeedsDisplay(true);
    EXPECT_TRUE(strip->needsDisplay());
    EXPECT_EQ(whole, 1);
    strip->setNeedsDisplayInRect({1, 2, 3, 4});
    EXPECT_EQ(whole, 2);
    strip->editingRectAction = [&](const gfx::Rect& rect) { parts.push_back(rect); };
    strip->setNeedsDisplayInRect({1, 2, 3, 4});
    EXPECT_EQ(whole, 2);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0], (gfx::Rect{1, 2, 3, 4}));
    // The base call stays reachable and marks the view alone.
    strip->ui::View::setNeedsDisplayInRect({5, 5, 5, 5});
    EXPECT_EQ(whole, 2);
    EXPECT_EQ(parts.size(), 1u);
    // Clearing the mark reports nothing.
    strip->setNeedsDisplay(false);
    EXPECT_EQ(whole, 2);
}

// Each setter marks what its change moves: nothing for the same value (the same picture counts
// by identity), the module's column for a new picture at the same width, the whole strip when the
// layout or the appearance moves.
TEST_F(StripFixture, SettersMarkExactlyWhatChanges) {
    auto strip = makeStrip();
    const gfx::Image memory = blankImage(40);
    strip->setModuleImage(ModuleKind::memory, memory);
    strip->setModuleImage(ModuleKind::network, blankImage(60));
    strip->relayout();
    striptest::MarkRecorder marks(*strip);
    const gfx::Rect memoryColumn = strip->rect(ModuleKind::memory);

    EXPECT_EQ(marks([&] { strip->setModuleImage(ModuleKind::memory, memory); }), (Marks{0, {}}));
    EXPECT_EQ(marks([&] { strip->setModuleImage(ModuleKind::memory, blankImage(40)); }),
              (Marks{0, {memoryColumn}}));
    EXPECT_EQ(marks([&] { strip->setModuleImage(ModuleKind::memory, blankImage(44)); }).first, 1);
    EXPECT_EQ(marks([&] { strip->setModuleImage(ModuleKind::memory, std::nullopt); }).first, 1);
    EXPECT_EQ(marks([&] { strip->setModuleImage(ModuleKind::fan, blankImage(40)); }),
              (Marks{0, {}}));
    EXPECT_FALSE(strip->moduleImage(ModuleKind::fan));

    const std::vector<std::pair<const char*, std::function<void()>>> layoutChanges{
        {"order",
         [&] {
             strip->setOrder({ModuleKind::network, ModuleKind::memory});
         }},
        {"editable", [&] { strip->setEditableModules({ModuleKind::network}); }},
        {"height", [&] { strip->setPresentationHeight(30); }},
        {"app mark", [&] { strip->setDisplaysAppMark(true); }},
        {"gap", [&] { strip->setFanGap(12); }},
        {"chart", [&] { strip->setChartLength(120); }},
        {"fan mode", [&] { strip->setFanMode(FanDisplayMode::graph); }},
        {"padding", [&] { strip->setEdgePadding(3); }},
        {"drawn elsewhere", [&] { strip->setEditingSurfacePresented(true); }},
    };
    for (const auto& [name, change] : layoutChanges) {
        EXPECT_EQ(marks(change), (Marks{1, {}})) << name;
        EXPECT_TRUE(strip->needsDisplay()) << name;
        EXPECT_EQ(marks(change), (Marks{0, {}})) << name << " again";
        EXPECT_FALSE(strip->needsDisplay()) << name << " again";
    }
}

// A new reading of one module repaints that module's column and nothing else; the same reading
// again repaints nothing.
TEST_F(StripFixture, AModulesNewInputMarksOnlyItsColumn) {
    auto strip = makeStrip();
    strip->setModuleImage(ModuleKind::memory, blankImage(40));
    strip->setModuleImage(ModuleKind::network, blankImage(60));
    MenuBarContentView::FanInputs fan;
    fan.snapshot = {"Test", {{0, 3000.0, 6000.0}}, 1};
    fan.animation = FanAnimationMode::off;
    strip->setFanInputs(fan);
    MenuBarContentView::ComputeInputs compute;
    compute.snapshot = {35, 12, 8, 32, "GPU"};
    strip->showCompute(compute, ComputeDisplayMode::bars, false);
    auto temperature = [&](double celsius) {
        TemperatureSnapshot reading;
        reading.celsius = celsius;
        reading.sensorCount = 1;
        strip->updateTemperature(reading, {}, TemperatureDisplayMode::thermometer, true,
                                 AppLanguage::english, std::nullopt, 85);
    };
    temperature(50);
    std::vector<ExternalDevice> devices(1);
    devices[0].id = "usb:1";
    devices[0].name = "Keyboard";
    strip->updateDevices(devices, true, std::nullopt);
    strip->relayout();
    striptest::MarkRecorder marks(*strip);

    const std::vector<std::tuple<const char*, ModuleKind, std::function<void()>>> changes{
        {"memory picture", ModuleKind::memory,
         [&] { strip->setModuleImage(ModuleKind::memory, blankImage(40)); }},
        {"fan speed", ModuleKind::fan,
         [&] {
             fan.snapshot.fans[0].rpm = 4500;
             strip->setFanInputs(fan);
         }},
        {"fan colour", ModuleKind::fan,
         [&] {
             fan.color = PaletteColor::red;
             strip->setFanInputs(fan);
         }},
        {"compute load", ModuleKind::compute,
         [&] {
             compute.snapshot.cpu = 80;
             strip->showCompute(compute, ComputeDisplayMode::bars, false);
         }},
        {"compute colour", ModuleKind::compute,
         [&] {
             compute.colors.cpu = gfx::Color::systemRed();
             strip->showCompute(compute, ComputeDisplayMode::bars, false);
         }},
        {"temperature", ModuleKind::temperature, [&] { temperature(60); }},
        {"devices tint", ModuleKind::devices,
         [&] { strip->updateDevices(devices, true, gfx::Color::systemRed()); }},
    };
    for (const auto& [name, kind, change] : changes) {
        const gfx::Rect column = strip->rect(kind);
        ASSERT_GT(column.width(), 0) << name;
        EXPECT_EQ(marks(change), (Marks{0, {column}})) << name;
        // A new blank picture is a new picture every time; the readings are the same again.
        if (kind != ModuleKind::memory) {
            EXPECT_EQ(marks(change), (Marks{0, {}})) << name << " again";
        }
    }
}

TEST_F(StripFixture, TheSelectionFadesInOverAFifthOfASecond) {
    auto strip = makeStrip();
    giveImages(*strip);
    strip->setActiveModule(ModuleKind::network);
    EXPECT_EQ(strip->activeModule(), ModuleKind::network);
    EXPECT_EQ(Probe::selectionOpacity(*strip), 0);
    loop.advanceAndRunDue(0.09);
    EXPECT_GT(Probe::selectionOpacity(*strip), smoothstep(0.4));
    EXPECT_LE(Probe::selectionOpacity(*strip), 0.5);
    loop.advanceAndRunDue(0.1);
    EXPECT_EQ(Probe::selectionOpacity(*strip), 1);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(StripFixture, ClearingTheSelectionMidFadeShowsFullOpacity) {
    auto strip = makeStrip();
    strip->setActiveModule(ModuleKind::memory);
    loop.advanceAndRunDue(0.05);
    strip->setActiveModule(std::nullopt);
    EXPECT_EQ(Probe::selectionOpacity(*strip), 1);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(StripFixture, ReducedMotionOrNoAnimationsShowTheSelectionAtOnce) {
    auto strip = makeStrip();
    app.workspace().setReduceMotion(true);
    strip->setActiveModule(ModuleKind::memory);
    EXPECT_EQ(Probe::selectionOpacity(*strip), 1);
    EXPECT_TRUE(loopIsIdle());
    app.workspace().setReduceMotion(false);
    strip->setAnimationsEnabled(false);
    strip->setActiveModule(ModuleKind::network);
    EXPECT_EQ(Probe::selectionOpacity(*strip), 1);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(StripFixture, TheDevicePulseRedrawsOnlyTheDevicesModule) {
    auto strip = makeStrip();
    giveImages(*strip);
    strip->relayout();
    const striptest::MarkRecorder recorder(*strip);
    const auto& [whole, parts] = recorder.marks();
    Probe::startDeviceAttentionPulse(*strip);
    EXPECT_EQ(Probe::deviceAttentionProgress(*strip), 0);
    loop.advanceAndRunDue(0.36);
    EXPECT_NEAR(Probe::deviceAttentionProgress(*strip), 0.5, 1.0 / 60 / 0.72 + 1e-9);
    ASSERT_FALSE(parts.empty());
    const gfx::Rect devices = strip->rect(ModuleKind::devices).insetBy(-4, -4);
    for (const gfx::Rect& rect : parts)
        EXPECT_EQ(rect, devices);
    EXPECT_EQ(whole, 0);
    loop.advanceAndRunDue(0.4);
    EXPECT_EQ(Probe::deviceAttentionProgress(*strip), 1);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(StripFixture, MetricPlansStepToTheirEndsAndStopTheClock) {
    auto strip = makeStrip();
    giveImages(*strip);
    std::vector<double> compute;
    std::vector<double> temperature;
    int reports = 0;
    strip->widthChangedAction = [&] { ++reports; };
    const double now = clock.now();
    Probe::runMetricPlan(
        *strip, ModuleKind::compute,
        {FanMorph{0, 1, now, 0.5, std::nullopt}, [&](double value) { compute.push_back(value); }});
    Probe::runMetricPlan(*strip, ModuleKind::temperature,
                         {FanMorph{1, 0, now, 0.2, std::nullopt},
                          [&](double value) { temperature.push_back(value); }});
    ASSERT_TRUE(Probe::metricClockRuns(*strip));

    loop.advanceAndRunDue(0.3);
    EXPECT_FALSE(Probe::metricPlan(*strip, ModuleKind::temperature));
    EXPECT_TRUE(Probe::metricPlan(*strip, ModuleKind::compute));
    ASSERT_FALSE(temperature.empty());
    EXPECT_EQ(temperature.back(), 0);
    EXPECT_TRUE(std::is_sorted(compute.begin(), compute.end()));

    loop.advanceAndRunDue(0.3);
    EXPECT_FALSE(Probe::metricPlan(*strip, ModuleKind::compute));
    EXPECT_FALSE(Probe::metricClockRuns(*strip));
    ASSERT_FALSE(compute.empty());
    EXPECT_EQ(compute.back(), 1);
    EXPECT_EQ(reports, static_cast<int>(compute.size()));
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(StripFixture, AFrameSkipsTheLayoutWhileAGlideRuns) {
    auto strip = makeStrip();
    giveImages(*strip);
    strip->relayout();
    strip->setOrder({ModuleKind::devices, ModuleKind::memory, ModuleKind::fan, ModuleKind::network,
                     ModuleKind::temperature, ModuleKind::compute});
    strip->updateDisplayedRects();
    Probe::runMetricPlan(*strip, ModuleKind::compute,
                         {FanMorph{0, 1, clock.now(), 1, std::nullopt}, [](double) {}});
    loop.advanceAndRunDue(1.0 / 60);
    ASSERT_TRUE(Probe::isGliding(*strip));
    EXPECT_NE(strip->displayedRects(), strip->layoutModuleRects());
}

TEST_F(StripFixture, WithoutAScreenNoMetricClockStarts) {
    server.setScreens({});
    auto strip = makeStrip();
    Probe::runMetricPlan(*strip, ModuleKind::compute,
                         {FanMorph{0, 1, clock.now(), 1, std::nullopt}, [](double) {}});
    EXPECT_FALSE(Probe::metricClockRuns(*strip));
}

TEST_F(StripFixture, TeardownStopsEveryTimerAndClock) {
    auto strip = makeStrip();
    giveImages(*strip);
    strip->relayout();
    strip->setActiveModule(ModuleKind::memory);
    Probe::startDeviceAttentionPulse(*strip);
    strip->setOrder({ModuleKind::devices, ModuleKind::memory, ModuleKind::fan, ModuleKind::network,
                     ModuleKind::temperature, ModuleKind::compute});
    strip->updateDisplayedRects();
    Probe::runMetricPlan(*strip, ModuleKind::compute,
                         {FanMorph{0, 1, clock.now(), 10, std::nullopt}, [](double) {}});
    EXPECT_FALSE(loopIsIdle());
    strip.reset();
    EXPECT_TRUE(loopIsIdle());
    loop.advanceAndRunDue(1);
}

TEST_F(StripFixture, AnAppearanceChangeRebuildsTheFanImages) {
    auto strip = makeStrip();
    auto window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 300, 24}, ui::Style::borderless);
    window->setContentView(strip);
    app.setAppearance(gfx::Appearance::dark);

    EXPECT_TRUE(Probe::drawsDark(*strip));
    ASSERT_TRUE(Probe::fanRingBackdrop(*strip));
    const std::string darkKey = Probe::rotorKey(*strip);
    EXPECT_EQ(Probe::rotorFrames(*strip).size(), 60u);

    app.setAppearance(gfx::Appearance::light);
    EXPECT_FALSE(Probe::drawsDark(*strip));
    EXPECT_NE(Probe::rotorKey(*strip), darkKey);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(StripFixture, AccessibilitySeesAButton) {
    auto strip = makeStrip();
    EXPECT_TRUE(strip->isAccessibilityElement());
    EXPECT_EQ(strip->accessibility().role, ui::AccessibilityRole::button);
}

// Screen geometry.

class StripScreens : public StripFixture {
protected:
    std::shared_ptr<ui::StatusItem> item;
    std::shared_ptr<MenuBarContentView> strip;

    void install() {
        strip = makeStrip();
        giveImages(*strip);
        strip->relayout();
        strip->setFrameSize({strip->requiredWidth(), 24});
        item = ui::StatusBar::system().statusItem(strip->requiredWidth());
        item->setView(strip);
    }
};

TEST_F(StripScreens, WithoutAWindowThereIsNoScreenGeometry) {
    auto strip = makeStrip();
    EXPECT_EQ(Probe::statusItemScreenRect(*strip), std::nullopt);
    EXPECT_EQ(strip->statusItemScreenFrame(), std::nullopt);
    EXPECT_TRUE(strip->menuBarScreens().empty());
    EXPECT_EQ(strip->menuBarFrame({1400, 890}, 10), std::nullopt);
    EXPECT_EQ(strip->stripFrame(ui::Screen::screens().front()), std::nullopt);
}

TEST_F(StripScreens, OneScreenPutsTheStripInItsMenuBar) {
    install();
    const double w = strip->requiredWidth();
    const auto rect = Probe::statusItemScreenRect(*strip);
    ASSERT_TRUE(rect);
    EXPECT_EQ(*rect, (gfx::Rect{1440 - w, 876, w, 24}));
    EXPECT_EQ(strip->statusItemScreenFrame(), *rect);
    EXPECT_EQ(strip->menuBarScreens(), (std::vector<gfx::Rect>{{0, 0, 1440, 900}}));
    EXPECT_EQ(strip->menuBarFrame({1439, 899}, 0), *rect);
    EXPECT_EQ(strip->menuBarFrame({1440 - w - 5, 890}, 0), std::nullopt);
    EXPECT_EQ(strip->menuBarFrame({1440 - w - 5, 890}, 6), *rect);
}

TEST_F(StripScreens, ASecondScreenWithAMenuBarGetsTheStripAtTheSameRightDistance) {
    server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1),
                       ui::HeadlessWindowServer::makeScreen({1440, 200, 1920, 1080}, 2, 30)});
    install();
    const double w = strip->requiredWidth();
    const auto screens = ui::Screen::screens();
    EXPECT_EQ(strip->menuBarScreens(),
              (std::vector<gfx::Rect>{{0, 0, 1440, 900}, {1440, 200, 1920, 1080}}));
    const auto second = strip->stripFrame(screens[1]);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, (gfx::Rect{3360 - w, 1280 - 15 - 12, w, 24}));
    EXPECT_EQ(strip->menuBarFrame(second->center(), 0), second);
}

TEST_F(StripScreens, AScreenWithoutAMenuBarIsLeftOut) {
    server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1),
                       ui::HeadlessWindowServer::makeScreen({1440, 0, 1920, 1080}, 2, 0)});
    install();
    EXPECT_EQ(strip->menuBarScreens(), (std::vector<gfx::Rect>{{0, 0, 1440, 900}}));
    // Asked directly, it still gets a strip in a bar of the standard height.
    const auto screens = ui::Screen::screens();
    const auto frame = strip->stripFrame(screens[1]);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->y(), 1080 - 12 - 12);
}

TEST_F(StripScreens, AStripOffTheMenuBarHasNoScreenRect) {
    auto strip = makeStrip();
    auto window = std::make_shared<ui::Window>(gfx::Rect{100, 400, 300, 24}, ui::Style::borderless);
    window->setContentView(strip);
    EXPECT_EQ(Probe::statusItemScreenRect(*strip), std::nullopt);
    EXPECT_TRUE(strip->menuBarScreens().empty());
}

} // namespace
} // namespace pulsedeck
