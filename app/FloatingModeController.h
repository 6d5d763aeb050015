#pragma once

#include "app/DetailsController.h"
#include "app/FloatingBarController.h"
#include "app/SettingsStore.h"
#include "app/StatusStripController.h"
#include "floating/FullscreenMonitor.h"

#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace pulsedeck {

// The floating mode and what stays on screen: the changes between none, copy and detached, and
// which of the status item, the floating bar and the status details show as the mode, the
// settings and the full-screen windows change; the only place that decides it. It owns the
// floating bar, and follows the full-screen monitor it shares with the strip. It observes the
// settings for full-screen hiding. Main thread only.
class FloatingModeController final : public FloatingBarOwner,
                                     public FloatingModes,
                                     public std::enable_shared_from_this<FloatingModeController> {
public:
    FloatingModeController(std::shared_ptr<SettingsStore> settings,
                           std::shared_ptr<StatusStripController> statusStrip,
                           std::shared_ptr<DetailsController> details,
                           std::shared_ptr<FullscreenMonitor> fullscreen,
                           const SamplingState& sampling, gfx::Rect stripFrame);

    const std::shared_ptr<FloatingBarController>& bar() const { return bar_; }
    const FullscreenMonitor& fullscreen() const { return *fullscreen_; }

    // Takes the bar in hand, follows the settings and the full-screen windows, and watches for
    // them if the settings hide anything for them.
    void install();
    // The mode the last run left, once the status item has found its place.
    void restore();
    // The only way the mode changes: hands the strip's modules to the bar on the way into
    // detached and back on the way out, then drops the panel, or places it (at the drop frame,
    // where it was, where it was last saved, else below the status item) and saves where it
    // ended.
    void set(FloatingMode mode, std::optional<gfx::Rect> dropFrame) override;
    // The status item, the bar and the popover after the full-screen state, the mode, a setting
    // or the bar's place changed.
    void applyVisibility() override;
    // The bar's panel holds the point.
    bool barHolds(gfx::Point point) const override;
    // The bar's details or a module pulled out of the strip take the place of the status
    // details.
    void closeStatusDetails() override;
    void stop() { fullscreen_->stop(); }

private:
    void settingsChanged(const SettingsChange& change);
    void showPanel(std::optional<gfx::Rect> dropFrame);
    // In detached mode a shown bar replaces the status item.
    bool barStandsIn() const;
    // The monitor runs while the strip, or a shown floating bar, hides for full-screen windows.
    void updateMonitoring();
    const Preferences& prefs() const { return settings_->main(); }

    std::shared_ptr<SettingsStore> settings_;
    std::shared_ptr<StatusStripController> statusStrip_;
    std::shared_ptr<DetailsController> details_;
    std::shared_ptr<FullscreenMonitor> fullscreen_;
    std::shared_ptr<FloatingBarController> bar_;
};

// Whether the status item shows: not while the floating bar stands in for it, nor, with
// full-screen hiding on, while every display (at least one; a display without a number never
// counts as full-screen) shows a full-screen window.
bool statusItemVisible(bool floatingBarStandsIn, bool hideInFullscreen,
                       const std::vector<int>& displayNumbers,
                       const std::set<int>& fullscreenDisplays);

} // namespace pulsedeck
