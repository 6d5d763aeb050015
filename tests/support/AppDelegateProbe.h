#pragma once

#include "app/AppDelegate.h"

namespace pulsedeck {
namespace testing {

// What tests may reach inside the controllers beyond their interfaces: the readings kept, set by
// hand to draw a chosen state, and the state of their windows and monitors.
struct AppDelegateProbe {
    explicit AppDelegateProbe(AppDelegate& delegate)
        : clickedModule(delegate.details_->clickedModule),
          lastStatusActivation(delegate.details_->lastStatusActivation),
          outsideClickMonitor(delegate.details_->outsideClickMonitor),
          anchorPanel(delegate.details_->anchorPanel), quitMonitor(delegate.quitMonitor),
          floatingDropFrame(delegate.floatingMode_->bar()->dropFrame_),
          floatingPreview(delegate.floatingMode_->bar()->preview_),
          floatingMotion(delegate.floatingMode_->bar()->motion_),
          floatingDockArmed(delegate.floatingMode_->bar()->dockArmed_),
          menuBarTip(delegate.launchSequence_->tip_), sampling(delegate.sampling_) {}

    std::optional<ModuleKind>& clickedModule;
    double& lastStatusActivation;
    std::optional<ui::EventMonitorToken>& outsideClickMonitor;
    std::shared_ptr<ui::Window>& anchorPanel;
    std::optional<ui::EventMonitorToken>& quitMonitor;
    std::optional<gfx::Rect>& floatingDropFrame;
    std::shared_ptr<ui::Window>& floatingPreview;
    FloatingLiquidAnimator& floatingMotion;
    bool& floatingDockArmed;
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
