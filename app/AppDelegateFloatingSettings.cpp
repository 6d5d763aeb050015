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
    settings_->loadFloating();
    if (floatingStripWired_)
        return;
    floatingStripWired_ = true;

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
    strip.statusOrderAction =
        floatingChoice(settings_, [](FloatingPreferences& p, const std::vector<ModuleKind>& order) {
            p.order = completeOrder(order);
        });
    strip.statusHideAction = floatingChoice(
        settings_, [](FloatingPreferences& p, ModuleKind kind) { p.hidden.insert(kind); });
    strip.finishSortingAction = [weak] {
        auto self = weak.lock();
        if (!self)
            return;
        if (self->floatingView->isSorting())
            self->floatingView->setSorting(false);
        self->floatingDetails->setSorting(false);
    };
    strip.hoverDetailsEnabled = [weak] {
        auto self = weak.lock();
        return self && self->floatingPopover->isShown();
    };
}

void AppDelegate::updateFullscreenMonitoring() {
    const bool floatingHides = prefs().floatingMode != FloatingMode::none &&
                               settings_->floating() && settings_->floating()->hideInFullscreen;
    fullscreenMonitor->setEnabled(prefs().hideInFullscreen || floatingHides);
}

void AppDelegate::floatingSettingsChanged(const SettingsChange& change) {
    if (changingFloatingMode_)
        return;
    loadFloatingPreferences();
    if (FloatingSurface* surface = floatingSurface())
        surface->setOpacity(settings_->floating()->opacity);
    updateFullscreenMonitoring();
    // The open details show the change first, animated; the strip's refresh then finds them
    // up to date.
    refreshFloatingDetails(false, true);
    refreshFloatingView();
    applyFullscreenVisibility();
    // Only a module the bar shows or hides may change what is sampled: a purely visual setting
    // reads no sensor.
    if (change.floatingEntries.contains("hidden"))
        requestSample();
}

void AppDelegate::chooseFloatingColor(ColorSlot slot, std::optional<PaletteColor> color) {
    if (slot == ColorSlot::theme)
        settings_->change([&](Preferences& p) { p.moduleColors.setColor(color, slot); });
    else
        settings_->changeFloating([&](FloatingPreferences& p) { p.colors.setColor(color, slot); });
}

FloatingReadings AppDelegate::makeFloatingReadings() const {
    FloatingReadings readings = FloatingReadings::placeholder();
    readings.memory = sampling_.latest;
    readings.fan = sampling_.fanSnapshot;
    readings.network = sampling_.networkSnapshot;
    readings.temperature = sampling_.temperatureSnapshot;
    readings.compute = sampling_.computeSnapshot;
    readings.devices = sampling_.devicesSnapshot.devices;
    readings.memoryHistory = lastEntries(sampling_.history);
    readings.fanHistory = lastEntries(sampling_.fanHistory);
    readings.networkHistory = lastEntries(sampling_.networkHistory);
    readings.temperatureHistory = lastEntries(sampling_.temperatureHistory);
    readings.computeHistory = lastEntries(sampling_.computeHistory);
    return readings;
}

void AppDelegate::refreshFloatingView() {
    if (prefs().floatingMode == FloatingMode::none || !settings_->floating())
        return;
    ui::Application& app = application();
    StripEnvironment environment = floatingStripEnvironment(
        statusView->presentationHeight().value_or(statusView->bounds().height()));
    environment.systemDark = app.effectiveAppearance() == gfx::Appearance::dark;
    environment.reduceMotion = app.workspace().accessibilityDisplayShouldReduceMotion();
    environment.language = resolvedLanguage();
    const StripReadings readings = sampling_.stripReadings();
    floatingView->setInputs(stripInputs(
        floatingStripSettings(*settings_->floating(),
                              prefs().moduleColors.color(ColorSlot::theme, prefs().normalBlue),
                              sampling_.fanAvailable),
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
        // The strip has marked what changed in it; the surface repaints beyond that only when
        // its material changed.
        if (surface)
            surface->applyMaterial();
        floatingPanel->invalidateCursorRectsForView(content.get());
    }
    if (settings_->floating() && settings_->floating()->hideInFullscreen &&
        fullscreenMonitor->isFullscreen(floatingPanel->frame()))
        floatingPanel->orderOut();
}

} // namespace pulsedeck
