#pragma once

#include "model/Localization.h"
#include "platform/system/NotificationCenter.h"
#include "updates/AppRelease.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pulsedeck {

// Announces an available release as a desktop notification, and opens its download when the
// notification is clicked and the release still passes the acceptance rule. Without a centre, or
// while the centre is not authorised or fails to post, the caller's fallback (the alert) shows
// instead. Main thread only.
class UpdateNotifications {
public:
    UpdateNotifications() = default;
    UpdateNotifications(const UpdateNotifications&) = delete;
    UpdateNotifications& operator=(const UpdateNotifications&) = delete;

    // Takes the centre and becomes its click handler at once.
    void setCenter(std::shared_ptr<sys::NotificationCenter> center);
    const std::shared_ptr<sys::NotificationCenter>& center() const { return center_; }

    // "pulsedeck-update-<build>": one notification per build, replaced when posted again.
    static std::string identifier(const AppRelease& release);
    // Title `updateAvailable`, body `updateAvailableMessage` with the release's and the running
    // version, and the user information a click rebuilds the release from: "version", "build"
    // (an integer), "url" and "installerURL" (the download address).
    static sys::NotificationRequest makeContent(const AppRelease& release, AppLanguage language,
                                                const std::string& currentVersion);

    // Posts an acceptable release when the centre allows it; otherwise, or when posting fails,
    // runs the fallback on the main queue. A release that is not acceptable is dropped.
    void post(const AppRelease& release, AppLanguage language, const std::string& currentVersion,
              std::function<void()> fallback);

    // A click: the release rebuilt from the user information, opened only when complete, well
    // typed and acceptable.
    void handleResponse(const foundation::PropertyDictionary& userInfo);
    static std::optional<AppRelease> releaseFrom(const foundation::PropertyDictionary& userInfo);

    // Opens a download address; the workspace by default, on the main queue.
    std::function<void(const std::string& url)> openRelease;

private:
    void open(const std::string& url);

    std::shared_ptr<sys::NotificationCenter> center_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace pulsedeck
