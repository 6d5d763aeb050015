#include "app/AppDelegate.h"
#include "floating/FloatingGeometry.h"
#include "floating/FloatingPanel.h"
#include "floating/FloatingSurface.h"
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


std::shared_ptr<ui::Window> AppDelegate::makeFloatingPreview(const gfx::Rect& frame) {
    auto panel = std::make_shared<FloatingPanel>(frame, ui::Style::nonactivatingPanel,
                                                 ui::BackingStoreType::buffered, false);
    panel->setReleasedWhenClosed(false);
    panel->setOpaque(false);
    panel->setBackgroundColor(gfx::Color::clear());
    panel->setHasShadow(true);
    panel->setHidesOnDeactivate(false);
    panel->setLevel(ui::WindowLevel::floating);
    panel->setCollectionBehavior(ui::Collection::canJoinAllSpaces | ui::Collection::ignoresCycle |
                                 ui::Collection::fullScreenAuxiliary);
    panel->setTitle("Pulsedeck Floating Bar");
    panel->setExcludedFromWindowsMenu(true);
    panel->setIgnoresMouseEvents(true);
    auto surface = std::make_shared<FloatingSurface>(gfx::Rect{{}, frame.size});
    surface->owner = statusView;
    surface->applyMaterial();
    panel->setContentView(surface);
    return panel;
}

} // namespace pulsedeck
