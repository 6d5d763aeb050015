#include "app/AppDelegate.h"
#include "model/SafeWebURL.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/ProcessInfo.h"
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
    return UpdateController::create(std::move(configuration));
}

void AppDelegate::installUpdateActions() {
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    details->checkUpdatesAction = [weak] {
        if (auto self = weak.lock())
            self->updates().check(true);
    };
    details->updateFrequencyAction = [weak](UpdateFrequency frequency) {
        if (auto self = weak.lock()) {
            self->updates().setFrequency(frequency);
            self->refreshStatus(false);
        }
    };
}

} // namespace pulsedeck
