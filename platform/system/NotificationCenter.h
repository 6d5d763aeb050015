#pragma once

#include "platform/foundation/PropertyValue.h"

#include <functional>
#include <optional>
#include <string>

namespace sys {

// Whether the application may post notifications: the five answers callers tell apart.
enum class NotificationAuthorization { notDetermined, denied, authorized, provisional, ephemeral };

// One notification to show at once: an identifier (a second request with the same identifier
// replaces the first), its texts and the user information a click hands back.
struct NotificationRequest {
    std::string identifier;
    std::string title;
    std::string body;
    foundation::PropertyDictionary userInfo;
};

// The desktop's notification centre as the application sees it: settings, authorisation,
// posting, and the clicks on what it posted. Completions and clicks come on the main thread.
class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;

    virtual void getAuthorization(std::function<void(NotificationAuthorization)> completion) = 0;
    // Asks to show alerts; the answer says whether they may be shown.
    virtual void requestAuthorization(std::function<void(bool granted)> completion) = 0;
    // Shows the request; the completion gets an error text when it could not be shown.
    virtual void add(NotificationRequest request,
                     std::function<void(std::optional<std::string> error)> completion) = 0;

    // Called when the user clicks a notification this centre posted (its default action), with
    // the request's user information.
    std::function<void(const foundation::PropertyDictionary& userInfo)> defaultActionHandler;
};

} // namespace sys
