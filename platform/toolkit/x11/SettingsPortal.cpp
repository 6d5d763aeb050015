#include "platform/toolkit/x11/SettingsPortal.h"

#include "platform/foundation/SessionBusAddress.h"

#include <cstring>
#include <dbus/dbus.h>
#include <optional>
#include <poll.h>
#include <string>

namespace ui::x11 {

namespace {

constexpr const char* portalService = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* settingsInterface = "org.freedesktop.portal.Settings";
constexpr const char* appearanceNamespace = "org.freedesktop.appearance";
constexpr const char* colorSchemeKey = "color-scheme";
constexpr const char* contrastKey = "contrast";
constexpr const char* interfaceNamespace = "org.gnome.desktop.interface";
constexpr const char* animationsKey = "enable-animations";
// The portal's colour-scheme values.
constexpr unsigned prefersDarkScheme = 1;
constexpr unsigned prefersLightScheme = 2;
constexpr unsigned higherContrastValue = 1;

// Steps into variants (the portal's Read wraps its value in two) until a plain value.
bool enterValue(DBusMessageIter& iter) {
    while (dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_VARIANT) {
        DBusMessageIter inner;
        dbus_message_iter_recurse(&iter, &inner);
        iter = inner;
    }
    return dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_INVALID;
}

DBusHandlerResult portalFilter(DBusConnection*, DBusMessage* message, void* self) {
    return static_cast<SettingsPortal*>(self)->takeSignal(message)
               ? DBUS_HANDLER_RESULT_HANDLED
               : DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
}

struct PendingRead {
    SettingsPortal* portal;
    std::string nameSpace;
    std::string key;
};

} // namespace

std::unique_ptr<SettingsPortal> SettingsPortal::connect(dispatch::RunLoop& loop,
                                                        std::function<void()> changed) {
    const auto address = foundation::sessionBusAddress();
    if (!address)
        return nullptr;
    // Opened by address rather than as "the session bus": libdbus would remember the first
    // address it saw for the life of the process. Opening only connects the socket; nothing is
    // read from the bus until the loop finds its descriptor ready.
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_connection_open_private(address->c_str(), &error);
    if (!connection) {
        dbus_error_free(&error);
        return nullptr;
    }
    dbus_connection_set_exit_on_disconnect(connection, false);
    std::unique_ptr<SettingsPortal> portal(
        new SettingsPortal(connection, loop, std::move(changed)));
    SettingsPortal* self = portal.get();
    auto add = [](DBusWatch* watch, void* data) -> dbus_bool_t {
        static_cast<SettingsPortal*>(data)->watch(watch);
        return true;
    };
    auto remove = [](DBusWatch* watch, void* data) {
        static_cast<SettingsPortal*>(data)->watches_.erase(watch);
    };
    auto toggled = [](DBusWatch* watch, void* data) {
        static_cast<SettingsPortal*>(data)->watch(watch);
    };
    if (!dbus_connection_set_watch_functions(connection, add, remove, toggled, self, nullptr))
        return nullptr;
    dbus_connection_add_filter(connection, &portalFilter, self, nullptr);

    // The bus's Hello (what dbus_bus_register sends, without waiting for its answer); the bus
    // takes the messages after it in order.
    DBusMessage* hello = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                                      DBUS_INTERFACE_DBUS, "Hello");
    if (!hello)
        return nullptr;
    dbus_connection_send(connection, hello, nullptr);
    dbus_message_unref(hello);
    // The bus routes the signal only from the name's owner (never while nobody owns it); a
    // client can still send one to us directly, which takeSignal drops.
    const std::string rule = std::string("type='signal',sender='") + portalService +
                             "',interface='" + settingsInterface +
                             "',member='SettingChanged',path='" + portalPath + "'";
    const std::string ownerRule = std::string("type='signal',sender='") + DBUS_SERVICE_DBUS +
                                  "',interface='" + DBUS_INTERFACE_DBUS +
                                  "',member='NameOwnerChanged',arg0='" + portalService + "'";
    // Without an error to fill, adding a match does not wait for the bus's answer.
    dbus_bus_add_match(connection, rule.c_str(), nullptr);
    dbus_bus_add_match(connection, ownerRule.c_str(), nullptr);
    portal->requestAll();
    return portal;
}

