#pragma once

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Timer.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

struct DBusConnection;
struct DBusMessage;
struct DBusWatch;

namespace ui::x11 {

// The desktop's settings portal (org.freedesktop.portal.Settings) on the session bus: its
// colour-scheme and contrast preferences and whether animations are on, read once at start and
// followed through its SettingChanged signal. Nothing here waits for the bus: connecting,
// authenticating, the bus's Hello and the reads all go on as the bus's descriptor becomes ready
// in the run loop, so a bus that accepts and never answers costs nothing but the answers.
// Signals count only from the portal's current owner (the unique name that answered Read, kept
// up to date through the bus's NameOwnerChanged): any client of the bus can send a signal on the
// portal's path. Changes are told to the owner of this object at most once per
// `changeCoalescing`, so a flood of signals costs their decoding and nothing more.
class SettingsPortal {
public:
    // None when there is no session bus to talk to (never starts one).
    static std::unique_ptr<SettingsPortal> connect(dispatch::RunLoop& loop,
                                                   std::function<void()> changed);
    ~SettingsPortal();
    SettingsPortal(const SettingsPortal&) = delete;
    SettingsPortal& operator=(const SettingsPortal&) = delete;

    // True for dark, false for light; none while the portal has not answered or states no
    // preference.
    std::optional<bool> prefersDark() const { return prefersDark_; }
    std::optional<bool> animationsEnabled() const { return animationsEnabled_; }
    // Whether the user asked for higher contrast; none while the portal has not answered.
    std::optional<bool> prefersHigherContrast() const { return higherContrast_; }

    static constexpr double changeCoalescing = 0.1;

    // Takes a SettingChanged signal of the portal's owner, or the bus's word that the portal's
    // owner changed; answers whether the message was one of those (taken or not).
    bool takeSignal(DBusMessage* message);

private:
    SettingsPortal(DBusConnection* connection, dispatch::RunLoop& loop,
                   std::function<void()> changed);
    void request(const char* nameSpace, const char* key);
    void requestAll();
    void takeValue(const char* nameSpace, const char* key, DBusMessage* message, bool fromSignal);
    void takeOwnerChange(DBusMessage* message);
    void watch(DBusWatch* watch);
    void dispatch();

    DBusConnection* connection_;
    std::function<void()> changed_;
    std::optional<bool> prefersDark_;
    std::optional<bool> animationsEnabled_;
    std::optional<bool> higherContrast_;
    // The unique name of the portal's owner; empty while none is known.
    std::string owner_;
    dispatch::RunLoop& loop_;
    // Pending while a change waits to be told.
    std::unique_ptr<dispatch::Timer> changeNotice_;
    // The descriptors libdbus asks to watch, each a source of the loop while enabled.
    std::map<DBusWatch*, dispatch::RunLoop::Registration> watches_;
};

} // namespace ui::x11
