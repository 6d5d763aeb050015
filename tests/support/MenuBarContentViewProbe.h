#pragma once

#include "statusbar/MenuBarContentView.h"

namespace pulsedeck {

// What tests and benches observe of the strip's animations, caches, presses and sorting, and the
// steps they drive directly, without making them part of the strip's interface.
class MenuBarContentViewProbe {
public:
    using View = MenuBarContentView;

    // Geometry and appearance.
    static double heightScale(const View& view) { return view.heightScale(); }
    static double modulesWidth(const View& view) { return view.modulesWidth(); }
    static std::optional<gfx::Rect> statusItemScreenRect(const View& view) {
        return view.statusItemScreenRect();
    }
    static bool drawsDark(const View& view) { return view.drawsDark(); }
    static bool isGliding(const View& view) { return view.isGliding(); }

    // Transitions on the frame clock.
    static void runMetricPlan(View& view, ModuleKind kind, MetricPlan plan) {
        view.runMetricPlan(kind, std::move(plan));
    }
    static const MetricPlan* metricPlan(const View& view, ModuleKind kind) {
        return view.metricPlan(kind);
    }
    static bool metricClockRuns(const View& view) { return view.metricLink_ != nullptr; }

    // 0…1 factor of the selection highlight while it fades in.
    static double selectionOpacity(const View& view) { return view.selectionOpacity_; }
    static void startDeviceAttentionPulse(View& view) { view.startDeviceAttentionPulse(); }
    // 0…1 through the devices' arrival pulse; 1 when no pulse runs.
    static double deviceAttentionProgress(const View& view) {
        return view.deviceAttentionProgress_;
    }
    // The thermometer's shown liquid level, 0…1; none while the module is not shown.
    static const std::optional<double>& thermometerLiquid(const View& view) {
        return view.thermometerLiquid_;
    }
    static bool liquidMoves(const View& view) { return view.temperatureTimer_ != nullptr; }
    // 0 = thermometer, 1 = chart.
    static double temperatureProgress(const View& view) { return view.temperatureProgress_; }
    // The compute inputs with the transition's progress values.
    static const ComputePicture& computePicture(const View& view) { return view.compute_; }

    // The fan: 0 = ring, 1 = graph; the morph, its backdrops and the rotor.
    static double fanGraphProgress(const View& view) { return view.graphProgress_; }
    static bool fanMorphRuns(const View& view) { return view.morphTimer_ != nullptr; }
    static const std::optional<gfx::Image>& fanTransitionBackdrop(const View& view) {
        return view.transitionBackdrop_;
    }
    static const std::optional<gfx::Image>& fanRingBackdrop(const View& view) {
        return view.ringBackdrop_;
    }
    static const std::optional<gfx::Image>& fanGraphBackdrop(const View& view) {
        return view.graphBackdrop_;
    }
    static const std::vector<gfx::Image>& rotorFrames(const View& view) {
        return view.rotorFrames_;
    }
    static const std::string& rotorKey(const View& view) { return view.rotorKey_; }
    static const dispatch::Timer* rotorTimer(const View& view) {
        return view.animationTimer_.get();
    }
    static int rotorTimerRate(const View& view) { return view.timerFrameRate_; }
    static const FanPhaseClock& rotorPhase(const View& view) { return view.phase_; }
    static void redrawFanModule(View& view) { view.redrawFanModule(); }

    // Presses: one waiting for its release, the poll that follows a press no event reports, a
    // drag out of the strip.
    static void handlePointerEvent(View& view, const ui::Event& event) {
        view.handlePointerEvent(event);
    }
    static void beginPress(View& view, ModuleKind kind, const ui::Event& event, gfx::Point point) {
        view.beginPress(kind, event, point);
    }
    static bool pressPending(const View& view) { return view.normalPress_.pending.has_value(); }
    static bool pressPolls(const View& view) { return view.normalPressTimer_ != nullptr; }
    static bool dragsStripOut(const View& view) { return view.normalDragActive_; }
    static bool monitorsPointerEverywhere(const View& view) {
        return view.pointerMonitor_.has_value();
    }

    // Sorting: the dragged module's rectangle, the sorting press, the close badge it began on,
    // the closed hand it shows, and the Escape monitors and jiggle.
    static void beginSortDrag(View& view, ModuleKind kind, double x) {
        view.beginSortDrag(kind, x);
    }
    static void moveSortDrag(View& view, double x) { view.moveSortDrag(x); }
    static void endSortDrag(View& view) { view.endSortDrag(); }
    static std::optional<ModuleKind> closeBadge(const View& view, gfx::Point point) {
        return view.closeBadge(point);
    }
    static const std::optional<gfx::Rect>& draggedRect(const View& view) {
        return view.draggedRect_;
    }
    static bool sortUsesNative(const View& view) { return view.sortUsesNative_; }
    static bool sortPointerIsDown(const View& view) { return view.sortPointerIsDown_; }
    static const std::optional<gfx::Rect>& sortPointerFrame(const View& view) {
        return view.sortPointerFrame_;
    }
    static const std::optional<ModuleKind>& pressedClose(const View& view) {
        return view.pressedClose_;
    }
    static bool holdsClosedHand(const View& view) { return view.cursorHeld_; }
    static std::size_t escapeMonitorCount(const View& view) { return view.escapeMonitors_.size(); }
    static bool jiggles(const View& view) { return view.jiggleTimer_ != nullptr; }
};

} // namespace pulsedeck
