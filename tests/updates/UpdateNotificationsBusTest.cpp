#include "platform/system/DesktopNotificationCenter.h"
#include "support/RunUntil.h"
#include "updates/UpdateNotifications.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <dbus/dbus.h>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace pulsedeck {
namespace {

using sys::DesktopNotificationCenter;
using sys::NotificationAuthorization;
using sys::NotificationRequest;

// A session bus of the test's own: dbus-daemon with the standard session configuration, stopped
// when the object goes.
class PrivateBus {
public:
    PrivateBus() {
        FILE* output = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!output)
            return;
        char line[512] = {};
        if (std::fgets(line, sizeof line, output)) {
            address_ = line;
            address_.erase(address_.find_last_not_of("\n") + 1);
        }
        if (std::fgets(line, sizeof line, output))
            pid_ = std::atoi(line);
        pclose(output);
    }
    ~PrivateBus() {
        if (pid_ > 0)
            kill(pid_, SIGTERM);
    }
    const std::string& address() const { return address_; }

private:
    std::string address_;
    pid_t pid_ = 0;
};

// What a notification server was asked to show.
struct NotifyCall {
    std::string application;
    std::uint32_t replaces = 0;
    std::string icon;
    std::string summary;
    std::string body;
    std::vector<std::string> actions;
    // The text hints, by name.
    std::map<std::string, std::string> hints;
    std::int32_t timeout = 0;
};

// A small notification server on its own connection and thread: it owns the service's name,
// offers actions and markup, records every Notify and answers with a new id or the one replaced,
// and sends ActionInvoked when the test clicks.
class FakeNotificationServer {
public:
    explicit FakeNotificationServer(const std::string& address) {
        connection_ = dbus_connection_open_private(address.c_str(), nullptr);
        if (!connection_ || !dbus_bus_register(connection_, nullptr))
            return;
        dbus_bus_request_name(connection_, "org.freedesktop.Notifications",
                              DBUS_NAME_FLAG_DO_NOT_QUEUE, nullptr);
        dbus_connection_add_filter(connection_, &FakeNotificationServer::filter, this, nullptr);
        thread_ = std::thread([this] {
            while (running_ && dbus_connection_read_write_dispatch(connection_, 20)) {
            }
        });
    }
    ~FakeNotificationServer() {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
        if (connection_) {
            dbus_connection_close(connection_);
            dbus_connection_unref(connection_);
        }
    }

