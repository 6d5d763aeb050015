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

void AppDelegate::handleStatusDragOut(gfx::Point start, gfx::Point current, bool ended) {
    if (ended) {
        // Dropped after tearing off, the strip will offer a floating bar once there is one; until
        // then every drop lets the preview go (a short pull still springs back on the overlay).
        floatingMotion.cancel();
        clearFloatingPreview();
        return;
    }
    const std::optional<gfx::Rect> itemFrame = statusView->statusItemScreenFrame();
    if (!itemFrame)
        return;
    const gfx::Rect source = statusView->menuBarFrame(start, 0).value_or(*itemFrame);
    const gfx::Size size{statusView->requiredWidth(),
                         statusView->presentationHeight().value_or(statusView->bounds().height())};
    std::vector<gfx::Rect> screens;
    for (const auto& screen : ui::Screen::screens())
        screens.push_back(screen.frame());
    const gfx::Rect frame = clampFrame(
        {{current.x - (start.x - source.minX()), current.y - (start.y - source.minY())}, size},
        screens);

    if (!floatingPreview) {
        if (popover && popover->isShown())
            popover->performClose();
        floatingMotion.stop();
        floatingMotion.setHasBrokenFree(false);
        floatingPreview = makeFloatingPreview(frame);
    }
    floatingPreview->setFrame(frame, true);
    floatingPreview->orderFrontRegardless();
    const double grab = source.width() > 0 ? (start.x - source.minX()) / source.width() : 0.5;
    floatingMotion.update(floatingPreview, source, grab,
                          !application().workspace().accessibilityDisplayShouldReduceMotion());
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

void AppDelegate::clearFloatingPreview() {
    if (floatingPreview)
        floatingPreview->orderOut();
    floatingPreview.reset();
    floatingDropFrame.reset();
}

} // namespace pulsedeck
