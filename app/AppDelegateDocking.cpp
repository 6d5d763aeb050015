#include "app/AppDelegate.h"
#include "floating/DockAnchors.h"

namespace pulsedeck {

void AppDelegate::installEditingPanels() {
    editingPanels = std::make_unique<EditingPanels>(statusView);
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    editingPanels->stripPlacedAction = [weak](const ui::Screen& screen, const gfx::Rect& strip) {
        if (auto self = weak.lock())
            self->recordDockAnchor(screen, strip);
    };
    statusView->editingDisplayAction = [weak] {
        if (auto self = weak.lock())
            self->redrawEditingSurfaces();
    };
    statusView->editingRectAction = [weak](const gfx::Rect& rect) {
        if (auto self = weak.lock())
            self->redrawEditingSurfaces(rect);
    };
}

void AppDelegate::refreshEditingPanels() {
    if (!editingPanels || !item)
        return;
    EditingPanels::Conditions conditions;
    conditions.surfacesReady = nativeSurfacesReady;
    conditions.statusHidden = prefs().floatingMode == FloatingMode::detached || !item->isVisible();
    conditions.hideInFullscreen = prefs().hideInFullscreen;
    conditions.opacity = prefs().floatingOpacity;
    conditions.fullscreenDisplays = fullscreenMonitor->displayIDs();
    editingPanels->refresh(conditions);
}

void AppDelegate::recordDockAnchor(const ui::Screen& screen, const gfx::Rect& strip) {
    std::string text = DockAnchor::measure(screen.frame(), strip).text();
    settings_->change([&](Preferences& p) {
        p.floatingDockAnchors.insert_or_assign(dockAnchorKey(screen.displayNumber()), text);
    });
}

void AppDelegate::redrawEditingSurfaces() {
    if (editingPanels)
        editingPanels->redrawSurfaces();
    floatingBar_->redrawPreview();
}

void AppDelegate::redrawEditingSurfaces(const gfx::Rect& rect) {
    if (editingPanels)
        editingPanels->redrawSurfaces(rect);
    floatingBar_->redrawPreview(rect);
}

} // namespace pulsedeck
