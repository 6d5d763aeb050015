#include "app/AppDelegate.h"
#include "app/FloatingSettingsTransfer.h"
#include "floating/FloatingGeometry.h"
#include "floating/FloatingStripSettings.h"
#include "floating/FloatingSurface.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/StripInputs.h"
#include "statusbar/StripMetrics.h"

#include <algorithm>

namespace pulsedeck {

namespace {

// The charts and the detail cards show one minute; older entries would only be copied.
constexpr std::size_t floatingHistoryLength = 60;

template <typename T> std::vector<T> lastEntries(const std::vector<T>& history) {
    const std::size_t start =
        history.size() > floatingHistoryLength ? history.size() - floatingHistoryLength : 0;
    return {history.begin() + static_cast<std::ptrdiff_t>(start), history.end()};
}

} // namespace

FloatingSurface* AppDelegate::floatingSurface() const {
    return floatingPanel ? dynamic_cast<FloatingSurface*>(floatingPanel->contentView().get())
                         : nullptr;
}

void AppDelegate::loadFloatingPreferences() {
    if (floatingPreferences)
        return;
    const FloatingPreferences fallback = floatingFallback(*this);
    const auto stored = defaults().dictionaryForKey(FloatingPreferences::defaultsKey);
    floatingPreferences = stored ? FloatingPreferences(*stored, fallback) : fallback;
    writeFloatingPreferences();

    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    MenuBarContentView& strip = *floatingView;
    strip.editingDisplayAction = [weak] {
        auto self = weak.lock();
        FloatingSurface* surface = self ? self->floatingSurface() : nullptr;
        if (!surface)
            return;
        surface->redraw();
        if (self->floatingPanel->isVisible())
            self->floatingPanel->displayIfNeeded();
    };
    strip.editingRectAction = [weak](const gfx::Rect& rect) {
        if (auto self = weak.lock())
            if (FloatingSurface* surface = self->floatingSurface())
                surface->redraw(rect);
    };
    strip.widthChangedAction = [weak] {
        if (auto self = weak.lock())
            self->layoutFloatingPanel();
    };
    strip.statusOrderAction = [weak](const std::vector<ModuleKind>& order) {
        if (auto self = weak.lock())
            self->setFloatingOrder(order);
    };
    strip.statusHideAction = [weak](ModuleKind kind) {
        if (auto self = weak.lock())
            self->hideFloatingModule(kind);
    };
    strip.finishSortingAction = [weak] {
        auto self = weak.lock();
        if (!self)
            return;
        if (self->floatingView->isSorting())
            self->floatingView->setSorting(false);
        if (self->floatingDetails->isSorting) {
            self->floatingDetails->isSorting = false;
            self->floatingDetails->refreshControls();
        }
    };
    strip.hoverDetailsEnabled = [weak] {
        auto self = weak.lock();
        return self && self->floatingPopover->isShown();
    };
}

void AppDelegate::writeFloatingPreferences() {
    defaults().setObject(floatingPreferences->dictionaryRepresentation(),
                         FloatingPreferences::defaultsKey);
}

void AppDelegate::updateFullscreenMonitoring() {
    const bool floatingHides = floatingMode != FloatingMode::none && floatingPreferences &&
                               floatingPreferences->hideInFullscreen;
    fullscreenMonitor->setEnabled(hideInFullscreen || floatingHides);
}

void AppDelegate::changeFloatingPreferences(
    const std::function<void(FloatingPreferences&)>& change) {
    loadFloatingPreferences();
    const std::set<ModuleKind> hiddenBefore = floatingPreferences->hidden;
    change(*floatingPreferences);
    writeFloatingPreferences();
    if (FloatingSurface* surface = floatingSurface())
        surface->setOpacity(floatingPreferences->opacity);
    floatingDetails->animatedLayout = true;
    updateFullscreenMonitoring();
    refreshFloatingView();
    applyFullscreenVisibility();
    // Only a module the bar shows or hides may change what is sampled: a purely visual setting
    // reads no sensor.
    if (floatingPreferences->hidden != hiddenBefore)
        requestSample();
}

void AppDelegate::hideFloatingModule(ModuleKind kind) {
    changeFloatingPreferences([kind](FloatingPreferences& p) { p.hidden.insert(kind); });
}

void AppDelegate::setFloatingOrder(const std::vector<ModuleKind>& order) {
    std::vector<std::string> names;
    for (ModuleKind kind : order)
        names.emplace_back(toString(kind));
    changeFloatingPreferences(
        [order = parseOrder(names)](FloatingPreferences& p) { p.order = order; });
}

void AppDelegate::setFloatingModule(ModuleKind kind, bool enabled) {
    changeFloatingPreferences([kind, enabled](FloatingPreferences& p) {
        if (enabled)
            p.hidden.erase(kind);
        else
            p.hidden.insert(kind);
    });
}

void AppDelegate::setFloatingOpacity(double opacity) {
    changeFloatingPreferences(
        [value = clampedFloatingOpacity(opacity)](FloatingPreferences& p) { p.opacity = value; });
}

void AppDelegate::setFloatingOpacityFromRow(double opacity) {
    changeFloatingPreferences([opacity](FloatingPreferences& p) { p.opacity = opacity; });
}

void AppDelegate::setFloatingDisplayMode(DisplayMode mode) {
    changeFloatingPreferences([mode](FloatingPreferences& p) { p.displayMode = mode; });
}

void AppDelegate::setFloatingFanMode(FanDisplayMode mode) {
    changeFloatingPreferences([mode](FloatingPreferences& p) { p.fanMode = mode; });
}

void AppDelegate::setFloatingFanAnimation(FanAnimationMode mode) {
    changeFloatingPreferences([mode](FloatingPreferences& p) { p.fanAnimation = mode; });
}

void AppDelegate::setFloatingComputeMode(ComputeDisplayMode mode) {
    changeFloatingPreferences([mode](FloatingPreferences& p) { p.computeMode = mode; });
}

void AppDelegate::setFloatingTemperatureMode(TemperatureDisplayMode mode) {
    changeFloatingPreferences([mode](FloatingPreferences& p) { p.temperatureMode = mode; });
}

void AppDelegate::setFloatingMemoryChart(bool flag) {
    changeFloatingPreferences([flag](FloatingPreferences& p) { p.memoryShowChart = flag; });
}

void AppDelegate::setFloatingNetworkChart(bool flag) {
    changeFloatingPreferences([flag](FloatingPreferences& p) { p.networkShowChart = flag; });
}

void AppDelegate::setFloatingNetworkColored(bool flag) {
    changeFloatingPreferences([flag](FloatingPreferences& p) { p.networkColored = flag; });
}

void AppDelegate::setFloatingChartLength(double length) {
    changeFloatingPreferences(
        [value = clampedChartLength(length)](FloatingPreferences& p) { p.chartLength = value; });
}

void AppDelegate::setFloatingGap(double gap) {
    changeFloatingPreferences(
        [value = clampedFanGap(gap)](FloatingPreferences& p) { p.gap = value; });
}

void AppDelegate::setFloatingHideInFullscreen(bool flag) {
    changeFloatingPreferences([flag](FloatingPreferences& p) { p.hideInFullscreen = flag; });
}

void AppDelegate::setFloatingCollapsed(const std::set<ModuleKind>& sections) {
    changeFloatingPreferences([sections](FloatingPreferences& p) { p.collapsed = sections; });
}

void AppDelegate::setFloatingPresentation(DetailPresentation presentation) {
    changeFloatingPreferences(
        [presentation](FloatingPreferences& p) { p.presentation = presentation; });
}

void AppDelegate::setFloatingColor(ColorSlot slot, std::optional<PaletteColor> color) {
    changeFloatingPreferences(
        [slot, color](FloatingPreferences& p) { p.colors.setColor(color, slot); });
}

void AppDelegate::setFloatingAppearance(AppearanceMode mode) {
    changeFloatingPreferences([mode](FloatingPreferences& p) { p.appearance = mode; });
}

void AppDelegate::toggleFloatingModule(ModuleKind kind) {
    changeFloatingPreferences([kind](FloatingPreferences& p) {
        if (!p.hidden.erase(kind))
            p.hidden.insert(kind);
    });
}

void AppDelegate::chooseFloatingColor(ColorSlot slot, std::optional<PaletteColor> color) {
    if (slot == ColorSlot::theme)
        setModuleColor(slot, color);
    else
        setFloatingColor(slot, color);
}

void AppDelegate::copyMainSettingsToFloating() {
    loadFloatingPreferences();
    seedFloating(*floatingPreferences, *this);
    writeFloatingPreferences();
}

void AppDelegate::copyFloatingToMainSettings() {
    if (!floatingPreferences)
        return;
    for (auto& [key, value] : returnFloatingToMain(*floatingPreferences, *this))
        defaults().setObject(std::move(value), key);
}

FloatingReadings AppDelegate::makeFloatingReadings() const {
    FloatingReadings readings = FloatingReadings::placeholder();
    readings.memory = latest;
    readings.fan = fanSnapshot;
    readings.network = networkSnapshot;
    readings.temperature = temperatureSnapshot;
    readings.compute = computeSnapshot;
    readings.devices = devicesSnapshot.devices;
    readings.memoryHistory = lastEntries(history);
    readings.fanHistory = lastEntries(fanHistory);
    readings.networkHistory = lastEntries(networkHistory);
    readings.temperatureHistory = lastEntries(temperatureHistory);
    readings.computeHistory = lastEntries(computeHistory);
    return readings;
}

void AppDelegate::refreshFloatingView() {
    if (floatingMode == FloatingMode::none || !floatingPreferences)
        return;
    ui::Application& app = application();
    StripEnvironment environment = floatingStripEnvironment(
        statusView->presentationHeight().value_or(statusView->bounds().height()));
    environment.systemDark = app.effectiveAppearance() == gfx::Appearance::dark;
    environment.reduceMotion = app.workspace().accessibilityDisplayShouldReduceMotion();
    environment.language = resolvedLanguage();
    const StripReadings readings = stripReadings();
    floatingView->setInputs(stripInputs(
        floatingStripSettings(*floatingPreferences,
                              moduleColors.color(ColorSlot::theme, normalBlue), fanAvailable),
        readings, environment));
    floatingView->setAccessibilityLabel("Pulsedeck · " +
                                        std::string(text(Copy::floating, environment.language)));
    layoutFloatingPanel();
    refreshFloatingDetails();
}

void AppDelegate::layoutFloatingPanel() {
    if (!floatingPanel || floatingMotion.isRunning())
        return;
    const gfx::Size size{floatingView->requiredWidth(), floatingView->presentationHeight().value_or(
                                                            floatingView->bounds().height())};
    FloatingSurface* surface = floatingSurface();
    const gfx::Rect wanted{floatingPanel->frame().origin, size};
    gfx::Rect frame;
    if (surface && surface->pressPoint()) {
        // While the bar is held it may sit over the menu bar; it settles when released.
        std::vector<gfx::Rect> screens;
        for (const auto& screen : ui::Screen::screens())
            screens.push_back(screen.frame());
        frame = clampFrame(wanted, screens);
    } else {
        frame = keepFrameOnScreen(wanted);
    }
    if (frame != floatingPanel->frame())
        floatingPanel->setFrame(frame, false);

    floatingPanel->setAppearance(floatingView->appearance());
    if (const auto& content = floatingPanel->contentView()) {
        const std::string& label = floatingView->accessibility().label;
        content->setAccessibilityLabel(label.empty() ? "Pulsedeck" : label);
        if (surface)
            surface->applyMaterial();
        content->setNeedsDisplay(true);
        floatingPanel->invalidateCursorRectsForView(content.get());
    }
    if (floatingPreferences && floatingPreferences->hideInFullscreen &&
        fullscreenMonitor->isFullscreen(floatingPanel->frame()))
        floatingPanel->orderOut();
}

} // namespace pulsedeck
