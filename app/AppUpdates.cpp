#include "app/AppUpdates.h"

#include "detail/DetailView.h"
#include "model/LinkOpening.h"
#include "model/SafeWebURL.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Application.h"
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

AppUpdates::AppUpdates(std::shared_ptr<const SettingsStore> settings, dispatch::RunLoop& loop,
                       ManifestFetch fetch, std::shared_ptr<sys::NotificationCenter> center)
    : settings_(std::move(settings)), loop_(loop), fetch_(std::move(fetch)) {
    notifications_.setCenter(std::move(center));
    notifications_.openRelease = [settings = settings_](const std::string& url) {
        openLinkTellingOfFailure(url, settings->language());
    };
}

UpdateController& AppUpdates::checker() {
    if (checker_)
        return *checker_;
    const auto bundle = foundation::Bundle::main();
    UpdateController::Configuration configuration;
    configuration.defaults = &settings_->defaults();
    configuration.version = bundle.shortVersion().empty() ? "0" : bundle.shortVersion();
    configuration.build = buildNumber(bundle.buildVersion().value_or(""));
    configuration.source = safeWebURL(std::string(productWebsite) + std::string(manifestPath));
    configuration.systemVersion = systemVersionText();
    configuration.fetch = fetch_;
    configuration.loop = &loop_;
    checker_ = UpdateController::create(std::move(configuration));
    const std::weak_ptr<AppUpdates> weak = weak_from_this();
    checker_->present = [weak](const UpdateOutcome& outcome) {
        if (auto self = weak.lock())
            self->present(outcome);
    };
    checker_->notify = [weak, version = checker_->version()](const AppRelease& release) {
        if (auto self = weak.lock())
            self->notify(release, version);
    };
    return *checker_;
}

void AppUpdates::install(DetailView& details, Hooks hooks) {
    hooks_ = std::move(hooks);
    const std::weak_ptr<AppUpdates> weak = weak_from_this();
    details.checkUpdatesAction = [weak] {
        if (auto self = weak.lock())
            self->checker().check(true);
    };
    details.updateFrequencyAction = [weak](UpdateFrequency frequency) {
        auto self = weak.lock();
        if (!self)
            return;
        // Checks that may find a release ask to announce it; the answer only matters when one
        // is found.
        if (frequency != UpdateFrequency::never && self->notifications_.center())
            self->notifications_.center()->requestAuthorization([](bool) {});
        self->checker().setFrequency(frequency);
        if (self->hooks_.frequencyChanged)
            self->hooks_.frequencyChanged();
    };
}

void AppUpdates::present(const UpdateOutcome& outcome) {
    if (hooks_.closeDetails)
        hooks_.closeDetails();
    const std::string shortVersion = foundation::Bundle::main().shortVersion();
    auto alert = makeUpdateAlert(outcome, settings_->language(),
                                 shortVersion.empty() ? std::string("—") : shortVersion);
    ui::Application::shared().activateIgnoringOtherApps(true);
    if (alertAnswerOpensDownload(outcome, alert->runModal()))
        openLinkTellingOfFailure(outcome.release->downloadURL(), settings_->language());
}

void AppUpdates::notify(const AppRelease& release, const std::string& runningVersion) {
    const std::weak_ptr<AppUpdates> weak = weak_from_this();
    notifications_.post(release, settings_->language(), runningVersion, [weak, release] {
        if (auto self = weak.lock())
            if (self->checker().frequency() != UpdateFrequency::never)
                self->present(UpdateOutcome::available(release));
    });
}

} // namespace pulsedeck
