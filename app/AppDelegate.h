#pragma once

#include "app/AppUpdates.h"
#include "app/DetailsController.h"
#include "app/FloatingBarController.h"
#include "app/FloatingModeController.h"
#include "app/LaunchSequence.h"
#include "app/LoginItem.h"
#include "app/ProgramAppearance.h"
#include "app/Sampler.h"
#include "app/SamplingResources.h"
#include "app/SamplingState.h"
#include "app/SettingsStore.h"
#include "app/StatusStripController.h"
#include "floating/FullscreenMonitor.h"
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

// The application controller: it builds the long-lived objects (the settings store, the readers
// and the sampling loop, the status strip's controller, the details', the floating mode's with its
// bar, the update objects, the program's appearance), owns them for the life of the process and
// connects them. Each controller follows the settings it owns itself; what reaches the hub is the
// application's own news (launch, reopen, termination, the screens) and each sample, which it
// hands to the controllers that show readings.
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
        std::function<std::shared_ptr<SamplingResources>()> makeResources = [] {
            return SamplingResources::live();
        };
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
        ProgramAppearance::IconSource appIcon;
        // Loads the release manifest; none: update checks never reach the network and fail.
        ManifestFetch fetchManifest;
        // The desktop's notification centre; none: nothing is authorised and the alert shows.
        std::shared_ptr<sys::NotificationCenter> notificationCenter;

        // The live machine, the main run loop and the process's languages over `defaults`.
        static Environment live(foundation::UserDefaults& defaults);
    };

    static std::shared_ptr<AppDelegate> create(Environment environment);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // ui::ApplicationDelegate
    void applicationDidFinishLaunching() override;
    bool applicationShouldHandleReopen(bool hasVisibleWindows) override;
    void applicationWillTerminate() override;
    void applicationDidResignActive() override;

    // Shows the latest readings wherever they show: the status strip, the details and the
    // floating bar.
    void refresh();

    // Both preference sets; every change of a setting goes through it.
    SettingsStore& settings() { return *settings_; }
    const SettingsStore& settings() const { return *settings_; }
    // The latest snapshots and histories.
    const SamplingState& sampling() const { return sampling_; }
    const ProgramAppearance& appearance() const { return *appearance_; }

    // The floating bar, which the floating mode owns.
    FloatingBarController& floatingBar() { return *floatingMode_->bar(); }
    // The floating mode's changes and what stays visible over full-screen windows.
    FloatingModeController& floatingMode() { return *floatingMode_; }
    const FloatingModeController& floatingMode() const { return *floatingMode_; }

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
    // The controllers reach one another, each holding the other weakly.
    void connect();
    // Command-Q (Control-Q on X11) terminates and is swallowed; every other key passes.
    std::optional<ui::Event> handleQuitKey(const ui::Event& event);
    void applySample(const SampleResult& sample);
    // A module switched, hidden on the bar or the mode changed: what is sampled and kept changes.
    void samplingSettingsChanged(const SettingsChange& change);
    const Preferences& prefs() const { return settings_->main(); }

    std::optional<ui::Workspace::ObserverToken> screensObservation;
    std::optional<ui::EventMonitorToken> quitMonitor;

    Environment environment_;
    // Shared with the detail view's choice closures, which store a choice (the sections the
    // closing details report) even while the controller is being taken apart.
    std::shared_ptr<SettingsStore> settings_;
    SamplingState sampling_;
    std::shared_ptr<FullscreenMonitor> fullscreen_;
    std::shared_ptr<ProgramAppearance> appearance_;
    std::unique_ptr<Sampler> sampler_;
    std::shared_ptr<AppUpdates> updates_;
    std::shared_ptr<StatusStripController> statusStrip_;
    std::shared_ptr<DetailsController> details_;
    std::shared_ptr<FloatingModeController> floatingMode_;
    std::shared_ptr<LaunchSequence> launchSequence_;
};

} // namespace pulsedeck
