#include "app/FloatingModeController.h"

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
                                               std::shared_ptr<FullscreenMonitor> fullscreen,
                                               const SamplingState& sampling, gfx::Rect stripFrame)
    : settings_(settings), statusStrip_(statusStrip), details_(std::move(details)),
      fullscreen_(std::move(fullscreen)),
      bar_(std::make_shared<FloatingBarController>(
          std::move(settings), sampling, std::move(statusStrip), fullscreen_, stripFrame)) {}

void FloatingModeController::install() {
    const std::weak_ptr<FloatingModeController> weak = weak_from_this();
    bar_->install(weak);
    fullscreen_->changed = [weak] {
        if (auto self = weak.lock())
            self->applyVisibility();
    };
    settings_->observe([weak](const SettingsChange& change) {
        if (auto self = weak.lock())
            self->settingsChanged(change);
    });
    if (prefs().look.hideInFullscreen)
        fullscreen_->setEnabled(true);
}

void FloatingModeController::restore() {
    if (prefs().floatingMode != FloatingMode::none)
        set(prefs().floatingMode, std::nullopt);
}

void FloatingModeController::settingsChanged(const SettingsChange& change) {
    if (change.touches(PreferenceKey::hideInFullscreen) ||
        change.floatingEntries.contains("hideInFullscreen")) {
        updateMonitoring();
        applyVisibility();
    }
}

void FloatingModeController::set(FloatingMode mode, std::optional<gfx::Rect> dropFrame) {
    // A docking that brought the strip back wobbles there to its end, over the strip returning
    // under it.
    if (!bar_->isSettlingIntoDock())
        bar_->stopMotion();
    const FloatingMode old = prefs().floatingMode;
    if (mode == FloatingMode::detached && old != FloatingMode::detached) {
        // Detaching, the bar takes over the strip's modules and styles.
        bar_->load();
        settings_->changeFloating([this](FloatingPreferences& p) {
            p.look.modules = withThemeOf(prefs().look.modules, p.look.modules.colors);
        });
    } else if (mode == FloatingMode::none && old == FloatingMode::detached &&
               settings_->floating()) {
        settings_->change([this](Preferences& p) {
            p.look.modules =
                withThemeOf(settings_->floating()->look.modules, p.look.modules.colors);
        });
    }
    if (mode == FloatingMode::none && details_->floatingFrame() && details_->popover()->isShown())
        details_->popover()->performClose();

    settings_->change([mode](Preferences& p) { p.floatingMode = mode; });

    if (mode == FloatingMode::none) {
        bar_->hide();
        applyVisibility();
    } else {
        showPanel(dropFrame);
    }
    statusStrip_->refreshEditingPanels();
    updateMonitoring();
}

void FloatingModeController::showPanel(std::optional<gfx::Rect> dropFrame) {
    bar_->show(dropFrame);
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
    return prefs().floatingMode == FloatingMode::detached && bar_->panel() &&
           !ui::Screen::screens().empty();
}

bool FloatingModeController::barHolds(gfx::Point point) const {
    return bar_->panel() && bar_->panel()->frame().contains(point);
}

void FloatingModeController::closeStatusDetails() {
    details_->close();
}

void FloatingModeController::applyVisibility() {
    if (!statusStrip_->item())
        return;
    std::vector<int> displayNumbers;
    for (const auto& screen : ui::Screen::screens())
        displayNumbers.push_back(screen.displayNumber());
    const bool itemVisible = statusItemVisible(barStandsIn(), prefs().look.hideInFullscreen,
                                               displayNumbers, fullscreen_->displayIDs());
    if (statusStrip_->item()->isVisible() != itemVisible)
        statusStrip_->item()->setVisible(itemVisible);

    if (const std::shared_ptr<ui::Window>& panel = bar_->panel()) {
        const bool barHides = settings_->floating() &&
                              settings_->floating()->look.hideInFullscreen &&
                              fullscreen_->isFullscreen(panel->frame());
        if (barHides)
            panel->orderOut();
        else if (statusStrip_->surfacesReady())
            panel->orderFrontRegardless();
    }

    if (details_->popover()->isShown()) {
        std::optional<gfx::Rect> shownAt = details_->floatingFrame();
        if (!shownAt)
            shownAt = details_->anchorFrame();
        if (!shownAt)
            shownAt = statusStrip_->view()->statusItemScreenFrame();
        if (shownAt && prefs().look.hideInFullscreen && fullscreen_->isFullscreen(*shownAt))
            details_->popover()->performClose();
    }
    statusStrip_->refreshEditingPanels();
}

void FloatingModeController::updateMonitoring() {
    const bool floatingHides = prefs().floatingMode != FloatingMode::none &&
                               settings_->floating() &&
                               settings_->floating()->look.hideInFullscreen;
    fullscreen_->setEnabled(prefs().look.hideInFullscreen || floatingHides);
}

} // namespace pulsedeck
