#pragma once

#include "app/DetailsController.h"
#include "app/FloatingBarController.h"
#include "app/SettingsStore.h"
#include "app/StatusStripController.h"
#include "floating/FullscreenMonitor.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/WindowList.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace pulsedeck {

namespace testing {
struct AppDelegateProbe;
}

// The floating mode and what stays on screen: the changes between none, copy and detached, and
// which of the status item, the floating bar and the status details show as the mode, the
// settings and the full-screen windows change. It owns the full-screen monitor; the rebuild and
// the sampling belong to its owner, which it asks through Hooks.
class FloatingModeController final {
public:
    struct Hooks {
        // Set once the status item has found its place, shortly after launch.
        std::function<bool()> surfacesReady;
        // Rebuilds everything from the current settings.
        std::function<void()> refresh;
        // Hands the main settings to the status details.
        std::function<void()> handOff;
        std::function<void()> requestSample;
    };

    FloatingModeController(std::shared_ptr<SettingsStore> settings,
                           std::shared_ptr<StatusStripController> statusStrip,
                           std::shared_ptr<DetailsController> details,
                           std::shared_ptr<FloatingBarController> floatingBar,
                           std::shared_ptr<ui::WindowList> windowList, dispatch::RunLoop& loop,
                           Hooks hooks);

    FullscreenMonitor& fullscreen() { return *monitor_; }
    // Set while set() carries out a change of mode, which applies the settings it changes
    // itself.
    bool changing() const { return changing_; }

    // The only way the mode changes: seeds or returns the bar's settings on the way into or out
    // of detached, then drops the panel, or places it (at the drop frame, where it was, where it
    // was last saved, else below the status item) and saves where it ended.
    void set(FloatingMode mode, std::optional<gfx::Rect> dropFrame);
    // The status item, the bar and the popover after the full-screen state, the mode or a
    // setting changed.
    void applyVisibility();
    // The main settings' full-screen hiding changed.
    void hidingChanged();
    // The bar's own settings changed: it reloads, redraws and shows the change in its details.
    void barSettingsChanged(const SettingsChange& change);
    // Starts watching for full-screen windows, if the settings hide anything for them.
    void start();
    void stop() { monitor_->stop(); }

private:
    friend struct testing::AppDelegateProbe;
    void showPanel(std::optional<gfx::Rect> dropFrame);
    // In detached mode a shown bar replaces the status item.
    bool barStandsIn() const;
    // The monitor runs while the strip, or a shown floating bar, hides for full-screen windows.
    void updateMonitoring();
    const Preferences& prefs() const { return settings_->main(); }

    std::shared_ptr<SettingsStore> settings_;
    std::shared_ptr<StatusStripController> statusStrip_;
    std::shared_ptr<DetailsController> details_;
    std::shared_ptr<FloatingBarController> floatingBar_;
    Hooks hooks_;
    std::unique_ptr<FullscreenMonitor> monitor_;
    bool changing_ = false;
};

// Whether the status item shows: not while the floating bar stands in for it, nor, with
// full-screen hiding on, while every display (at least one; a display without a number never
// counts as full-screen) shows a full-screen window.
bool statusItemVisible(bool floatingBarStandsIn, bool hideInFullscreen,
                       const std::vector<int>& displayNumbers,
                       const std::set<int>& fullscreenDisplays);

} // namespace pulsedeck
