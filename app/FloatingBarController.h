#pragma once

#include "app/SamplingState.h"
#include "app/SettingsStore.h"
#include "detail/DetailView.h"
#include "detail/LiveSettingsMenu.h"
#include "floating/FloatingLiquidAnimator.h"
#include "floating/FullscreenMonitor.h"
#include "platform/toolkit/Popover.h"
#include "platform/toolkit/Screen.h"
#include "statusbar/MenuBarContentView.h"

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace foundation {
class UserDefaults;
}

namespace pulsedeck {

class FloatingSurface;
namespace testing {
struct AppDelegateProbe;
}

// The floating bar: its panel and surface, its strip, its own details popover and context menu,
// the preview a module dragged out of the status strip pulls along, and docking back into the
// menu bar. It owns those objects; the mode, and what the rest of the program does about it,
// belong to its owner, which it asks through Hooks.
class FloatingBarController final : public ui::PopoverDelegate,
                                    public std::enable_shared_from_this<FloatingBarController> {
public:
    struct Hooks {
        std::function<AppLanguage()> language;
        // The status strip, which a preview draws and whose height the bar takes.
        std::function<std::shared_ptr<MenuBarContentView>()> statusStrip;
        // The status details, whose open and sensor actions the bar's details share.
        std::function<const DetailView&()> statusDetails;
        std::function<void()> closeStatusDetails;
        std::function<FullscreenMonitor&()> fullscreen;
        // Hands the bar's record and, while `open`, the readings to the bar's details.
        std::function<void(DetailView&, const FloatingPreferences&, bool open, bool animated)>
            handOff;
        std::function<void(FloatingMode, std::optional<gfx::Rect> dropFrame)> setMode;
        // The panel moved, or was placed.
        std::function<void()> moved;
    };

    FloatingBarController(std::shared_ptr<SettingsStore> settings, const SamplingState& sampling,
                          foundation::UserDefaults& defaults, gfx::Rect stripFrame, Hooks hooks);

    const std::shared_ptr<ui::Window>& panel() const { return panel_; }
    const std::shared_ptr<MenuBarContentView>& strip() const { return strip_; }
    const std::shared_ptr<DetailView>& details() const { return details_; }
    const std::unique_ptr<ui::Popover>& popover() const { return popover_; }
    // The panel's content; none without a panel.
    FloatingSurface* surface() const;

    // Loads the bar's own settings record once through the store and wires the strip's closures,
    // once.
    void load();
    // Places the panel (at the drop frame, where it was, where it was last saved, else below the
    // status item), shows it and saves where it ended.
    void show(std::optional<gfx::Rect> dropFrame);
    // Closes the details, stops sorting and the fan rotor, and drops the panel.
    void hide();
    // Stops the motion under way; the bar stays where it is.
    void stopMotion() { motion_.stop(); }
    // Rebuilds the strip from the bar's record and the readings, with the status strip's height.
    void refreshStrip();
    // Sizes the panel to the strip and keeps it on screen; nothing while there is no panel or the
    // liquid animation moves it.
    void layoutPanel();
    // Feeds the open (or `opening`) details from the bar's record and the latest readings; nothing
    // before the popover is prepared or the record loaded. `animated`: a relayout this causes
    // animates.
    void refreshDetails(bool opening = false, bool animated = false);

    // Where the bar, at its current size, docks on the screen; none without a plausible stored
    // anchor or while the screen shows a full-screen window and hiding is on.
    std::optional<gfx::Rect> dockAnchorFrame(const ui::Screen& screen) const;
    // Every screen's anchor, in screen order.
    std::vector<gfx::Rect> dockAnchorFrames() const;
    // A move of the bar began: docking is armed only when it began off every anchor.
    void dragBegan();
    // True when the bar at `frame` docks into an anchor (the mode then becomes none, after the
    // docking animation unless Reduce Motion is on).
    bool dock(const gfx::Rect& frame);

    // A module dragged out of the status strip: a preview of the strip follows the pointer and the
    // liquid pull-out stretches it from the menu bar, tears it off or springs it back. A strip
    // torn off and dropped away from the menu bar (anywhere, in detached mode) offers a floating
    // bar there.
    void dragOut(gfx::Point start, gfx::Point current, bool ended);
    // Menu action: choose the mode named by the item's represented object ("none", "copy",
    // "detached"; anything else does nothing), at the drop frame while one is set.
    void choose(const std::any& representedObject);
    // Repaints the drag-out preview: all of it, or the column under a rect of the strip.
    void redrawPreview();
    void redrawPreview(const gfx::Rect& rect);

    // Wires the details and their popover; once.
    void makePopover();
    // Opens the details on `module` beside the bar (`panelFrame`) under `point` (screen
    // coordinates); a second click on the module shown closes them.
    void toggleDetails(ModuleKind module, gfx::Point point, const gfx::Rect& panelFrame);
    // The surface's report of a module clicked or hovered: nothing while the bar sorts; a hover
    // only moves details that are open to another module.
    void modulePressed(std::optional<ModuleKind> module, bool hovering, gfx::Point point,
                       const gfx::Rect& panelFrame);
    std::shared_ptr<LiveSettingsMenu> makeMenu();
    void sort();

    // ui::PopoverDelegate
    void popoverDidClose(ui::Popover& closed) override;

private:
    friend struct testing::AppDelegateProbe;
    // A panel; a preview draws the status strip and lets every click through.
    std::shared_ptr<ui::Window> makePanel(bool preview, const gfx::Rect& frame);
    // The closures of a panel's surface, each holding the controller weakly.
    void installSurfaceActions(FloatingSurface& surface);
    void saveFrame(const gfx::Rect& frame);
    // The modal copy-or-move menu at a drop point.
    void offerDrop(gfx::Point point);
    void clearPreview();
    void showMenu(const ui::Event& event);
    const Preferences& prefs() const { return settings_->main(); }
    static ui::Application& application();

    std::shared_ptr<SettingsStore> settings_;
    const SamplingState& sampling_;
    foundation::UserDefaults& defaults_;
    Hooks hooks_;

    std::shared_ptr<ui::Window> panel_;
    std::shared_ptr<MenuBarContentView> strip_;
    std::shared_ptr<DetailView> details_;
    std::unique_ptr<ui::Popover> popover_;
    bool detailsReady_ = false;
    bool stripWired_ = false;
    std::optional<gfx::Rect> dropFrame_;
    std::shared_ptr<ui::Window> preview_;
    FloatingLiquidAnimator motion_;
    bool dockArmed_ = false;
};

} // namespace pulsedeck
