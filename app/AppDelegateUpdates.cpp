#include "app/AppDelegate.h"
#include "model/SafeWebURL.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Popover.h"
#include "platform/toolkit/Workspace.h"
#include "updates/UpdateAlert.h"
#include "updates/Version.h"

namespace pulsedeck {

namespace {

constexpr std::string_view manifestPath = "/latest.json";

std::string systemVersionText() {
    const auto version = foundation::OperatingSystemInfo::read().version;
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch);
}

} // namespace

std::shared_ptr<UpdateController> AppDelegate::makeUpdateController() {
    const auto bundle = foundation::Bundle::main();
    UpdateController::Configuration configuration;
    configuration.defaults = &defaults();
    configuration.version = bundle.shortVersion().empty() ? "0" : bundle.shortVersion();
    configuration.build = buildNumber(bundle.buildVersion().value_or(""));
    configuration.source = safeWebURL(std::string(productWebsite) + std::string(manifestPath));
    configuration.systemVersion = systemVersionText();
    configuration.fetch = environment_.fetchManifest;
    configuration.loop = environment_.loop;
    auto controller = UpdateController::create(std::move(configuration));
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    controller->present = [weak](const UpdateOutcome& outcome) {
        if (auto self = weak.lock())
            self->presentUpdateOutcome(outcome);
    };
    controller->notify = [weak, version = controller->version()](const AppRelease& release) {
        if (auto self = weak.lock())
            self->notifyUpdate(release, version);
    };
    return controller;
}

void AppDelegate::presentUpdateOutcome(const UpdateOutcome& outcome) {
    if (popover && popover->isShown())
        popover->performClose();
    const std::string shortVersion = foundation::Bundle::main().shortVersion();
    auto alert = makeUpdateAlert(outcome, resolvedLanguage(),
                                 shortVersion.empty() ? std::string("—") : shortVersion);
    ui::Application::shared().activateIgnoringOtherApps(true);
    if (alertAnswerOpensDownload(outcome, alert->runModal()))
        ui::Workspace::shared().openURL(outcome.release->downloadURL());
}

void AppDelegate::notifyUpdate(const AppRelease& release, const std::string& runningVersion) {
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    updateNotifications.post(release, resolvedLanguage(), runningVersion, [weak, release] {
        if (auto self = weak.lock())
            self->notifyFallback(release);
    });
}

void AppDelegate::notifyFallback(const AppRelease& release) {
    if (updates().frequency() != UpdateFrequency::never)
        presentUpdateOutcome(UpdateOutcome::available(release));
}

void AppDelegate::installUpdateActions() {
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    details->checkUpdatesAction = [weak] {
        if (auto self = weak.lock())
            self->updates().check(true);
    };
    details->updateFrequencyAction = [weak](UpdateFrequency frequency) {
        if (auto self = weak.lock()) {
            // Checks that may find a release ask to announce it; the answer only matters when
            // one is found.
            if (frequency != UpdateFrequency::never && self->updateNotifications.center())
                self->updateNotifications.center()->requestAuthorization([](bool) {});
            self->updates().setFrequency(frequency);
            self->refreshStatus(false);
        }
    };
}

} // namespace pulsedeck
