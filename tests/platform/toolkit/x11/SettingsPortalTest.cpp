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
#include <ctime>
#include <dbus/dbus.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using testsupport::runUntil;
using testsupport::ScopedEnvironment;
using testsupport::settle;
using ui::x11::SettingsPortal;

// A SettingChanged signal of an appearance setting ("color-scheme", "contrast") from
// `connection`, to everyone or to `destination` alone; queued, not flushed.
void sendSetting(DBusConnection* connection, const char* key, std::uint32_t scheme,
                 const char* destination) {
    DBusMessage* signal = dbus_message_new_signal(
        "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings", "SettingChanged");
    const char* nameSpace = "org.freedesktop.appearance";
    DBusMessageIter iter, variant;
    dbus_message_iter_init_append(signal, &iter);
    dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &nameSpace);
    dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &key);
    dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, "u", &variant);
    dbus_message_iter_append_basic(&variant, DBUS_TYPE_UINT32, &scheme);
    dbus_message_iter_close_container(&iter, &variant);
    if (destination)
        dbus_message_set_destination(signal, destination);
    dbus_connection_send(connection, signal, nullptr);
    dbus_message_unref(signal);
}

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
        sendSetting(service_, "color-scheme", scheme, nullptr);
        dbus_connection_flush(service_);
    }
    DBusConnection* service() const { return service_; }

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
    EXPECT_TRUE(runUntil(loop, [&] { return changes >= 1; }));

    const int before = changes;
    bus.announceColorScheme(2);
    ASSERT_TRUE(runUntil(loop, [&] { return portal->prefersDark() == false; }));
    EXPECT_TRUE(runUntil(loop, [&] { return changes == before + 1; }));
    // "No preference" leaves the choice to the other sources.
    bus.announceColorScheme(0);
    ASSERT_TRUE(runUntil(loop, [&] { return !portal->prefersDark(); }));
    EXPECT_TRUE(runUntil(loop, [&] { return changes == before + 2; }));
}

// Another client of the bus: sends what it likes, to everyone and to each connection by name.
class Forger {
public:
    explicit Forger(const std::string& address) {
        DBusError error;
        dbus_error_init(&error);
        connection_ = dbus_connection_open_private(address.c_str(), &error);
        if (connection_ && !dbus_bus_register(connection_, &error)) {
            dbus_connection_close(connection_);
            dbus_connection_unref(connection_);
            connection_ = nullptr;
        }
        dbus_error_free(&error);
    }
    ~Forger() {
        if (connection_) {
            dbus_connection_close(connection_);
            dbus_connection_unref(connection_);
        }
    }
    bool isConnected() const { return connection_ != nullptr; }

    // The other connections' unique names (the bus's ListNames, less our own).
    std::vector<std::string> others() {
        std::vector<std::string> names;
        DBusMessage* call = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                                         DBUS_INTERFACE_DBUS, "ListNames");
        DBusMessage* reply =
            dbus_connection_send_with_reply_and_block(connection_, call, 5000, nullptr);
        dbus_message_unref(call);
        if (!reply)
            return names;
        char** list = nullptr;
        int count = 0;
        if (dbus_message_get_args(reply, nullptr, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING, &list, &count,
                                  DBUS_TYPE_INVALID)) {
            for (int i = 0; i < count; ++i)
                if (list[i][0] == ':' &&
                    std::strcmp(list[i], dbus_bus_get_unique_name(connection_)) != 0)
                    names.emplace_back(list[i]);
            dbus_free_string_array(list);
        }
        dbus_message_unref(reply);
        return names;
    }

    // `count` colour-scheme signals, alternating dark and light and ending on `last`, to each of
    // `destinations` and to everyone.
    void flood(const std::vector<std::string>& destinations, int count, std::uint32_t last) {
        for (int i = count - 1; i >= 0; --i) {
            const std::uint32_t scheme = i % 2 == 0 ? last : 3 - last;
            sendSetting(connection_, "color-scheme", scheme, nullptr);
            for (const auto& destination : destinations)
                sendSetting(connection_, "color-scheme", scheme, destination.c_str());
        }
        dbus_connection_flush(connection_);
    }

    // Pings `destination` after everything sent before and runs `loop` until it answers: the
    // bus keeps each sender's messages in order, so the answer means every earlier one has been
    // dispatched there.
    bool pingThrough(dispatch::RunLoop& loop, const std::string& destination) {
        DBusMessage* ping =
            dbus_message_new_method_call(destination.c_str(), "/", DBUS_INTERFACE_PEER, "Ping");
        DBusPendingCall* pending = nullptr;
        dbus_connection_send_with_reply(connection_, ping, &pending, 60000);
        dbus_message_unref(ping);
        if (!pending)
            return false;
        const bool answered = runUntil(
            loop,
            [&] {
                dbus_connection_read_write_dispatch(connection_, 0);
                return bool(dbus_pending_call_get_completed(pending));
            },
            60);
        dbus_pending_call_unref(pending);
        return answered;
    }

