#include "statusbar/EditingPanels.h"

#include "platform/graphics/RectText.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/StatusEditingSurface.h"

#include <algorithm>

namespace pulsedeck {

EditingPanels::EditingPanels(const std::shared_ptr<MenuBarContentView>& strip) : strip_(strip) {}

EditingPanels::~EditingPanels() {
    for (auto& [key, panel] : panels_)
        panel->orderOut();
}

std::string EditingPanels::frameKey(const gfx::Rect& frame) {
    return gfx::stringFromRect(frame);
}

StatusEditingSurface* EditingPanels::surfaceOf(const StatusEditingPanel& panel) {
    return dynamic_cast<StatusEditingSurface*>(panel.contentView().get());
}

std::shared_ptr<StatusEditingPanel> EditingPanels::makePanel(const gfx::Rect& frame) const {
    auto panel = std::make_shared<StatusEditingPanel>(frame, ui::Style::nonactivatingPanel,
                                                      ui::BackingStoreType::buffered, false);
    panel->setReleasedWhenClosed(false);
    panel->setOpaque(false);
    panel->setBackgroundColor(gfx::Color::clear());
    panel->setHasShadow(false);
    panel->setHidesOnDeactivate(false);
    panel->setAcceptsMouseMovedEvents(true);
    panel->setLevel(panelLevel);
    panel->setCollectionBehavior(panelCollection);
    panel->setAccessibilityElement(true);
    auto surface =
        std::make_shared<StatusEditingSurface>(gfx::Rect{0, 0, frame.width(), frame.height()});
    surface->setOwner(strip_);
    surface->applyMaterial();
    panel->setContentView(surface);
    return panel;
}

EditingPanels::Placement EditingPanels::placement(const Conditions& conditions,
                                                  const MenuBarContentView& strip) const {
    Placement placement;
    placement.conditions = conditions;
    placement.itemFrame = strip.statusItemScreenFrame();
    placement.screens = ui::Screen::screens();
    placement.menuBars = strip.menuBarScreens();
    for (const auto& screen : placement.screens)
        placement.stripFrames.push_back(strip.stripFrame(screen));
    placement.appearance = strip.effectiveAppearance();
    placement.appMark = strip.displaysAppMark();
    placement.sorting = strip.isSorting();
    placement.moduleRects = strip.displayedRects();
    return placement;
}

void EditingPanels::refresh(const Conditions& conditions) {
    const auto strip = strip_.lock();
    if (!conditions.surfacesReady || !strip)
        return;

    // The status rebuild refreshes every second; the panels are placed only when what they
    // follow moved. They are still brought to the front each time, so that a window raised
    // over them meanwhile does not hide the strip.
    Placement current = placement(conditions, *strip);
    if (applied_ == current) {
        for (auto& [key, panel] : panels_) {
            if (panel->isVisible())
                panel->orderFrontRegardless();
        }
        return;
    }
    applied_ = std::move(current);

    const std::optional<gfx::Rect>& itemFrame = applied_->itemFrame;
    if (conditions.statusHidden || !itemFrame) {
        for (auto& [key, panel] : panels_)
            panel->orderOut();
        strip->setEditingSurfacePresented(false);
        // The strip's invalidation also repaints whatever draws it elsewhere.
        strip->setNeedsDisplay(true);
        return;
    }

    const std::vector<ui::Screen>& screens = applied_->screens;
    const gfx::Point centre = itemFrame->center();
    if (std::none_of(screens.begin(), screens.end(),
                     [&](const ui::Screen& screen) { return screen.frame().contains(centre); }))
        return;

    const std::vector<gfx::Rect>& menuBars = applied_->menuBars;
    std::set<std::string> keys;
    for (const auto& frame : menuBars)
        keys.insert(frameKey(frame));
    std::erase_if(panels_, [&](auto& entry) {
        if (keys.contains(entry.first))
            return false;
        entry.second->orderOut();
        return true;
    });

    for (std::size_t index = 0; index < screens.size(); ++index) {
        const ui::Screen& screen = screens[index];
        if (std::find(menuBars.begin(), menuBars.end(), screen.frame()) == menuBars.end())
            continue;
        const std::optional<gfx::Rect>& stripFrame = applied_->stripFrames[index];
        if (!stripFrame)
            continue;
        if (stripPlacedAction)
            stripPlacedAction(screen, *stripFrame);

        auto& panel = panels_[frameKey(screen.frame())];
        if (!panel)
            panel = makePanel(*stripFrame);
        panel->setFrame(*stripFrame, false);
        if (StatusEditingSurface* surface = surfaceOf(*panel)) {
            surface->setOpacity(conditions.opacity);
            surface->applyMaterial();
            surface->setNeedsDisplay(true);
            // Sorting changes the cursors over the strip; the panel's must follow.
            panel->invalidateCursorRectsForView(surface);
        }
        if (conditions.hideInFullscreen &&
            conditions.fullscreenDisplays.contains(screen.displayNumber()))
            panel->orderOut();
        else
            panel->orderFrontRegardless();
    }

    strip->setEditingSurfacePresented(true);
    strip->setNeedsDisplay(true);
}

void EditingPanels::redrawSurfaces() {
    for (auto& [key, panel] : panels_) {
        if (StatusEditingSurface* surface = surfaceOf(*panel))
            surface->redraw();
    }
}

void EditingPanels::redrawSurfaces(const gfx::Rect& rect) {
    for (auto& [key, panel] : panels_) {
        if (StatusEditingSurface* surface = surfaceOf(*panel))
            surface->redraw(rect);
    }
}

} // namespace pulsedeck
