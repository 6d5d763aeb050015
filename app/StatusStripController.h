#pragma once

#include "app/SamplingState.h"
#include "app/SettingsStore.h"
#include "app/StatusToolTip.h"
#include "floating/FullscreenMonitor.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/StatusBar.h"
#include "statusbar/EditingPanels.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/StripInputs.h"

#include <memory>
#include <optional>
#include <vector>

namespace pulsedeck {

// What the strip's presses and sorting reach: the details that hang from it.
class StripPresses {
public:
    virtual ~StripPresses() = default;
    // A press on the strip, at a point on the screen; none: from the keyboard or a menu.
    virtual void stripClicked(std::optional<gfx::Point> point) = 0;
    // The module a press began on, before the click that follows it.
    virtual void stripModulePressed(std::optional<ModuleKind> module) = 0;
    virtual void stripModuleHovered(ModuleKind module, gfx::Point point) = 0;
    virtual bool showsDetailsOnHover() const = 0;
    virtual void stripContextMenu(const ui::Event& event) = 0;
    // While sorting: the strip's new order, a module hidden with its badge, the done press.
    virtual void stripReordered(const std::vector<ModuleKind>& order) = 0;
    virtual void stripHid(ModuleKind module) = 0;
    virtual void stripSortingFinished() = 0;
};

// What a module pulled out of the strip reaches: the floating bar's preview.
class StripPullOut {
public:
    virtual ~StripPullOut() = default;
    virtual void dragOut(gfx::Point start, gfx::Point current, bool ended) = 0;
    // The strip changed: the preview that draws it repaints all of it, or the column under a
    // rect of the strip.
    virtual void redrawPreview(std::optional<gfx::Rect> rect) = 0;
};

// The status item and its strip: the strip's rebuild from the menu bar's look and the readings,
// the tooltip, the item's length, and the editing panels over the strip with the dock anchors
// they leave behind. It alone wires the strip view; the presses go to the details and a module
// pulled out to the floating bar, each held weakly. It observes the settings for the keys the
// strip and the panels show. Main thread only.
class StatusStripController final : public std::enable_shared_from_this<StatusStripController> {
public:
    // After launch, in seconds: the status item has found its place.
    static constexpr double surfacesReadyDelay = 0.25;

    StatusStripController(std::shared_ptr<SettingsStore> settings, const SamplingState& sampling,
                          std::shared_ptr<const FullscreenMonitor> fullscreen,
                          dispatch::RunLoop& loop, gfx::Rect stripFrame);

    // None before launch.
    const std::shared_ptr<ui::StatusItem>& item() const { return item_; }
    const std::shared_ptr<MenuBarContentView>& view() const { return view_; }
    // Set a moment after install, once the status item has found its place; `ready` runs then.
    bool surfacesReady() const { return surfacesReady_; }
    // The editing panels over the strip; none before its surfaces are ready.
    const EditingPanels* editingPanels() const { return editingPanels_.get(); }

    void setPresses(std::weak_ptr<StripPresses> presses) { presses_ = std::move(presses); }
    void setPullOut(std::weak_ptr<StripPullOut> pullOut) { pullOut_ = std::move(pullOut); }

    // Makes the status item with the strip in it, wires the strip, follows the settings, builds
    // the strip and, a moment later, the editing panels over it; then `ready`.
    void install(ui::Application& app, std::function<void()> ready);
    // Rebuilds the strip from the menu bar's look, the readings and the desktop, then the
    // tooltip, the item's length and the editing panels; nothing before install.
    void refresh();
    // The item's length follows the strip's required width.
    void updateItemLength();
    // Keeps the panels over the strip and the anchors where the strip now sits.
    void refreshEditingPanels();
    // The editing surfaces forget their hover.
    void forgetHover();

private:
    void settingsChanged(const SettingsChange& change);
    void wireStrip();
    void placeSurfaces();
    // Stores where the strip sits on the screen, when that changed.
    void recordDockAnchor(const ui::Screen& screen, const gfx::Rect& strip);
    // Repaint the strip wherever the editing panels and the drag-out preview draw it: all of
    // it, or the column under a rect of the strip.
    void redrawEditingSurfaces(std::optional<gfx::Rect> rect);
    const Preferences& prefs() const { return settings_->main(); }

    std::shared_ptr<SettingsStore> settings_;
    const SamplingState& sampling_;
    std::shared_ptr<const FullscreenMonitor> fullscreen_;
    dispatch::RunLoop& loop_;
    std::weak_ptr<StripPresses> presses_;
    std::weak_ptr<StripPullOut> pullOut_;

    std::shared_ptr<ui::StatusItem> item_;
    std::shared_ptr<MenuBarContentView> view_;
    std::unique_ptr<EditingPanels> editingPanels_;
    bool surfacesReady_ = false;
    // What the tooltip and accessibility label were last written from.
    std::optional<StatusToolTipContent> toolTipShown_;
};

// The strip height from every screen's menu-bar height (the frame's top less the visible
// frame's), where one outside 18…80 is replaced by a fallback from the screen's safe-area top
// and the status bar's thickness.
double statusPresentationHeight(const std::vector<ui::Screen>& screens, double thickness);

} // namespace pulsedeck