private:
    DBusConnection* connection_ = nullptr;
};

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Any client can send SettingChanged on the portal's path; only the portal's owner is heard,
// whether a portal runs or not, and a flood of forgeries costs their decoding only.
TEST(SettingsPortal, OnlyThePortalsOwnerIsHeardAndAFloodCostsLittle) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    ScopedEnvironment address("DBUS_SESSION_BUS_ADDRESS", bus.address());
    dispatch::RunLoop loop;
    int changes = 0;
    auto portal = SettingsPortal::connect(loop, [&] { ++changes; });
    ASSERT_TRUE(portal);
    Forger forger(bus.address());
    ASSERT_TRUE(forger.isConnected());
    // Our connection has said Hello once the bus lists it.
    std::vector<std::string> others;
    ASSERT_TRUE(runUntil(loop, [&] { return !(others = forger.others()).empty(); }));
    ASSERT_EQ(others.size(), 1u);
    const auto reader = others;

    // No portal on the bus: nothing a client sends is a preference.
    forger.flood(reader, 10, 1);
    ASSERT_TRUE(forger.pingThrough(loop, reader[0]));
    EXPECT_FALSE(portal->prefersDark());

    // A portal: its answer and its own signals count, another client's never do.
    ASSERT_TRUE(bus.servePortal(loop));
    bus.colorScheme = 2;
    ASSERT_TRUE(runUntil(loop, [&] { return portal->prefersDark() == false; }));
    constexpr int burst = 100000;
    forger.flood(reader, burst, 1);
    const double before = threadSeconds();
    ASSERT_TRUE(forger.pingThrough(loop, reader[0]));
    std::cout << "reading " << burst << " forged signals took " << threadSeconds() - before
              << " s of CPU\n";
    EXPECT_EQ(portal->prefersDark(), false);

    bus.announceColorScheme(1);
    EXPECT_TRUE(runUntil(loop, [&] { return portal->prefersDark() == true; }));
}

// A flood from the portal itself changes the preference as often as it says, but tells the
// program at most once per coalescing interval.
TEST(SettingsPortal, ABurstOfChangesIsToldInFewNotices) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    ScopedEnvironment address("DBUS_SESSION_BUS_ADDRESS", bus.address());
    dispatch::RunLoop loop;
    ASSERT_TRUE(bus.servePortal(loop));
    bus.colorScheme = 2;
    int changes = 0;
    // What the last notice found: the dark and the contrast preference.
    std::pair<std::optional<bool>, std::optional<bool>> told;
    const SettingsPortal* reader = nullptr;
    auto portal = SettingsPortal::connect(loop, [&] {
        ++changes;
        told = {reader->prefersDark(), reader->prefersHigherContrast()};
    });
    ASSERT_TRUE(portal);
    reader = portal.get();
    ASSERT_TRUE(runUntil(loop, [&] { return portal->prefersDark() == false && changes == 1; }));

    constexpr int burst = 100000;
    for (int i = burst - 1; i >= 0; --i)
        sendSetting(bus.service(), "color-scheme", i % 2 == 0 ? 1 : 2, nullptr);
    // Last, another setting: once it is seen, the whole burst has been read.
    sendSetting(bus.service(), "contrast", 1, nullptr);
    dbus_connection_flush(bus.service());
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(runUntil(
        loop, [&] { return portal->prefersHigherContrast() == true; }, 60));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(portal->prefersDark(), true);
    // The burst's end is told (a loaded loop may read it and tell it in one pass, before the
    // test looks), in few notices.
    ASSERT_TRUE(runUntil(loop, [&] { return told.second == true; }));
    EXPECT_EQ(told.first, true);
    EXPECT_LE(changes - 1, 2 + int(seconds / SettingsPortal::changeCoalescing))
        << "over " << seconds << " s";

    // Two changes read together are told with the second: a notice that goes with the first
    // and holds back what follows would keep the old contrast.
    settle(loop, 2 * SettingsPortal::changeCoalescing);
    sendSetting(bus.service(), "color-scheme", 2, nullptr);
    sendSetting(bus.service(), "contrast", 0, nullptr);
    dbus_connection_flush(bus.service());
    EXPECT_TRUE(runUntil(loop, [&] { return told.first == false && told.second == false; }))
        << "last told: dark " << told.first.value_or(true) << ", contrast "
        << told.second.value_or(true);
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