    std::vector<NotifyCall> calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }

    void click(std::uint32_t id, const char* action, DBusConnection* from = nullptr) {
        DBusMessage* signal = dbus_message_new_signal(
            "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
        dbus_message_append_args(signal, DBUS_TYPE_UINT32, &id, DBUS_TYPE_STRING, &action,
                                 DBUS_TYPE_INVALID);
        dbus_connection_send(from ? from : connection_, signal, nullptr);
        dbus_connection_flush(from ? from : connection_);
        dbus_message_unref(signal);
    }

private:
    static DBusHandlerResult filter(DBusConnection* connection, DBusMessage* message, void* data) {
        auto* self = static_cast<FakeNotificationServer*>(data);
        if (dbus_message_is_method_call(message, "org.freedesktop.Notifications",
                                        "GetCapabilities")) {
            DBusMessage* reply = dbus_message_new_method_return(message);
            const char* capabilities[] = {"actions", "body", "body-markup"};
            const char** list = capabilities;
            dbus_message_append_args(reply, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING, &list, 3,
                                     DBUS_TYPE_INVALID);
            dbus_connection_send(connection, reply, nullptr);
            dbus_message_unref(reply);
            return DBUS_HANDLER_RESULT_HANDLED;
        }
        if (!dbus_message_is_method_call(message, "org.freedesktop.Notifications", "Notify"))
            return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        NotifyCall call;
        DBusMessageIter iter, items;
        dbus_message_iter_init(message, &iter);
        auto text = [&] {
            const char* value = "";
            dbus_message_iter_get_basic(&iter, &value);
            dbus_message_iter_next(&iter);
            return std::string(value);
        };
        call.application = text();
        dbus_message_iter_get_basic(&iter, &call.replaces);
        dbus_message_iter_next(&iter);
        call.icon = text();
        call.summary = text();
        call.body = text();
        dbus_message_iter_recurse(&iter, &items);
        while (dbus_message_iter_get_arg_type(&items) == DBUS_TYPE_STRING) {
            const char* action = nullptr;
            dbus_message_iter_get_basic(&items, &action);
            call.actions.emplace_back(action);
            dbus_message_iter_next(&items);
        }
        dbus_message_iter_next(&iter);
        dbus_message_iter_recurse(&iter, &items);
        while (dbus_message_iter_get_arg_type(&items) == DBUS_TYPE_DICT_ENTRY) {
            DBusMessageIter entry, variant;
            dbus_message_iter_recurse(&items, &entry);
            const char* name = nullptr;
            dbus_message_iter_get_basic(&entry, &name);
            dbus_message_iter_next(&entry);
            dbus_message_iter_recurse(&entry, &variant);
            if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_STRING) {
                const char* value = nullptr;
                dbus_message_iter_get_basic(&variant, &value);
                call.hints[name] = value;
            }
            dbus_message_iter_next(&items);
        }
        dbus_message_iter_next(&iter);
        dbus_message_iter_get_basic(&iter, &call.timeout);
        dbus_uint32_t id = call.replaces;
        {
            std::lock_guard lock(self->mutex_);
            if (id == 0)
                id = self->nextId_++;
            self->calls_.push_back(call);
        }
        DBusMessage* reply = dbus_message_new_method_return(message);
        dbus_message_append_args(reply, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID);
        dbus_connection_send(connection, reply, nullptr);
        dbus_message_unref(reply);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    DBusConnection* connection_ = nullptr;
    std::thread thread_;
    std::atomic<bool> running_{true};
    std::mutex mutex_;
    std::vector<NotifyCall> calls_;
    std::uint32_t nextId_ = 7;
};

class DesktopNotificationCenterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(bus.address().empty()) << "dbus-daemon did not start"; }

    NotificationAuthorization authorization(DesktopNotificationCenter& center) {
        std::optional<NotificationAuthorization> status;
        center.getAuthorization([&](NotificationAuthorization answer) { status = answer; });
        testsupport::runUntil(
            loop, [&] { return status.has_value(); }, 10);
        return status.value_or(NotificationAuthorization::ephemeral);
    }

    std::optional<std::string> add(DesktopNotificationCenter& center, NotificationRequest request) {
        std::optional<std::optional<std::string>> result;
        center.add(std::move(request), [&](std::optional<std::string> error) { result = error; });
        testsupport::runUntil(
            loop, [&] { return result.has_value(); }, 10);
        return result.value_or("no completion");
    }

    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    PrivateBus bus;
};

