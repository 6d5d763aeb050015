#include "app/AppDelegate.h"
#include "floating/DockAnchors.h"
#include "floating/FloatingGeometry.h"
#include "floating/FloatingSurface.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/Menu.h"

namespace pulsedeck {

namespace {

// A drop this close to a strip still counts as a drop on it.
constexpr double stripDropMargin = 2;

gfx::Size stripSize(const MenuBarContentView& strip) {
    return {strip.requiredWidth(), strip.presentationHeight().value_or(strip.bounds().height())};
}

} // namespace

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

std::optional<gfx::Rect> AppDelegate::dockAnchorFrame(const ui::Screen& screen) const {
    if (prefs().hideInFullscreen && fullscreenMonitor->isFullscreen(screen))
        return std::nullopt;
    const auto entry = prefs().floatingDockAnchors.find(dockAnchorKey(screen.displayNumber()));
    if (entry == prefs().floatingDockAnchors.end())
        return std::nullopt;
    const std::optional<DockAnchor> anchor = DockAnchor::parse(entry->second);
    if (!anchor)
        return std::nullopt;
    return anchor->frame(screen.frame(), stripSize(*floatingView));
}

std::vector<gfx::Rect> AppDelegate::dockAnchorFrames() const {
    std::vector<gfx::Rect> frames;
    for (const auto& screen : ui::Screen::screens())
        if (auto frame = dockAnchorFrame(screen))
            frames.push_back(*frame);
    return frames;
}

void AppDelegate::floatingDragBegan() {
    floatingMotion.stop();
    if (floatingPopover)
        floatingPopover->close();
    // A drag that starts on an anchor would dock at its first step; it must leave first.
    floatingDockArmed =
        !floatingPanel || !dockAnchor(floatingPanel->frame(), dockAnchorFrames()).has_value();
}

bool AppDelegate::dockFloatingPanel(const gfx::Rect& frame) {
    if (floatingMotion.isRunning())
        return false;
    const std::optional<gfx::Rect> anchor = dockAnchor(frame, dockAnchorFrames());
    if (!anchor) {
        floatingDockArmed = true;
        return false;
    }
    if (!floatingDockArmed)
        return false;

    floatingDockArmed = false;
    if (floatingPopover)
        floatingPopover->close();
    const bool reduceMotion = application().workspace().accessibilityDisplayShouldReduceMotion();
    floatingMotion.stop();
    const std::shared_ptr<ui::Window> panel = floatingPanel;
    if (panel && !reduceMotion && floatingMotion.begin(panel)) {
        floatingMotion.startDocking(frame, *anchor,
                                    [weak = weak_from_this(),
                                     weakPanel = std::weak_ptr<ui::Window>(panel),
                                     target = *anchor] {
                                        if (auto docked = weakPanel.lock())
                                            docked->setFrame(target, false);
                                        if (auto self = weak.lock())
                                            self->setFloatingMode(FloatingMode::none, std::nullopt);
                                    });
        return true;
    }
    if (panel)
        panel->setFrame(*anchor, false);
    setFloatingMode(FloatingMode::none, std::nullopt);
    return true;
}

void AppDelegate::handleStatusDragOut(gfx::Point start, gfx::Point current, bool ended) {
    const std::optional<gfx::Rect> itemFrame = statusView->statusItemScreenFrame();
    if (!itemFrame) {
        // The item left the screen under the drag: let go of what it pulled out.
        if (ended) {
            floatingMotion.stop();
            clearFloatingPreview();
        }
        return;
    }
    const gfx::Rect source = statusView->menuBarFrame(start, 0).value_or(*itemFrame);
    std::vector<gfx::Rect> screens;
    for (const auto& screen : ui::Screen::screens())
        screens.push_back(screen.frame());
    const gfx::Rect frame =
        clampFrame({{current.x - (start.x - source.minX()), current.y - (start.y - source.minY())},
                    stripSize(*statusView)},
                   screens);

    if (ended) {
        const bool brokeFree = floatingMotion.cancel();
        if (brokeFree && (prefs().floatingMode == FloatingMode::detached ||
                          !statusView->menuBarFrame(current, stripDropMargin))) {
            floatingDropFrame = frame;
            offerFloatingDrop(current);
        }
        clearFloatingPreview();
        return;
    }

    if (!floatingPreview) {
        if (popover && popover->isShown())
            popover->performClose();
        floatingMotion.stop();
        floatingMotion.setHasBrokenFree(false);
        floatingPreview = makeFloatingPanel(true, frame);
        if (!floatingPreview)
            return;
    }
    floatingPreview->setFrame(frame, true);
    floatingPreview->orderFrontRegardless();
    const double grab = source.width() > 0 ? (start.x - source.minX()) / source.width() : 0.5;
    floatingMotion.update(floatingPreview, source, grab,
                          !application().workspace().accessibilityDisplayShouldReduceMotion());
}

void AppDelegate::offerFloatingDrop(gfx::Point point) {
    auto menu = std::make_shared<ui::Menu>();
    menu->setAutoenablesItems(false);
    const AppLanguage language = resolvedLanguage();
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    for (const auto& [key, mode] : {std::pair{Copy::floatingCopy, FloatingMode::copy},
                                    std::pair{Copy::floatingMove, FloatingMode::detached}}) {
        auto item =
            std::make_shared<ui::MenuItem>(text(key, language), [weak](ui::MenuItem& sender) {
                if (auto self = weak.lock())
                    self->chooseFloating(sender.representedObject());
            });
        item->setRepresentedObject(std::string(toString(mode)));
        menu->addItem(item);
    }
    // Runs modally: the choice reaches chooseFloating while the drop frame is still set.
    ui::Menu::popUpAtScreenPoint(menu, point, statusView->effectiveAppearance());
}

void AppDelegate::clearFloatingPreview() {
    if (floatingPreview)
        floatingPreview->orderOut();
    floatingPreview.reset();
    floatingDropFrame.reset();
}

void AppDelegate::redrawEditingSurfaces() {
    if (editingPanels)
        editingPanels->redrawSurfaces();
    if (floatingPreview)
        if (auto* surface =
                dynamic_cast<StatusEditingSurface*>(floatingPreview->contentView().get()))
            surface->redraw();
}

void AppDelegate::redrawEditingSurfaces(const gfx::Rect& rect) {
    if (editingPanels)
        editingPanels->redrawSurfaces(rect);
    if (floatingPreview)
        if (auto* surface =
                dynamic_cast<StatusEditingSurface*>(floatingPreview->contentView().get()))
            surface->redraw(rect);
}

} // namespace pulsedeck
