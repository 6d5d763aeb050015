#include "platform/system/DesktopNotificationCenter.h"

#include <algorithm>
#include <cstring>
#include <dbus/dbus.h>

namespace sys {

namespace {

constexpr const char* service = "org.freedesktop.Notifications";
constexpr const char* objectPath = "/org/freedesktop/Notifications";
constexpr const char* interface = "org.freedesktop.Notifications";
constexpr const char* defaultAction = "default";
constexpr dbus_int32_t serverChoosesTimeout = -1;

DBusMessage* newCall(const char* method) {
    return dbus_message_new_method_call(service, objectPath, interface, method);
}

bool isValidText(const std::string& text) {
    return dbus_validate_utf8(text.c_str(), nullptr) && text.find('\0') == std::string::npos;
}

void appendTextHint(DBusMessageIter& hints, const char* key, const std::string& text) {
    DBusMessageIter entry, variant;
    const char* value = text.c_str();
    dbus_message_iter_open_container(&hints, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, DBUS_TYPE_STRING_AS_STRING,
                                     &variant);
    dbus_message_iter_append_basic(&variant, DBUS_TYPE_STRING, &value);
    dbus_message_iter_close_container(&entry, &variant);
    dbus_message_iter_close_container(&hints, &entry);
}

} // namespace

DesktopNotificationCenter::DesktopNotificationCenter(dispatch::RunLoop& loop,
                                                     std::optional<std::string> busAddress,
                                                     NotificationSender sender)
    : loop_(loop), address_(std::move(busAddress)), sender_(std::move(sender)) {}

DesktopNotificationCenter::~DesktopNotificationCenter() = default;

std::string DesktopNotificationCenter::escapeMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

SessionBus* DesktopNotificationCenter::bus() {
    if (bus_ && !bus_->isConnected())
        bus_.reset();
    // One attempt per connection: a bus that went away is tried again on the next question.
    if (!bus_ && address_) {
        bus_ = SessionBus::connect(loop_, *address_);
        if (bus_) {
            std::weak_ptr<int> alive = alive_;
            bus_->addSignalHandler(std::string("type='signal',interface='") + interface +
                                       "',member='ActionInvoked'",
                                   [this, alive](DBusMessage* message) {
                                       if (!alive.expired())
                                           takeSignal(message);
                                   });
        }
    }
    return bus_.get();
}

void DesktopNotificationCenter::withCapabilities(
    std::function<void(const std::optional<std::vector<std::string>>&)> done) {
    if (capabilities_) {
        loop_.queue().async(
            [done = std::move(done), capabilities = capabilities_] { done(capabilities); });
        return;
    }
    SessionBus* connection = bus();
    if (!connection) {
        loop_.queue().async([done = std::move(done)] { done(std::nullopt); });
        return;
    }
    connection->call(
        newCall("GetCapabilities"), callTimeLimit,
        [this, alive = std::weak_ptr<int>(alive_), done = std::move(done)](DBusMessage* reply) {
            std::optional<std::vector<std::string>> found;
            DBusMessageIter iter, items;
            if (reply && dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN &&
                dbus_message_iter_init(reply, &iter) &&
                dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_ARRAY &&
                dbus_message_iter_get_element_type(&iter) == DBUS_TYPE_STRING) {
                found.emplace();
                dbus_message_iter_recurse(&iter, &items);
                while (dbus_message_iter_get_arg_type(&items) == DBUS_TYPE_STRING) {
                    const char* capability = nullptr;
                    dbus_message_iter_get_basic(&items, &capability);
                    found->emplace_back(capability);
                    dbus_message_iter_next(&items);
                }
            }
            if (!alive.expired() && found)
                capabilities_ = found;
            done(found);
        });
}

void DesktopNotificationCenter::getAuthorization(
    std::function<void(NotificationAuthorization)> completion) {
    withCapabilities([completion = std::move(completion)](
                         const std::optional<std::vector<std::string>>& capabilities) {
        if (!capabilities)
            completion(NotificationAuthorization::notDetermined);
        else if (std::find(capabilities->begin(), capabilities->end(), "actions") ==
                 capabilities->end())
            completion(NotificationAuthorization::denied);
        else
            completion(NotificationAuthorization::authorized);
    });
}

void DesktopNotificationCenter::requestAuthorization(std::function<void(bool)> completion) {
    getAuthorization([completion = std::move(completion)](NotificationAuthorization status) {
        completion(status == NotificationAuthorization::authorized);
    });
}

void DesktopNotificationCenter::add(NotificationRequest request,
                                    std::function<void(std::optional<std::string>)> completion) {
    withCapabilities([this, alive = std::weak_ptr<int>(alive_), request = std::move(request),
                      completion = std::move(completion)](
                         const std::optional<std::vector<std::string>>& capabilities) mutable {
        SessionBus* connection = alive.expired() ? nullptr : bus();
        if (!capabilities || !connection) {
            completion("the notification service did not answer");
            return;
        }
        const bool markup = std::find(capabilities->begin(), capabilities->end(), "body-markup") !=
                            capabilities->end();
        const std::string body = markup ? escapeMarkup(request.body) : request.body;
        if (!isValidText(request.title) || !isValidText(body) || !isValidText(sender_.name) ||
            !isValidText(sender_.icon) || !isValidText(sender_.desktopEntry)) {
            completion("the notification's text is not valid UTF-8");
            return;
        }
        const auto known = idsByRequest_.find(request.identifier);
        const dbus_uint32_t replaces = known == idsByRequest_.end() ? 0 : known->second;

        DBusMessage* message = newCall("Notify");
        DBusMessageIter iter, actions, hints;
        dbus_message_iter_init_append(message, &iter);
        const char* application = sender_.name.c_str();
        const char* icon = sender_.icon.c_str();
        const char* title = request.title.c_str();
        const char* text = body.c_str();
        const char* action = defaultAction;
        dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &application);
        dbus_message_iter_append_basic(&iter, DBUS_TYPE_UINT32, &replaces);
        dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &icon);
        dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &title);
        dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &text);
        dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "s", &actions);
        dbus_message_iter_append_basic(&actions, DBUS_TYPE_STRING, &action);
        dbus_message_iter_append_basic(&actions, DBUS_TYPE_STRING, &title);
        dbus_message_iter_close_container(&iter, &actions);
        dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "{sv}", &hints);
        if (!sender_.desktopEntry.empty())
            appendTextHint(hints, "desktop-entry", sender_.desktopEntry);
        dbus_message_iter_close_container(&iter, &hints);
        dbus_message_iter_append_basic(&iter, DBUS_TYPE_INT32, &serverChoosesTimeout);

        connection->call(
            message, callTimeLimit,
            [this, alive, identifier = request.identifier, userInfo = std::move(request.userInfo),
             completion = std::move(completion)](DBusMessage* reply) mutable {
                dbus_uint32_t id = 0;
                if (!reply || dbus_message_get_type(reply) != DBUS_MESSAGE_TYPE_METHOD_RETURN ||
                    !dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &id,
                                           DBUS_TYPE_INVALID)) {
                    const char* name = reply ? dbus_message_get_error_name(reply) : nullptr;
                    completion(name ? std::string(name)
                                    : std::string("the notification service did not answer"));
                    return;
                }
                if (!alive.expired()) {
                    if (const char* sender = dbus_message_get_sender(reply))
                        serviceName_ = sender;
                    if (auto previous = idsByRequest_.find(identifier);
                        previous != idsByRequest_.end() && previous->second != id)
                        userInfoById_.erase(previous->second);
                    idsByRequest_[identifier] = id;
                    userInfoById_[id] = std::move(userInfo);
                }
                completion(std::nullopt);
            });
    });
}

void DesktopNotificationCenter::takeSignal(DBusMessage* message) {
    if (!dbus_message_is_signal(message, interface, "ActionInvoked"))
        return;
    // Only the service that took our notifications speaks for them.
    const char* sender = dbus_message_get_sender(message);
    if (!sender || serviceName_ != sender)
        return;
    dbus_uint32_t id = 0;
    const char* action = nullptr;
    if (!dbus_message_get_args(message, nullptr, DBUS_TYPE_UINT32, &id, DBUS_TYPE_STRING, &action,
                               DBUS_TYPE_INVALID) ||
        std::strcmp(action, defaultAction) != 0)
        return;
    const auto found = userInfoById_.find(id);
    if (found == userInfoById_.end() || !defaultActionHandler)
        return;
    const foundation::PropertyDictionary userInfo = found->second;
    defaultActionHandler(userInfo);
}

} // namespace sys
