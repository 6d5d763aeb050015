#include "updates/UpdateNotifications.h"

#include "model/TextFormat.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Workspace.h"

namespace pulsedeck {

void UpdateNotifications::setCenter(std::shared_ptr<sys::NotificationCenter> center) {
    center_ = std::move(center);
    if (center_)
        center_->defaultActionHandler = [this, alive = std::weak_ptr<int>(alive_)](
                                            const foundation::PropertyDictionary& userInfo) {
            if (!alive.expired())
                handleResponse(userInfo);
        };
}

std::string UpdateNotifications::identifier(const AppRelease& release) {
    return "pulsedeck-update-" + std::to_string(release.build);
}

sys::NotificationRequest UpdateNotifications::makeContent(const AppRelease& release,
                                                          AppLanguage language,
                                                          const std::string& currentVersion) {
    const std::string arguments[] = {release.version, currentVersion};
    return {identifier(release),
            text(Copy::updateAvailable, language),
            formatText(text(Copy::updateAvailableMessage, language), arguments),
            {{"version", release.version},
             {"build", release.build},
             {"url", release.url},
             {"installerURL", release.downloadURL()}}};
}

void UpdateNotifications::post(const AppRelease& release, AppLanguage language,
                               const std::string& currentVersion, std::function<void()> fallback) {
    if (!release.isAcceptable())
        return;
    auto fallBack = [fallback] {
        if (fallback)
            dispatch::mainQueue().async(fallback);
    };
    if (!center_) {
        fallBack();
        return;
    }
    center_->getAuthorization([this, alive = std::weak_ptr<int>(alive_),
                               request = makeContent(release, language, currentVersion),
                               fallBack](sys::NotificationAuthorization status) mutable {
        if (alive.expired())
            return;
        if (status != sys::NotificationAuthorization::authorized &&
            status != sys::NotificationAuthorization::provisional) {
            fallBack();
            return;
        }
        center_->add(std::move(request), [fallBack](std::optional<std::string> error) {
            if (error)
                fallBack();
        });
    });
}

std::optional<AppRelease>
UpdateNotifications::releaseFrom(const foundation::PropertyDictionary& userInfo) {
    const auto entry = [&](const char* key) -> const foundation::PropertyValue* {
        const auto found = userInfo.find(key);
        return found == userInfo.end() ? nullptr : &found->second;
    };
    const auto* version = entry("version");
    const auto* build = entry("build");
    const auto* url = entry("url");
    if (!version || !version->isString() || !build || !build->isInteger() || !url ||
        !url->isString())
        return std::nullopt;
    AppRelease release;
    release.version = *version->asString();
    release.build = *build->asInteger();
    release.url = *url->asString();
    if (const auto* installer = entry("installerURL"); installer && installer->isString())
        release.installerURL = *installer->asString();
    return release;
}

void UpdateNotifications::handleResponse(const foundation::PropertyDictionary& userInfo) {
    const auto release = releaseFrom(userInfo);
    if (!release || !release->isAcceptable())
        return;
    dispatch::mainQueue().async(
        [this, alive = std::weak_ptr<int>(alive_), url = release->downloadURL()] {
            if (!alive.expired())
                open(url);
        });
}

void UpdateNotifications::open(const std::string& url) {
    if (openRelease)
        openRelease(url);
    else
        ui::Workspace::shared().openURL(url);
}

} // namespace pulsedeck
