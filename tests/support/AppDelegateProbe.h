#pragma once

#include "app/AppDelegate.h"

namespace pulsedeck {
namespace testing {

// What tests may reach inside the controller beyond its interface: the readings it keeps, set
// by hand to draw a chosen state, and the state of its windows and monitors.
struct AppDelegateProbe {
    explicit AppDelegateProbe(AppDelegate& delegate)
        : clickedModule(delegate.details_->clickedModule),
          lastStatusActivation(delegate.details_->lastStatusActivation),
          outsideClickMonitor(delegate.details_->outsideClickMonitor),
          anchorPanel(delegate.details_->anchorPanel),
          detailFloatingFrame(delegate.details_->detailFloatingFrame),
          renderedDark(delegate.renderedDark), quitMonitor(delegate.quitMonitor),
          floatingDropFrame(delegate.floatingBar_->dropFrame_),
          floatingPreview(delegate.floatingBar_->preview_),
          floatingMotion(delegate.floatingBar_->motion_),
          floatingDockArmed(delegate.floatingBar_->dockArmed_),
          nativeSurfacesReady(delegate.nativeSurfacesReady),
          editingPanels(delegate.statusStrip_->editingPanels_),
          fullscreenMonitor(delegate.floatingMode_->monitor_),
          applicationIcon(delegate.applicationIcon), menuBarTip(delegate.launchSequence_->tip_),
          sampling(delegate.sampling_) {}

    std::optional<ModuleKind>& clickedModule;
    double& lastStatusActivation;
    std::optional<ui::EventMonitorToken>& outsideClickMonitor;
    std::shared_ptr<ui::Window>& anchorPanel;
    std::optional<gfx::Rect>& detailFloatingFrame;
    std::optional<bool>& renderedDark;
    std::optional<ui::EventMonitorToken>& quitMonitor;
    std::optional<gfx::Rect>& floatingDropFrame;
    std::shared_ptr<ui::Window>& floatingPreview;
    FloatingLiquidAnimator& floatingMotion;
    bool& floatingDockArmed;
    bool& nativeSurfacesReady;
    std::unique_ptr<EditingPanels>& editingPanels;
    std::unique_ptr<FullscreenMonitor>& fullscreenMonitor;
    std::optional<gfx::Image>& applicationIcon;
    std::unique_ptr<MenuBarTipWindow>& menuBarTip;
    SamplingState& sampling;
};

} // namespace testing

inline testing::AppDelegateProbe inside(AppDelegate& delegate) {
    return testing::AppDelegateProbe(delegate);
}

// For the table tests that look at a controller they are handed as const.
inline testing::AppDelegateProbe inside(const AppDelegate& delegate) {
    return testing::AppDelegateProbe(const_cast<AppDelegate&>(delegate));
}

} // namespace pulsedeck