SettingsPortal::SettingsPortal(DBusConnection* connection, dispatch::RunLoop& loop,
                               std::function<void()> changed)
    : connection_(connection), changed_(std::move(changed)), loop_(loop) {}

SettingsPortal::~SettingsPortal() {
    dbus_connection_set_watch_functions(connection_, nullptr, nullptr, nullptr, nullptr, nullptr);
    watches_.clear();
    dbus_connection_remove_filter(connection_, &portalFilter, this);
    dbus_connection_close(connection_);
    dbus_connection_unref(connection_);
}

void SettingsPortal::watch(DBusWatch* watch) {
    watches_.erase(watch);
    if (!dbus_watch_get_enabled(watch))
        return;
    const unsigned flags = dbus_watch_get_flags(watch);
    short events = 0;
    if (flags & DBUS_WATCH_READABLE)
        events |= POLLIN;
    if (flags & DBUS_WATCH_WRITABLE)
        events |= POLLOUT;
    watches_[watch] =
        loop_.addSource(dbus_watch_get_unix_fd(watch), events, [this, watch](short revents) {
            unsigned ready = 0;
            if (revents & POLLIN)
                ready |= DBUS_WATCH_READABLE;
            if (revents & POLLOUT)
                ready |= DBUS_WATCH_WRITABLE;
            if (revents & POLLERR)
                ready |= DBUS_WATCH_ERROR;
            if (revents & (POLLHUP | POLLNVAL))
                ready |= DBUS_WATCH_HANGUP;
            // A bus that went away keeps its descriptor in error; libdbus then removes the watch.
            if (revents & (POLLHUP | POLLERR | POLLNVAL))
                watches_.erase(watch);
            dbus_watch_handle(watch, ready);
            dispatch();
        });
}

void SettingsPortal::requestAll() {
    request(appearanceNamespace, colorSchemeKey);
    request(appearanceNamespace, contrastKey);
    request(interfaceNamespace, animationsKey);
}

void SettingsPortal::request(const char* nameSpace, const char* key) {
    DBusMessage* message =
        dbus_message_new_method_call(portalService, portalPath, settingsInterface, "Read");
    if (!message)
        return;
    dbus_message_append_args(message, DBUS_TYPE_STRING, &nameSpace, DBUS_TYPE_STRING, &key,
                             DBUS_TYPE_INVALID);
    DBusPendingCall* pending = nullptr;
    // A portal that never answers must not hold anything up; the reply just never comes.
    constexpr int timeoutMilliseconds = 5000;
    if (dbus_connection_send_with_reply(connection_, message, &pending, timeoutMilliseconds) &&
        pending) {
        auto* read = new PendingRead{this, nameSpace, key};
        dbus_pending_call_set_notify(
            pending,
            [](DBusPendingCall* call, void* data) {
                auto* read = static_cast<PendingRead*>(data);
                if (DBusMessage* reply = dbus_pending_call_steal_reply(call)) {
                    const char* sender = dbus_message_get_sender(reply);
                    if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN && sender) {
                        // The bus writes the sender: whoever answered owns the name.
                        read->portal->owner_ = sender;
                        read->portal->takeValue(read->nameSpace.c_str(), read->key.c_str(), reply,
                                                false);
                    }
                    dbus_message_unref(reply);
                }
            },
            read, [](void* data) { delete static_cast<PendingRead*>(data); });
        dbus_pending_call_unref(pending);
    }
    dbus_message_unref(message);
}

