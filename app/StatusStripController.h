#pragma once

#include "app/SamplingState.h"
#include "app/SettingsStore.h"
#include "app/StatusToolTip.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/StatusBar.h"
#include "statusbar/EditingPanels.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/StripInputs.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>

namespace pulsedeck {

namespace testing {
struct AppDelegateProbe;
}

// The status item and its strip: the item's length, the tooltip, the strip's rebuild, and the
// editing panels over the strip with the dock anchors they leave behind. It owns those objects;
// what a click brings about belongs to its owner, which it asks through
// Hooks.
class StatusStripController final : public std::enable_shared_from_this<StatusStripController> {
public:
    struct Hooks {
        // Set once the status item has found its place, shortly after launch.
        std::function<bool()> surfacesReady;
        std::function<std::set<int>()> fullscreenDisplays;
        // A module dragged out of the strip.
        std::function<void(gfx::Point start, gfx::Point current, bool ended)> dragOut;
        // Repaints the drag-out preview: all of it, or the column under a rect of the strip.
        std::function<void(std::optional<gfx::Rect>)> redrawPreview;
    };

    StatusStripController(std::shared_ptr<SettingsStore> settings, const SamplingState& sampling,
                          gfx::Rect stripFrame, Hooks hooks);

    // None before launch.
    const std::shared_ptr<ui::StatusItem>& item() const { return item_; }
    const std::shared_ptr<MenuBarContentView>& view() const { return view_; }

    // Makes the status item `length` wide with the strip in it, and wires the strip's closures.
    void install(ui::Application& app, double length);
    // The editing panels over the strip (one per menu-bar display).
    void installEditingPanels();
    // Rebuilds the strip from the settings and the readings, then the tooltip, the item's length
    // and the editing panels; nothing before launch.
    void refresh(const StripSettings& settings, const StripEnvironment& environment);
    // The item's length follows the strip's required width.
    void updateItemLength();
    // Keeps the panels over the strip and the anchors where the strip now sits.
    void refreshEditingPanels();
    // The editing surfaces forget their hover.
    void forgetHover();

private:
    friend struct testing::AppDelegateProbe;
    // Stores where the strip sits on the screen, when that changed.
    void recordDockAnchor(const ui::Screen& screen, const gfx::Rect& strip);
    // Repaint the strip wherever the editing panels and the drag-out preview draw it: all of
    // it, or the column under a rect of the strip.
    void redrawEditingSurfaces(std::optional<gfx::Rect> rect);
    const Preferences& prefs() const { return settings_->main(); }

    std::shared_ptr<SettingsStore> settings_;
    const SamplingState& sampling_;
    Hooks hooks_;

    std::shared_ptr<ui::StatusItem> item_;
    std::shared_ptr<MenuBarContentView> view_;
    std::unique_ptr<EditingPanels> editingPanels_;
    // What the tooltip and accessibility label were last written from.
    std::optional<StatusToolTipContent> toolTipShown_;
};

} // namespace pulsedeck
