#include "app/FloatingModeController.h"

#include "floating/FloatingSurface.h"

#include <algorithm>

namespace pulsedeck {

bool statusItemVisible(bool floatingBarStandsIn, bool hideInFullscreen,
                       const std::vector<int>& displayNumbers,
                       const std::set<int>& fullscreenDisplays) {
    if (floatingBarStandsIn)
        return false;
    const bool everyDisplayFullscreen =
        !displayNumbers.empty() &&
        std::all_of(displayNumbers.begin(), displayNumbers.end(),
                    [&](int number) { return number != 0 && fullscreenDisplays.contains(number); });
    return !(hideInFullscreen && everyDisplayFullscreen);
}

FloatingModeController::FloatingModeController(std::shared_ptr<SettingsStore> settings,
                                               std::shared_ptr<StatusStripController> statusStrip,
                                               std::shared_ptr<DetailsController> details,
                                               std::shared_ptr<FloatingBarController> floatingBar,
                                               std::shared_ptr<ui::WindowList> windowList,
                                               dispatch::RunLoop& loop, Hooks hooks)
    : settings_(std::move(settings)), statusStrip_(std::move(statusStrip)),
      details_(std::move(details)), floatingBar_(std::move(floatingBar)), hooks_(std::move(hooks)),
      monitor_(std::make_unique<FullscreenMonitor>(std::move(windowList),
                                                   FullscreenMonitor::currentPID(), loop)) {
    // The monitor is ours, so its report never outlives this controller.
    monitor_->changed = [this] { applyVisibility(); };
}

void FloatingModeController::start() {
    if (prefs().look.hideInFullscreen)
        monitor_->setEnabled(true);
}

void FloatingModeController::set(FloatingMode mode, std::optional<gfx::Rect> dropFrame) {
    floatingBar_->stopMotion();
    const FloatingMode old = prefs().floatingMode;
    // The steps below apply what the mode's settings changes bring along.
    const auto quietly = [this](auto change) {
        changing_ = true;
        change();
        changing_ = false;
    };
    if (mode == FloatingMode::detached && old != FloatingMode::detached) {
        // Detaching, the bar takes over the strip's modules and styles.
        floatingBar_->load();
        quietly([this] {
            settings_->changeFloating([this](FloatingPreferences& p) {
                p.look.modules = withThemeOf(prefs().look.modules, p.look.modules.colors);
            });
        });
    } else if (mode == FloatingMode::none && old == FloatingMode::detached &&
               settings_->floating()) {
        quietly([this] {
            settings_->change([this](Preferences& p) {
                p.look.modules =
                    withThemeOf(settings_->floating()->look.modules, p.look.modules.colors);
            });
        });
    }
    if (mode == FloatingMode::none && details_->floatingFrame() && details_->popover()->isShown())
        details_->popover()->performClose();

    quietly([this, mode] { settings_->change([mode](Preferences& p) { p.floatingMode = mode; }); });

    if (mode == FloatingMode::none) {
        floatingBar_->hide();
        applyVisibility();
    } else {
        showPanel(dropFrame);
    }

    statusStrip_->refreshEditingPanels();
    hooks_.handOff();

    if (mode == FloatingMode::none && old == FloatingMode::detached) {
        hooks_.refresh();
        hooks_.requestSample();
        monitor_->setEnabled(prefs().look.hideInFullscreen);
    } else {
        updateMonitoring();
    }
}

void FloatingModeController::showPanel(std::optional<gfx::Rect> dropFrame) {
    floatingBar_->show(dropFrame);
    applyVisibility();

    if (prefs().floatingMode == FloatingMode::detached) {
        details_->popover()->performClose();
        details_->finishSorting();
        statusStrip_->view()->setActiveModule(std::nullopt);
    }
}

bool FloatingModeController::barStandsIn() const {
    // Without a bar to show, or a screen to show it on, the status item is the only way back to
    // the program, so it stays.
    return prefs().floatingMode == FloatingMode::detached && floatingBar_->panel() &&
           !ui::Screen::screens().empty();
}

void FloatingModeController::applyVisibility() {
    if (!statusStrip_->item())
        return;
    std::vector<int> displayNumbers;
    for (const auto& screen : ui::Screen::screens())
        displayNumbers.push_back(screen.displayNumber());
    const bool itemVisible = statusItemVisible(barStandsIn(), prefs().look.hideInFullscreen,
                                               displayNumbers, monitor_->displayIDs());
    if (statusStrip_->item()->isVisible() != itemVisible)
        statusStrip_->item()->setVisible(itemVisible);

    if (const std::shared_ptr<ui::Window>& panel = floatingBar_->panel()) {
        const bool barHides = settings_->floating() &&
                              settings_->floating()->look.hideInFullscreen &&
                              monitor_->isFullscreen(panel->frame());
        if (barHides)
            panel->orderOut();
        else if (hooks_.surfacesReady())
            panel->orderFrontRegardless();
    }

    if (details_->popover()->isShown()) {
        std::optional<gfx::Rect> shownAt = details_->floatingFrame();
        if (!shownAt)
            shownAt = details_->anchorFrame();
        if (!shownAt)
            shownAt = statusStrip_->view()->statusItemScreenFrame();
        if (shownAt && prefs().look.hideInFullscreen && monitor_->isFullscreen(*shownAt))
            details_->popover()->performClose();
    }
    statusStrip_->refreshEditingPanels();
}

void FloatingModeController::updateMonitoring() {
    const bool floatingHides = prefs().floatingMode != FloatingMode::none &&
                               settings_->floating() &&
                               settings_->floating()->look.hideInFullscreen;
    monitor_->setEnabled(prefs().look.hideInFullscreen || floatingHides);
}

void FloatingModeController::hidingChanged() {
    updateMonitoring();
    applyVisibility();
}

void FloatingModeController::barSettingsChanged(const SettingsChange& change) {
    if (changing_)
        return;
    floatingBar_->load();
    if (FloatingSurface* surface = floatingBar_->surface())
        surface->setOpacity(settings_->floating()->look.opacity);
    updateMonitoring();
    // The open details show the change first, animated; the strip's refresh then finds them
    // up to date.
    floatingBar_->refreshDetails(false, true);
    floatingBar_->refreshStrip();
    applyVisibility();
    // Only a module the bar shows or hides may change what is sampled: a purely visual setting
    // reads no sensor.
    if (change.floatingEntries.contains("hidden"))
        hooks_.requestSample();
}

} // namespace pulsedeck
