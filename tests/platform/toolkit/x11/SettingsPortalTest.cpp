#include "platform/toolkit/x11/SettingsPortal.h"

#include "platform/dispatch/RunLoop.h"
#include "support/RunUntil.h"
#include "support/ScopedEnvironment.h"
#include "support/TestPaths.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dbus/dbus.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using testsupport::runUntil;
using testsupport::ScopedEnvironment;
using ui::x11::SettingsPortal;

// A session bus of the test's own and a stand-in for the desktop's settings portal on it, which
// answers Read with the values the test sets and can announce a change.
class PrivateBus {
public:
    PrivateBus() {
        socket_ = folder_.path() / "bus";
        address_ = "unix:path=" + socket_.string();
        const std::string listen = "--address=" + address_;
        const pid_t parent = getpid();
        daemon_ = fork();
        if (daemon_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent)
                _exit(127);
            execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
                   listen.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // The socket appears a moment before the daemon accepts on it.
        for (int tries = 0; tries < 250 && !running_; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (!std::filesystem::exists(socket_))
                continue;
            DBusError error;
            dbus_error_init(&error);
            if (DBusConnection* probe = dbus_connection_open_private(address_.c_str(), &error)) {
                running_ = dbus_bus_register(probe, &error);
                dbus_connection_close(probe);
                dbus_connection_unref(probe);
            }
            dbus_error_free(&error);
        }
    }
    ~PrivateBus() {
        if (service_) {
            dbus_connection_close(service_);
            dbus_connection_unref(service_);
        }
        if (daemon_ > 0) {
            kill(daemon_, SIGTERM);
            waitpid(daemon_, nullptr, 0);
        }
    }

    bool isRunning() const { return running_; }
    const std::string& address() const { return address_; }

    // Takes the portal's name on the bus and serves it from the loop.
    bool servePortal(dispatch::RunLoop& loop) {
        DBusError error;
        dbus_error_init(&error);
        service_ = dbus_connection_open_private(address_.c_str(), &error);
        if (!service_ || !dbus_bus_register(service_, &error)) {
            dbus_error_free(&error);
            return false;
        }
        if (dbus_bus_request_name(service_, "org.freedesktop.portal.Desktop",
                                  DBUS_NAME_FLAG_DO_NOT_QUEUE,
                                  &error) != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
            dbus_error_free(&error);
            return false;
        }
        dbus_connection_add_filter(service_, &PrivateBus::answer, this, nullptr);
        int fd = -1;
        dbus_connection_get_unix_fd(service_, &fd);
        source_ = loop.addSource(fd, POLLIN, [this](short) {
            dbus_connection_read_write(service_, 0);
            while (dbus_connection_dispatch(service_) == DBUS_DISPATCH_DATA_REMAINS) {
            }
        });
        return true;
    }

    std::uint32_t colorScheme = 1;
    std::uint32_t contrast = 0;
    bool animations = false;
    int reads = 0;

    void announceColorScheme(std::uint32_t scheme) {
        colorScheme = scheme;
        DBusMessage* signal = dbus_message_new_signal(
            "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings", "SettingChanged");
        const char* nameSpace = "org.freedesktop.appearance";
        const char* key = "color-scheme";
        DBusMessageIter iter, variant;
        dbus_message_iter_init_append(signal, &iter);
        dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &nameSpace);
        dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &key);
        dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, "u", &variant);
        dbus_message_iter_append_basic(&variant, DBUS_TYPE_UINT32, &scheme);
        dbus_message_iter_close_container(&iter, &variant);
        dbus_connection_send(service_, signal, nullptr);
        dbus_connection_flush(service_);
        dbus_message_unref(signal);
    }

