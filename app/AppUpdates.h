#pragma once

#include "app/SettingsStore.h"
#include "updates/UpdateController.h"
#include "updates/UpdateNotifications.h"

#include <functional>
#include <memory>
#include <string>

namespace dispatch {
class RunLoop;
}

namespace pulsedeck {

class DetailView;

// The program's side of update checks: the checker, its alerts and notifications, and the
// details' check button and frequency choice. Main thread only.
class AppUpdates : public std::enable_shared_from_this<AppUpdates> {
public:
    // What the details' owner does for the update controls it wires; each holds it weakly.
    struct Hooks {
        // An alert is about to run: the details make way.
        std::function<void()> closeDetails;
        // The frequency changed: the details show it.
        std::function<void()> frequencyChanged;
    };

    // The alerts and notifications speak the settings' language.
    AppUpdates(std::shared_ptr<const SettingsStore> settings, dispatch::RunLoop& loop,
               ManifestFetch fetch, std::shared_ptr<sys::NotificationCenter> center);

    // Made at the first use, so a controller never launched reaches no network.
    UpdateController& checker();
    // Wires the details' check button and frequency choice.
    void install(DetailView& details, Hooks hooks);

    // The checker's `present`: runs the outcome's alert and opens the download when its first
    // button accepts an acceptable release.
    void present(const UpdateOutcome& outcome);
    // The checker's `notify`: a notification, else the alert, unless checks have meanwhile been
    // turned off.
    void notify(const AppRelease& release, const std::string& runningVersion);

private:
    std::shared_ptr<const SettingsStore> settings_;
    dispatch::RunLoop& loop_;
    ManifestFetch fetch_;
    UpdateNotifications notifications_;
    Hooks hooks_;
    std::shared_ptr<UpdateController> checker_;
};

} // namespace pulsedeck
