#pragma once

#include "app/DetailsHandOff.h"
#include "app/SamplingState.h"
#include "app/SettingsStore.h"
#include "app/StatusStripController.h"
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

namespace pulsedeck {

class FloatingSurface;
namespace testing {
struct AppDelegateProbe;
}

// What the floating bar asks of the floating mode that owns it.
class FloatingBarOwner {
public:
    virtual ~FloatingBarOwner() = default;
    virtual void set(FloatingMode mode, std::optional<gfx::Rect> dropFrame) = 0;
    // The panel moved or was placed: whether it shows is decided again.
    virtual void applyVisibility() = 0;
    // The bar's details or a module pulled out of the strip take the status details' place.
    virtual void closeStatusDetails() = 0;
};

// The floating bar: its panel and surface, its strip, its own details popover and context menu,
// the preview a module dragged out of the status strip pulls along, and docking back into the
// menu bar. It owns those objects and observes the settings for its own look (and the menu bar's
// theme and language, which it shows). It is owned by the floating mode, which it asks for a
// change of mode and tells when the panel moved; it holds it weakly. Main thread only.
class FloatingBarController final : public ui::PopoverDelegate,
                                    public StripPullOut,
                                    public std::enable_shared_from_this<FloatingBarController> {
public:
    // `statusStrip`: the status strip a preview draws and whose height the bar takes.
    FloatingBarController(std::shared_ptr<SettingsStore> settings, const SamplingState& sampling,
                          std::shared_ptr<StatusStripController> statusStrip,
                          std::shared_ptr<const FullscreenMonitor> fullscreen,
                          gfx::Rect stripFrame);

    const std::shared_ptr<ui::Window>& panel() const { return panel_; }
    const std::shared_ptr<MenuBarContentView>& strip() const { return strip_; }
    const std::shared_ptr<DetailView>& details() const { return details_; }
    const std::unique_ptr<ui::Popover>& popover() const { return popover_; }
    // The panel's content; none without a panel.
    FloatingSurface* surface() const;

    // The floating mode that owns the bar; follows the settings.
    void install(std::weak_ptr<FloatingBarOwner> owner);
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
    // The bar docked: its strip has reached the menu bar and only wobbles there.
    bool isSettlingIntoDock() const { return motion_.isSettlingIntoDock(); }
    // Rebuilds the strip from the bar's record and the readings, with the status strip's height.
    void refreshStrip();
    // Sizes the panel to the strip and keeps it on screen (the owner decides again whether it
    // shows where it moved); nothing while there is no panel or the liquid animation moves it.
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
    void dragOut(gfx::Point start, gfx::Point current, bool ended) override;
    // Menu action: choose the mode named by the item's represented object ("none", "copy",
    // "detached"; anything else does nothing), at the drop frame while one is set.
    void choose(const std::any& representedObject);
    // Repaints the drag-out preview: all of it, or the column under a rect of the strip.
    void redrawPreview(std::optional<gfx::Rect> rect) override;

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
    void settingsChanged(const SettingsChange& change);
    // A panel; a preview draws the status strip and lets every click through.
    std::shared_ptr<ui::Window> makePanel(bool preview, const gfx::Rect& frame);
    // The panel's surface takes the bar's opacity.
    void applyOpacity();
    // The bar's strip and details sort together, or neither does.
    void setSorting(bool sorting);
    // Asks the owner to change the mode.
    void setMode(FloatingMode mode, std::optional<gfx::Rect> dropFrame);
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
    std::shared_ptr<StatusStripController> statusStrip_;
    std::shared_ptr<const FullscreenMonitor> fullscreen_;
    std::weak_ptr<FloatingBarOwner> owner_;
    DetailsHandOff handOff_;

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
