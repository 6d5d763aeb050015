#pragma once

#include "app/SettingsStore.h"
#include "app/StatusStripController.h"
#include "detail/DetailView.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Popover.h"

#include <functional>
#include <limits>
#include <memory>
#include <optional>

namespace pulsedeck {

namespace testing {
struct AppDelegateProbe;
}

// The status item's detail popover: the detail view in it, the clicks on the strip that open,
// refocus or close it, the presses outside and the focus that close it, and the anchor it hangs
// from, which stays where the click was until the next click moves it; the choices the details
// offer, which it puts into the store, and the sorting the details and the strip do together. What
// the details show belongs to its owner, which it asks through Hooks.
class DetailsController final : public ui::PopoverDelegate,
                                public std::enable_shared_from_this<DetailsController> {
public:
    struct Hooks {
        // Rebuilds everything for the details about to open (or refocus, animated).
        std::function<void(bool animated)> refresh;
        // The floating bar's panel holds the point.
        std::function<bool(gfx::Point)> insideFloatingBar;
        std::function<AppLanguage()> language;
        // The login switch: registers or removes the login item.
        std::function<void(bool on)> login;
        std::function<void(FloatingMode, std::optional<gfx::Rect> dropFrame)> setFloatingMode;
    };

    DetailsController(std::shared_ptr<SettingsStore> settings,
                      std::shared_ptr<StatusStripController> statusStrip, dispatch::RunLoop& loop,
                      Hooks hooks);

    const std::unique_ptr<ui::Popover>& popover() const { return popover_; }
    const std::shared_ptr<DetailView>& view() const { return view_; }
    // Set while show() rebuilds for the popover it is about to open, so the details take the
    // readings they skip while closed.
    bool opening() const { return opening_; }
    // Where the details hang from while beside the detached floating bar; none on the strip.
    const std::optional<gfx::Rect>& floatingFrame() const { return detailFloatingFrame; }
    // The frame of the window the details hang from, while they hang from the strip.
    std::optional<gfx::Rect> anchorFrame() const;

    // Puts the detail view in the popover and wires the strip's and the details' clicks, and
    // the settings the details offer, which change the store.
    void install();
    // Opens, refocuses or closes the popover for a click at `point` (screen coordinates) on
    // the strip, or beside `anchor` (the detached floating bar's frame).
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
    // Ends the sorting the details began, and tells the strip.
    void finishSorting();
    // The sections follow the collapsed set, and a module switched on opens its section.
    void settingsChanged(const SettingsChange& change);

    // ui::PopoverDelegate
    void popoverDidClose(ui::Popover& closed) override;

private:
    friend struct testing::AppDelegateProbe;
    // The details' choice closures put each choice into the store; what a change brings about
    // follows from the store's report.
    void installSettingsActions();
    void showSensorHelp();
    // The details' sort button: the strip sorts with them.
    void beginSorting();
    const Preferences& prefs() const { return settings_->main(); }
    void setClickedModule(std::optional<ModuleKind> module);
    bool hoverDetailsAllowed() const;
    void showContextMenu(const ui::Event& event);
    void openActivityMonitor();
    void dismissDetails(ui::Popover& shown);
    void scheduleOutsideClose();
    // The details take the keyboard, so Escape and the quit key reach them.
    void makeDetailsKey();
    std::optional<ModuleKind> detailsModule(std::optional<gfx::Point> point) const;
    ui::Application& application() const { return ui::Application::shared(); }
    double now() const { return loop_.clock().now(); }

    std::shared_ptr<SettingsStore> settings_;
    std::shared_ptr<StatusStripController> statusStrip_;
    dispatch::RunLoop& loop_;
    Hooks hooks_;

    std::unique_ptr<ui::Popover> popover_;
    std::shared_ptr<DetailView> view_;
    std::optional<ModuleKind> clickedModule;
    double lastStatusActivation = -std::numeric_limits<double>::infinity();
    std::optional<ui::EventMonitorToken> outsideClickMonitor;
    std::shared_ptr<ui::Window> anchorPanel;
    // How far left of the strip's right end the anchor stands, while the details hang from it.
    double anchorFromStripEnd = 0;
    std::optional<gfx::Rect> detailFloatingFrame;
    bool opening_ = false;
};

} // namespace pulsedeck
