#pragma once

#include "app/AppUpdates.h"
#include "app/DetailStateBuilder.h"
#include "app/DetailsController.h"
#include "app/FloatingBarController.h"
#include "app/FloatingModeController.h"
#include "app/LaunchSequence.h"
#include "app/LoginItem.h"
#include "app/Preferences.h"
#include "app/Sampler.h"
#include "app/SamplingResources.h"
#include "app/SamplingState.h"
#include "app/SettingsStore.h"
#include "app/StatusStripController.h"
#include "detail/DetailView.h"
#include "floating/FloatingPreferences.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/WindowList.h"
#include "platform/toolkit/Workspace.h"
#include "updates/UpdateController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace foundation {
class UserDefaults;
}

namespace pulsedeck {

namespace testing {
struct AppDelegateProbe;
}

// The application controller: the one owner of every long-lived object (the status strip's
// controller, the details' controller, the readers and the sampling loop, the floating bar's
// controller and the floating mode's, the update objects, the settings store) and the holder of the
// latest snapshots and histories (SamplingState). Views report to it through closures that hold it
// weakly; settings changes reach it from the store.
//
// Made with create(); the constructor reads the settings and builds everything, shows nothing
// and starts no timer. Main thread only, except what the sampling job does on its queue.
class AppDelegate final : public ui::ApplicationDelegate,
                          public std::enable_shared_from_this<AppDelegate> {
public:
    // What the controller runs on; tests replace the readers, the clock and the sampling thread.
    struct Environment {
        foundation::UserDefaults* defaults = nullptr;
        // The main run loop: its queue takes the timer and the delayed steps, its clock is the
        // uptime.
        dispatch::RunLoop* loop = &dispatch::RunLoop::main();
        std::function<std::shared_ptr<SamplingResources>()> makeResources =
            &SamplingResources::live;
        dispatch::SerialQueue::Execution samplingExecution =
            dispatch::SerialQueue::Execution::workerThread;
        // The machine has no fans worth asking for.
        bool fanless = false;
        std::function<std::vector<std::string>()> preferredLanguages;
        // Stops the companion sensor link at termination.
        std::function<void()> stopSensorClient;
        // The windows on screen, for the full-screen monitor; none: nothing is ever full-screen.
        std::shared_ptr<ui::WindowList> windowList;
        // The login item; none: the service is not found and cannot be changed.
        std::optional<LoginItem> loginItem;
        // The "AppIcon" or "AppIconDark" resource; none, or none answered: the icon stays.
        std::function<std::optional<gfx::Image>(bool dark)> appIcon;
        // Loads the release manifest; none: update checks never reach the network and fail.
        ManifestFetch fetchManifest;
        // The desktop's notification centre; none: nothing is authorised and the alert shows.
        std::shared_ptr<sys::NotificationCenter> notificationCenter;

        // The live machine, the main run loop and the process's languages over `defaults`.
        static Environment live(foundation::UserDefaults& defaults);
    };

    // After launch, in seconds: the status item has found its place.
    static constexpr double surfacesReadyDelay = 0.25;

    static std::shared_ptr<AppDelegate> create(Environment environment);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // ui::ApplicationDelegate
    void applicationDidFinishLaunching() override;
    bool applicationShouldHandleReopen(bool hasVisibleWindows) override;
    void applicationWillTerminate() override;
    void applicationDidResignActive() override;

    // Rebuilds the status item from the current state, with no dirty flags of its own: the
    // strip's height, order, accent, appearance and every module image, the tooltip and the
    // item's length, the editing panels; then hands everything to the detail view and sizes the
    // popover. `animated` reaches only the detail view's layout and the popover's resize.
    void refreshStatus(bool animated);

    // Both preference sets; every change of a setting goes through it.
    SettingsStore& settings() { return *settings_; }
    const SettingsStore& settings() const { return *settings_; }
    // The latest snapshots and histories.
    const SamplingState& sampling() const { return sampling_; }

    // The floating bar's objects, its details, its menu and docking.
    FloatingBarController& floatingBar() { return *floatingBar_; }
    // The floating mode's changes and what stays visible over full-screen windows.
    FloatingModeController& floatingMode() { return *floatingMode_; }

    // The status item, its strip and the editing panels over it.
    StatusStripController& statusStrip() { return *statusStrip_; }
    const StatusStripController& statusStrip() const { return *statusStrip_; }

    // The update checker, made at its first use.
    UpdateController& updates() { return updates_->checker(); }

    // The readers and the sampling loop.
    Sampler& sampler() { return *sampler_; }

    // The status item's detail popover, the clicks that open it and the anchor it hangs from.
    DetailsController& details() { return *details_; }
    const DetailsController& details() const { return *details_; }

private:
    friend struct testing::AppDelegateProbe;
    explicit AppDelegate(Environment environment);
    // Command-Q (Control-Q on X11) terminates and is swallowed; every other key passes.
    std::optional<ui::Event> handleQuitKey(const ui::Event& event);
    // The status item has found its place: the panels over it, and the floating bar where the
    // last run left it.
    void surfacesReady();
    void applySample(const SampleResult& sample);
    void setLaunchAtLogin(bool on);
    // Not found without a login item.
    LoginItemStatus loginStatus() const;
    // The language the interface speaks now: the stored choice, else the user's languages.
    AppLanguage resolvedLanguage() const;
    const std::shared_ptr<SamplingResources>& samplingResources() const {
        return sampler_->resources();
    }
    ui::Application& application() const;
    dispatch::Queue& mainQueue() const { return environment_.loop->queue(); }
    double now() const { return environment_.loop->clock().now(); }
    // Runs `step` on the main queue after `seconds` while the controller still exists.
    void after(double seconds, std::function<void(AppDelegate&)> step);
    const Preferences& prefs() const { return settings_->main(); }
    // The steps a settings change brings about beyond the rebuild.
    void settingsChanged(const SettingsChange& change);
    bool isDark() const;
    void handOffToDetails(bool animated, AppLanguage language);
    // Hands one preference set (the floating bar's, or with none the main one) and, while `open`,
    // the readings to a detail view.
    void handOffToDetails(DetailView& view, const FloatingPreferences* floating, bool open,
                          bool animated, AppLanguage language);

    // The appearance the last rebuild applied; none before the first.
    std::optional<bool> renderedDark;
    std::optional<bool> renderedPanelDark;
    std::optional<ui::Application::Observation> appearanceObservation;
    std::optional<ui::Workspace::ObserverToken> screensObservation;
    std::optional<ui::EventMonitorToken> quitMonitor;

    // Set 0.25 s after launch, once the status item has found its place.
    bool nativeSurfacesReady = false;

    // The application's icon as the last appearance change set it.
    std::optional<gfx::Image> applicationIcon;

    Environment environment_;
    // Shared with the detail view's disclosure closure, which stores its sections even while the
    // controller is being taken apart.
    std::shared_ptr<SettingsStore> settings_;
    SamplingState sampling_;
    std::shared_ptr<StatusStripController> statusStrip_;
    std::shared_ptr<DetailsController> details_;
    // The login item's state the details last showed, and whether the latest change failed.
    LoginItemStatus shownLoginStatus_ = LoginItemStatus::notRegistered;
    bool loginFailed_ = false;
    // What a closed detail view was last handed, the menu bar's and the floating bar's: a sample
    // that changes none of it hands the view nothing, so a closed view costs nothing each
    // second. None after an open hand-off, whose readings the next closed one keeps.
    struct ClosedHandOff {
        std::uint64_t settingsRevision = 0;
        DetailContext context;
        std::vector<ExternalDevice> devices;
    };
    std::optional<ClosedHandOff> statusHandedOff_;
    std::optional<ClosedHandOff> floatingHandedOff_;
    std::unique_ptr<Sampler> sampler_;
    std::shared_ptr<AppUpdates> updates_;
    std::shared_ptr<FloatingBarController> floatingBar_;
    std::unique_ptr<FloatingModeController> floatingMode_;
    std::shared_ptr<LaunchSequence> launchSequence_;
};

// The strip height from every screen's menu-bar height (the frame's top less the visible
// frame's), where one outside 18…80 is replaced by a fallback from the screen's safe-area top
// and the status bar's thickness.
double statusPresentationHeight(const std::vector<ui::Screen>& screens, double thickness);

} // namespace pulsedeck