TEST_F(DesktopNotificationCenterTest, PostsReplacesAndHandsBackClicks) {
    FakeNotificationServer server(bus.address());
    DesktopNotificationCenter center(
        loop, bus.address(),
        {"Pulsedeck", "file:///usr/share/pulsedeck/AppIcon.png", "local.dorvettin.Pulsedeck"});
    std::vector<foundation::PropertyDictionary> clicks;
    center.defaultActionHandler = [&](const foundation::PropertyDictionary& userInfo) {
        clicks.push_back(userInfo);
    };
    EXPECT_EQ(authorization(center), NotificationAuthorization::authorized);

    const foundation::PropertyDictionary info{{"version", "2.1.0"}, {"build", std::int64_t{57}}};
    EXPECT_EQ(add(center, {"pulsedeck-update-57", "Update Available", "<b>2.1.0</b> & more", info}),
              std::nullopt);
    EXPECT_EQ(add(center, {"pulsedeck-update-57", "Update Available", "again", info}),
              std::nullopt);
    EXPECT_EQ(add(center, {"pulsedeck-update-58", "Update Available", "other", {}}), std::nullopt);
    const auto calls = server.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].application, "Pulsedeck");
    EXPECT_EQ(calls[0].icon, "file:///usr/share/pulsedeck/AppIcon.png");
    EXPECT_EQ(calls[0].hints,
              (std::map<std::string, std::string>{{"desktop-entry", "local.dorvettin.Pulsedeck"}}));
    EXPECT_EQ(calls[0].replaces, 0u);
    EXPECT_EQ(calls[0].summary, "Update Available");
    EXPECT_EQ(calls[0].body, "&lt;b&gt;2.1.0&lt;/b&gt; &amp; more") << "the service renders markup";
    EXPECT_EQ(calls[0].actions, (std::vector<std::string>{"default", "Update Available"}));
    EXPECT_EQ(calls[0].timeout, -1);
    EXPECT_EQ(calls[1].replaces, 7u) << "the same request replaces its notification";
    EXPECT_EQ(calls[2].replaces, 0u);

    // Only the default action of a notification of ours, from the service itself, is a click.
    DBusConnection* stranger = dbus_connection_open_private(bus.address().c_str(), nullptr);
    ASSERT_TRUE(stranger && dbus_bus_register(stranger, nullptr));
    server.click(7, "default", stranger);
    server.click(7, "dismiss");
    server.click(99, "default");
    server.click(7, "default");
    testsupport::runUntil(
        loop, [&] { return !clicks.empty(); }, 5);
    testsupport::settle(loop, 0.2);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], info);
    dbus_connection_close(stranger);
    dbus_connection_unref(stranger);
}

TEST_F(DesktopNotificationCenterTest, WithoutAServiceNothingIsAuthorisedAndPostingFails) {
    DesktopNotificationCenter center(loop, bus.address());
    EXPECT_EQ(authorization(center), NotificationAuthorization::notDetermined);
    EXPECT_TRUE(add(center, {"pulsedeck-update-57", "t", "b", {}}).has_value());

    DesktopNotificationCenter noBus(loop, std::nullopt);
    EXPECT_EQ(authorization(noBus), NotificationAuthorization::notDetermined);
    DesktopNotificationCenter deadBus(loop, "unix:path=/nonexistent/bus");
    EXPECT_EQ(authorization(deadBus), NotificationAuthorization::notDetermined);
}

// The whole way of an automatic check's release: posted over the bus, clicked in the service,
// opened through the workspace once it passes the rule again.
TEST_F(DesktopNotificationCenterTest, AClickedUpdateNotificationOpensTheDownload) {
    FakeNotificationServer server(bus.address());
    UpdateNotifications notifications;
    notifications.setCenter(std::make_shared<DesktopNotificationCenter>(loop, bus.address()));
    std::vector<std::string> opened;
    notifications.openRelease = [&](const std::string& url) { opened.push_back(url); };
    AppRelease release;
    release.version = "2.1.0";
    release.build = 57;
    release.url = "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.zip";
    release.installerURL = "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.dmg";
    bool fellBack = false;
    notifications.post(release, AppLanguage::english, "2.0.0", [&] { fellBack = true; });
    ASSERT_TRUE(testsupport::runUntil(
        loop, [&] { return !server.calls().empty(); }, 10));
    EXPECT_EQ(server.calls()[0].summary, text(Copy::updateAvailable, AppLanguage::english));
    server.click(7, "default");
    EXPECT_TRUE(testsupport::runUntil(
        loop, [&] { return !opened.empty(); }, 5));
    EXPECT_EQ(opened, (std::vector<std::string>{*release.installerURL}));
    EXPECT_FALSE(fellBack);
}

} // namespace
} // namespace pulsedeck
