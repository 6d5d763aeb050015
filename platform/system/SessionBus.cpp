#include "platform/system/SessionBus.h"

#include <algorithm>
#include <dbus/dbus.h>
#include <poll.h>

namespace sys {

namespace {

DBusHandlerResult busFilter(DBusConnection*, DBusMessage* message, void* self) {
    return static_cast<SessionBus*>(self)->takeSignal(message)
               ? DBUS_HANDLER_RESULT_HANDLED
               : DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
}

} // namespace

struct SessionBus::Pending {
    std::uint64_t serial;
    DBusPendingCall* call;
    std::function<void(DBusMessage*)> completion;
};

std::unique_ptr<SessionBus> SessionBus::connect(dispatch::RunLoop& loop,
                                                const std::string& address) {
    DBusError error;
    dbus_error_init(&error);
    // Private, so that libdbus keeps no process-wide connection of its own to this address.
    DBusConnection* connection = dbus_connection_open_private(address.c_str(), &error);
    dbus_error_free(&error);
    if (!connection)
        return nullptr;
    dbus_connection_set_exit_on_disconnect(connection, false);
    std::unique_ptr<SessionBus> bus(new SessionBus(loop, connection));
    int fd = -1;
    if (!dbus_connection_get_unix_fd(connection, &fd))
        return nullptr;
    dbus_connection_add_filter(connection, &busFilter, bus.get(), nullptr);
    // The greeting must be the first message; its reply carries nothing we need.
    bus->call(dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS,
                                           "Hello"),
              5, [](DBusMessage*) {});
    bus->watch();
    return bus;
}

SessionBus::SessionBus(dispatch::RunLoop& loop, DBusConnection* connection)
    : loop_(loop), connection_(connection) {}

SessionBus::~SessionBus() {
    source_.reset();
    for (auto& pending : pending_) {
        dbus_pending_call_cancel(pending->call);
        dbus_pending_call_unref(pending->call);
    }
    pending_.clear();
    dbus_connection_remove_filter(connection_, &busFilter, this);
    dbus_connection_close(connection_);
    dbus_connection_unref(connection_);
}

bool SessionBus::isConnected() const {
    return dbus_connection_get_is_connected(connection_);
}

void SessionBus::watch() {
    int fd = -1;
    if (!dbus_connection_get_unix_fd(connection_, &fd))
        return;
    watchingOutput_ = dbus_connection_has_messages_to_send(connection_);
    source_ =
        loop_.addSource(fd, short(POLLIN | (watchingOutput_ ? POLLOUT : 0)), [this](short revents) {
            if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
                source_.reset();
                failAll();
                return;
            }
            pump();
        });
}

void SessionBus::pump() {
    dbus_connection_read_write(connection_, 0);
    while (dbus_connection_dispatch(connection_) == DBUS_DISPATCH_DATA_REMAINS) {
    }
    if (!isConnected()) {
        source_.reset();
        failAll();
        return;
    }
    // Output the socket could not take yet waits for the socket to be writable.
    if (bool(dbus_connection_has_messages_to_send(connection_)) != watchingOutput_)
        watch();
}

void SessionBus::call(DBusMessage* message, double timeLimit,
                      std::function<void(DBusMessage*)> completion) {
    DBusPendingCall* call = nullptr;
    // libdbus's own time-outs need the loop to drive them; the loop's timer below ends the call
    // instead, and libdbus's limit only frees its records after that.
    const int busLimit = int(timeLimit * 1000) + 1000;
    const bool sent = message && isConnected() &&
                      dbus_connection_send_with_reply(connection_, message, &call, busLimit) &&
                      call;
    if (message)
        dbus_message_unref(message);
    if (!sent) {
        if (call)
            dbus_pending_call_unref(call);
        loop_.queue().async([completion = std::move(completion)] { completion(nullptr); });
        return;
    }
    const std::uint64_t serial = nextSerial_++;
    pending_.push_back(std::make_unique<Pending>(Pending{serial, call, std::move(completion)}));
    struct Notice {
        SessionBus* bus;
        std::weak_ptr<int> alive;
        std::uint64_t serial;
    };
    dbus_pending_call_set_notify(
        call,
        [](DBusPendingCall* answered, void* data) {
            auto* notice = static_cast<Notice*>(data);
            if (notice->alive.expired())
                return;
            DBusMessage* reply = dbus_pending_call_steal_reply(answered);
            notice->bus->finish(notice->serial, reply);
            if (reply)
                dbus_message_unref(reply);
        },
        new Notice{this, alive_, serial}, [](void* data) { delete static_cast<Notice*>(data); });
    loop_.queue().asyncAfter(timeLimit, [this, alive = std::weak_ptr<int>(alive_), serial] {
        if (!alive.expired())
            finish(serial, nullptr);
    });
    // Sent when the socket takes it; the call may come from inside a dispatch, which must not
    // dispatch again.
    if (!watchingOutput_)
        watch();
}

void SessionBus::finish(std::uint64_t serial, DBusMessage* reply) {
    auto found = std::find_if(pending_.begin(), pending_.end(),
                              [&](const auto& pending) { return pending->serial == serial; });
    if (found == pending_.end())
        return;
    std::unique_ptr<Pending> pending = std::move(*found);
    pending_.erase(found);
    if (!reply)
        dbus_pending_call_cancel(pending->call);
    dbus_pending_call_unref(pending->call);
    pending->completion(reply);
}

void SessionBus::failAll() {
    while (!pending_.empty())
        finish(pending_.front()->serial, nullptr);
}

void SessionBus::addSignalHandler(const std::string& matchRule,
                                  std::function<void(DBusMessage*)> handler) {
    signalHandlers_.push_back(std::move(handler));
    // Without an error to fill, the rule is only sent, not waited for.
    dbus_bus_add_match(connection_, matchRule.c_str(), nullptr);
    if (!watchingOutput_)
        watch();
}

bool SessionBus::takeSignal(DBusMessage* message) {
    if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_SIGNAL)
        return false;
    for (const auto& handler : std::vector(signalHandlers_))
        handler(message);
    return false;
}

} // namespace sys
