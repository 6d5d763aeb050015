#include "app/AppDelegate.h"
#include "app/FloatingSettingsTransfer.h"
#include "floating/FloatingSurface.h"

namespace pulsedeck {

void AppDelegate::setFloatingMode(FloatingMode mode, std::optional<gfx::Rect> dropFrame) {
    floatingBar_->stopMotion();
    const FloatingMode old = prefs().floatingMode;
    // The steps below apply what the mode's settings changes bring along.
    const auto quietly = [this](auto change) {
        changingFloatingMode_ = true;
        change();
        changingFloatingMode_ = false;
    };
    if (mode == FloatingMode::detached && old != FloatingMode::detached) {
        // Detaching, the bar takes over the strip's modules and styles.
        floatingBar_->load();
        quietly([this] {
            settings_->changeFloating([this](FloatingPreferences& p) { seedFloating(p, prefs()); });
        });
    } else if (mode == FloatingMode::none && old == FloatingMode::detached &&
               settings_->floating()) {
        quietly([this] {
            settings_->change(
                [this](Preferences& p) { returnFloatingToMain(*settings_->floating(), p); });
        });
    }
    if (mode == FloatingMode::none && details_->floatingFrame() && details_->popover()->isShown())
        details_->popover()->performClose();

    quietly([this, mode] { settings_->change([mode](Preferences& p) { p.floatingMode = mode; }); });

    if (mode == FloatingMode::none) {
        floatingBar_->hide();
        applyFullscreenVisibility();
    } else {
        showFloatingPanel(dropFrame);
    }

    statusStrip_->refreshEditingPanels();
    handOffToDetails(false, resolvedLanguage());

    if (mode == FloatingMode::none && old == FloatingMode::detached) {
        refreshStatus(false);
        requestSample();
        fullscreenMonitor->setEnabled(prefs().hideInFullscreen);
    } else {
        updateFullscreenMonitoring();
    }
}

void AppDelegate::showFloatingPanel(std::optional<gfx::Rect> dropFrame) {
    floatingBar_->show(dropFrame);
    applyFullscreenVisibility();

    if (prefs().floatingMode == FloatingMode::detached) {
        details_->popover()->performClose();
        if (details_->view()->isSorting()) {
            details_->view()->setSorting(false);
            if (details_->view()->sortingAction)
                details_->view()->sortingAction();
        }
        statusStrip_->view()->setActiveModule(std::nullopt);
    }
}

bool AppDelegate::floatingBarStandsIn() const {
    // Without a bar to show, or a screen to show it on, the status item is the only way back to
    // the program, so it stays.
    return prefs().floatingMode == FloatingMode::detached && floatingBar_->panel() &&
           !ui::Screen::screens().empty();
}

void AppDelegate::applyFullscreenVisibility() {
    if (!statusStrip_->item())
        return;
    std::vector<int> displayNumbers;
    for (const auto& screen : ui::Screen::screens())
        displayNumbers.push_back(screen.displayNumber());
    const bool itemVisible = statusItemVisible(floatingBarStandsIn(), prefs().hideInFullscreen,
                                               displayNumbers, fullscreenMonitor->displayIDs());
    if (statusStrip_->item()->isVisible() != itemVisible)
        statusStrip_->item()->setVisible(itemVisible);

    if (const std::shared_ptr<ui::Window>& panel = floatingBar_->panel()) {
        const bool barHides = settings_->floating() && settings_->floating()->hideInFullscreen &&
                              fullscreenMonitor->isFullscreen(panel->frame());
        if (barHides)
            panel->orderOut();
        else if (nativeSurfacesReady)
            panel->orderFrontRegardless();
    }

    if (details_->popover()->isShown()) {
        std::optional<gfx::Rect> shownAt = details_->floatingFrame();
        if (!shownAt)
            shownAt = details_->anchorFrame();
        if (!shownAt)
            shownAt = statusStrip_->view()->statusItemScreenFrame();
        if (!shownAt) {
            statusStrip_->refreshEditingPanels();
            return;
        }
        if (prefs().hideInFullscreen && fullscreenMonitor->isFullscreen(*shownAt))
            details_->popover()->performClose();
    }
    statusStrip_->refreshEditingPanels();
}

void AppDelegate::updateFullscreenMonitoring() {
    const bool floatingHides = prefs().floatingMode != FloatingMode::none &&
                               settings_->floating() && settings_->floating()->hideInFullscreen;
    fullscreenMonitor->setEnabled(prefs().hideInFullscreen || floatingHides);
}

void AppDelegate::floatingSettingsChanged(const SettingsChange& change) {
    if (changingFloatingMode_)
        return;
    floatingBar_->load();
    if (FloatingSurface* surface = floatingBar_->surface())
        surface->setOpacity(settings_->floating()->opacity);
    updateFullscreenMonitoring();
    // The open details show the change first, animated; the strip's refresh then finds them
    // up to date.
    floatingBar_->refreshDetails(false, true);
    floatingBar_->refreshStrip();
    applyFullscreenVisibility();
    // Only a module the bar shows or hides may change what is sampled: a purely visual setting
    // reads no sensor.
    if (change.floatingEntries.contains("hidden"))
        requestSample();
}

} // namespace pulsedeck
