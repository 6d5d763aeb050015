#include "app/AppDelegate.h"
#include "platform/foundation/UserDefaults.h"

namespace pulsedeck {

void AppDelegate::setFloatingMode(FloatingMode mode, std::optional<gfx::Rect>) {
    floatingMode = mode;
    defaults().setObject(std::string(toString(mode)), PreferenceKey::floatingMode);
    refreshStatus(false);
}

void AppDelegate::applyFullscreenVisibility() {
    if (!item)
        return;
    const std::set<int>& fullscreenDisplays = fullscreenMonitor->displayIDs();
    std::vector<int> displayNumbers;
    for (const auto& screen : ui::Screen::screens())
        displayNumbers.push_back(screen.displayNumber());
    item->setVisible(
        statusItemVisible(floatingMode, hideInFullscreen, displayNumbers, fullscreenDisplays));
    if (floatingPanel && nativeSurfacesReady)
        floatingPanel->orderFront();
    if (hideInFullscreen && popover->isShown() && anchorPanel &&
        fullscreenMonitor->isFullscreen(anchorPanel->frame()))
        popover->performClose();
    refreshEditingPanels();
}

// The floating bar has no panel yet: there is nothing to lay out, refresh or pull out.
void AppDelegate::layoutFloatingPanel() {}

void AppDelegate::refreshFloatingView() {}

void AppDelegate::handleStatusDragOut(gfx::Point, gfx::Point, bool) {}

} // namespace pulsedeck