void SettingsPortal::takeValue(const char* nameSpace, const char* key, DBusMessage* message,
                               bool fromSignal) {
    DBusMessageIter iter;
    if (!dbus_message_iter_init(message, &iter))
        return;
    // A signal carries the namespace and key before the value.
    if (fromSignal && (!dbus_message_iter_next(&iter) || !dbus_message_iter_next(&iter)))
        return;
    if (!enterValue(iter))
        return;
    const int type = dbus_message_iter_get_arg_type(&iter);
    bool updated = false;
    if (std::strcmp(nameSpace, appearanceNamespace) == 0 && std::strcmp(key, colorSchemeKey) == 0 &&
        type == DBUS_TYPE_UINT32) {
        dbus_uint32_t scheme = 0;
        dbus_message_iter_get_basic(&iter, &scheme);
        std::optional<bool> dark;
        if (scheme == prefersDarkScheme)
            dark = true;
        else if (scheme == prefersLightScheme)
            dark = false;
        updated = dark != prefersDark_;
        prefersDark_ = dark;
    } else if (std::strcmp(nameSpace, appearanceNamespace) == 0 &&
               std::strcmp(key, contrastKey) == 0 && type == DBUS_TYPE_UINT32) {
        dbus_uint32_t contrast = 0;
        dbus_message_iter_get_basic(&iter, &contrast);
        const bool higher = contrast == higherContrastValue;
        updated = higherContrast_ != higher;
        higherContrast_ = higher;
    } else if (std::strcmp(nameSpace, interfaceNamespace) == 0 &&
               std::strcmp(key, animationsKey) == 0 && type == DBUS_TYPE_BOOLEAN) {
        dbus_bool_t enabled = true;
        dbus_message_iter_get_basic(&iter, &enabled);
        updated = animationsEnabled_ != bool(enabled);
        animationsEnabled_ = bool(enabled);
    }
    if (!updated || !changed_ || (changeNotice_ && changeNotice_->isValid()))
        return;
    changeNotice_ = std::make_unique<dispatch::Timer>(
        changeCoalescing, false,
        [this] {
            if (changed_)
                changed_();
        },
        dispatch::commonModes, loop_);
}

void SettingsPortal::takeOwnerChange(DBusMessage* message) {
    const char* name = nullptr;
    const char* previous = nullptr;
    const char* current = nullptr;
    if (!dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING,
                               &previous, DBUS_TYPE_STRING, &current, DBUS_TYPE_INVALID) ||
        std::strcmp(name, portalService) != 0)
        return;
    owner_ = current;
    // A portal that starts (or restarts) may hold other values than the last one told.
    if (!owner_.empty())
        requestAll();
}

bool SettingsPortal::takeSignal(DBusMessage* message) {
    const char* sender = dbus_message_get_sender(message);
    if (dbus_message_is_signal(message, DBUS_INTERFACE_DBUS, "NameOwnerChanged")) {
        // Only the bus itself speaks for its names.
        if (sender && std::strcmp(sender, DBUS_SERVICE_DBUS) == 0)
            takeOwnerChange(message);
        return true;
    }
    if (!dbus_message_is_signal(message, settingsInterface, "SettingChanged"))
        return false;
    if (!sender || owner_.empty() || owner_ != sender)
        return true;
    const char* nameSpace = nullptr;
    const char* key = nullptr;
    DBusMessageIter iter;
    if (dbus_message_iter_init(message, &iter) &&
        dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_STRING) {
        dbus_message_iter_get_basic(&iter, &nameSpace);
        if (dbus_message_iter_next(&iter) &&
            dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_STRING) {
            dbus_message_iter_get_basic(&iter, &key);
            takeValue(nameSpace, key, message, true);
        }
    }
    return true;
}

void SettingsPortal::dispatch() {
    while (dbus_connection_dispatch(connection_) == DBUS_DISPATCH_DATA_REMAINS) {
    }
}

} // namespace ui::x11
