#pragma once

#include "platform/foundation/SessionBusAddress.h"
#include "platform/system/NotificationCenter.h"
#include "platform/system/SessionBus.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sys {

// Who the notifications come from, as the service shows them.
struct NotificationSender {
    std::string name = "Pulsedeck";
    // The app_icon: an icon theme's name or a file:// URI; empty for none.
    std::string icon;
    // The desktop entry's name without ".desktop" (the "desktop-entry" hint), through which a
    // service finds the application's own icon and settings; empty for none.
    std::string desktopEntry;
};

// The notification centre over the session bus's notification service
// (org.freedesktop.Notifications). Nothing connects until the first question; every call is
// bounded by a time limit and none blocks the loop.
//
// Authorisation: the service must be there and offer actions (a click must be able to reach us),
// else it is "not determined" (no service, no answer) or "denied" (no actions), and the caller's
// fallback shows instead. Posting sends Notify with a "default" action; a request identifier seen
// before replaces that notification (replaces-id). The user information stays in the process,
// keyed by the service's notification id, and the ActionInvoked signal for "default" hands it to
// the click handler, so only notifications posted by this run can be clicked through. Body text
// is escaped when the service renders markup. Main thread only.
class DesktopNotificationCenter final : public NotificationCenter {
public:
    // The bus at the address (the session bus by default); none: never any service.
    explicit DesktopNotificationCenter(
        dispatch::RunLoop& loop,
        std::optional<std::string> busAddress = foundation::sessionBusAddress(),
        NotificationSender sender = {});
    ~DesktopNotificationCenter() override;

    void getAuthorization(std::function<void(NotificationAuthorization)> completion) override;
    void requestAuthorization(std::function<void(bool granted)> completion) override;
    void add(NotificationRequest request,
             std::function<void(std::optional<std::string> error)> completion) override;

    // "&", "<" and ">" as the markup's entities.
    static std::string escapeMarkup(std::string_view text);

    static constexpr double callTimeLimit = 5;

private:
    SessionBus* bus();
    void withCapabilities(std::function<void(const std::optional<std::vector<std::string>>&)> done);
    void takeSignal(DBusMessage* message);

    dispatch::RunLoop& loop_;
    std::optional<std::string> address_;
    NotificationSender sender_;
    std::unique_ptr<SessionBus> bus_;
    std::optional<std::vector<std::string>> capabilities_;
    // The unique bus name of the service that took our notifications.
    std::string serviceName_;
    std::map<std::string, std::uint32_t> idsByRequest_;
    std::map<std::uint32_t, foundation::PropertyDictionary> userInfoById_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace sys
