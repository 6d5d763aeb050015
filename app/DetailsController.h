#pragma once

#include "app/AppUpdates.h"
#include "app/DetailsHandOff.h"
#include "app/LoginItem.h"
#include "app/SettingsStore.h"
#include "app/StatusStripController.h"
#include "detail/DetailView.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Popover.h"

#include <limits>
#include <memory>
#include <optional>

namespace pulsedeck {

namespace testing {
struct AppDelegateProbe;
}

// The floating mode as the details see it: the mode they choose, and the bar a press outside them
// may fall on.
class FloatingModes {
public:
    virtual ~FloatingModes() = default;
    virtual void set(FloatingMode mode, std::optional<gfx::Rect> dropFrame) = 0;
    virtual bool barHolds(gfx::Point point) const = 0;
};

// The status item's detail popover: the detail view in it, which it alone feeds and wires; the
// presses on the strip that open, refocus or close it, the presses outside and the focus that
// close it, and the anchor it hangs from, which stays where the press was until the next one
// moves it; the sorting the details and the strip do together; the login switch. It observes the
// settings for the menu bar's look and hands the details what changed; the floating-mode choice
// goes to the floating mode. Main thread only.
class DetailsController final : public ui::PopoverDelegate,
                                public StripPresses,
                                public std::enable_shared_from_this<DetailsController> {
public:
    // `loginItem`: none, the service is not found and cannot be changed.
    DetailsController(std::shared_ptr<SettingsStore> settings,
                      std::shared_ptr<StatusStripController> statusStrip,
                      const SamplingState& sampling, std::shared_ptr<AppUpdates> updates,
                      std::optional<LoginItem> loginItem, dispatch::RunLoop& loop);

    const std::unique_ptr<ui::Popover>& popover() const { return popover_; }
    const std::shared_ptr<DetailView>& view() const { return view_; }
    // Where the details hang from while beside the detached floating bar; none on the strip.
    const std::optional<gfx::Rect>& floatingFrame() const { return detailFloatingFrame; }
    // The frame of the window the details hang from, while they hang from the strip.
    std::optional<gfx::Rect> anchorFrame() const;

    // The floating mode the details' choice sets, and whose bar a press outside may fall on.
    void setFloatingModes(std::weak_ptr<FloatingModes> modes) {
        modes_ = std::move(modes);
    }
    // Takes over the login entry an earlier version wrote, puts the detail view in the popover,
    // wires it and its update controls, follows the settings and hands the details their first
    // state.
    void install();
    // Hands the details the menu bar's look, and the readings while they are open; sizes the
    // open popover. `animated`: a relayout this causes animates.
    void refresh(bool animated = false);
    // The program's appearance.
    void setAppearance(gfx::Appearance appearance);
    // Opens, refocuses or closes the popover for a press at `point` (screen coordinates) on the
    // strip, or beside `anchor` (the detached floating bar's frame).
    void show(std::optional<gfx::Point> point, std::optional<gfx::Rect> anchor = std::nullopt);
    void close();
    void hoverModule(ModuleKind module, gfx::Point point);
    std::shared_ptr<ui::Menu> makeSettingsMenu();
    void handleOutsideClick();
    void updatePopoverSize(double height, bool animated);
    // The screens changed: open details hang from the strip where it stands now, as far from its
    // right end as before, and stay on the screen.
    void followScreens();
    void removeOutsideClickMonitor();
    // Ends the sorting the details began, on both sides.
    void finishSorting();

    // StripPresses
    void stripClicked(std::optional<gfx::Point> point) override;
    void stripModulePressed(std::optional<ModuleKind> module) override;
    void stripModuleHovered(ModuleKind module, gfx::Point point) override;
    bool showsDetailsOnHover() const override;
    void stripContextMenu(const ui::Event& event) override;
    void stripReordered(const std::vector<ModuleKind>& order) override;
    void stripHid(ModuleKind module) override;
    void stripSortingFinished() override;

    // ui::PopoverDelegate
    void popoverDidClose(ui::Popover& closed) override;

private:
    friend struct testing::AppDelegateProbe;
    void settingsChanged(const SettingsChange& change);
    // The details' choices: the look into the store, the rest where it belongs.
    void installSettingsActions();
    void showSensorHelp();
    // The details' sort button: the strip sorts with them.
    void sortingChosen();
    // Both sides sort, or neither.
    void setSorting(bool sorting);
    void setLaunchAtLogin(bool on);
    LoginItemStatus loginStatus() const;
    const Preferences& prefs() const { return settings_->main(); }
    std::optional<ModuleKind> detailsModule(std::optional<gfx::Point> point) const;
    void scheduleOutsideClose();
    // The details take the keyboard, so Escape and the quit key reach them.
    void makeDetailsKey();
    ui::Application& application() const { return ui::Application::shared(); }
    double now() const { return loop_.clock().now(); }

    std::shared_ptr<SettingsStore> settings_;
    std::shared_ptr<StatusStripController> statusStrip_;
    std::shared_ptr<AppUpdates> updates_;
    dispatch::RunLoop& loop_;
    std::weak_ptr<FloatingModes> modes_;
    DetailsHandOff handOff_;
    std::optional<LoginItem> loginItem_;
    // The login item's state the details last showed, and whether the latest change failed.
    LoginItemStatus shownLoginStatus_ = LoginItemStatus::notRegistered;
    bool loginFailed_ = false;

    std::unique_ptr<ui::Popover> popover_;
    std::shared_ptr<DetailView> view_;
    std::optional<ModuleKind> clickedModule;
    double lastStatusActivation = -std::numeric_limits<double>::infinity();
    std::optional<ui::EventMonitorToken> outsideClickMonitor;
    std::optional<ui::EventMonitorToken> ownWindowsPressMonitor;
    std::shared_ptr<ui::Window> anchorPanel;
    // How far left of the strip's right end the anchor stands, while the details hang from it.
    double anchorFromStripEnd = 0;
    std::optional<gfx::Rect> detailFloatingFrame;
};

// Opens the desktop's process monitor, the first one installed; says so in `language` when nothing
// opens it.
void openProcessMonitor(AppLanguage language);

} // namespace pulsedeck