private:
    static DBusHandlerResult answer(DBusConnection* connection, DBusMessage* message, void* data) {
        auto* bus = static_cast<PrivateBus*>(data);
        if (!dbus_message_is_method_call(message, "org.freedesktop.portal.Settings", "Read"))
            return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        ++bus->reads;
        const char* nameSpace = nullptr;
        const char* key = nullptr;
        dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &nameSpace, DBUS_TYPE_STRING,
                              &key, DBUS_TYPE_INVALID);
        DBusMessage* reply = dbus_message_new_method_return(message);
        DBusMessageIter iter, outer, inner;
        dbus_message_iter_init_append(reply, &iter);
        // The portal's Read wraps the value in two variants.
        dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, "v", &outer);
        if (std::strcmp(key, "enable-animations") == 0) {
            dbus_bool_t enabled = bus->animations;
            dbus_message_iter_open_container(&outer, DBUS_TYPE_VARIANT, "b", &inner);
            dbus_message_iter_append_basic(&inner, DBUS_TYPE_BOOLEAN, &enabled);
        } else {
            const std::uint32_t value =
                std::strcmp(key, "contrast") == 0 ? bus->contrast : bus->colorScheme;
            dbus_message_iter_open_container(&outer, DBUS_TYPE_VARIANT, "u", &inner);
            dbus_message_iter_append_basic(&inner, DBUS_TYPE_UINT32, &value);
        }
        dbus_message_iter_close_container(&outer, &inner);
        dbus_message_iter_close_container(&iter, &outer);
        dbus_connection_send(connection, reply, nullptr);
        dbus_connection_flush(connection);
        dbus_message_unref(reply);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    testsupport::TemporaryDirectory folder_;
    std::filesystem::path socket_;
    std::string address_;
    pid_t daemon_ = -1;
    bool running_ = false;
    DBusConnection* service_ = nullptr;
    dispatch::RunLoop::Registration source_;
};

TEST(SettingsPortal, ReadsThePreferencesAndFollowsTheirChanges) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    ScopedEnvironment address("DBUS_SESSION_BUS_ADDRESS", bus.address());
    dispatch::RunLoop loop;
    ASSERT_TRUE(bus.servePortal(loop));
    bus.colorScheme = 1;
    bus.contrast = 1;
    bus.animations = false;

    int changes = 0;
    auto portal = SettingsPortal::connect(loop, [&] { ++changes; });
    ASSERT_TRUE(portal);
    EXPECT_FALSE(portal->prefersDark()) << "answered before the portal was asked";
    ASSERT_TRUE(runUntil(loop, [&] {
        return portal->prefersDark() && portal->animationsEnabled() &&
               portal->prefersHigherContrast();
    }));
    EXPECT_EQ(portal->prefersDark(), true);
    EXPECT_EQ(portal->animationsEnabled(), false);
    EXPECT_EQ(portal->prefersHigherContrast(), true);
    EXPECT_EQ(bus.reads, 3);
    EXPECT_GE(changes, 1);

    const int before = changes;
    bus.announceColorScheme(2);
    ASSERT_TRUE(runUntil(loop, [&] { return portal->prefersDark() == false; }));
    EXPECT_EQ(changes, before + 1);
    // "No preference" leaves the choice to the other sources.
    bus.announceColorScheme(0);
    ASSERT_TRUE(runUntil(loop, [&] { return !portal->prefersDark(); }));
    EXPECT_EQ(changes, before + 2);
}

TEST(SettingsPortal, NoSessionBusMeansNoPortalAndNoBusStarted) {
    testsupport::TemporaryDirectory emptyRuntime;
    ScopedEnvironment address("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", emptyRuntime.path().string());
    dispatch::RunLoop loop;
    EXPECT_FALSE(SettingsPortal::connect(loop, [] {}));
}

TEST(SettingsPortal, WithoutAPortalOnTheBusThePreferencesStayOpen) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    ScopedEnvironment address("DBUS_SESSION_BUS_ADDRESS", bus.address());
    dispatch::RunLoop loop;
    auto portal = SettingsPortal::connect(loop, [] {});
    ASSERT_TRUE(portal);
    runUntil(
        loop, [] { return false; }, 0.3);
    EXPECT_FALSE(portal->prefersDark());
    EXPECT_FALSE(portal->animationsEnabled());
}

} // namespace
