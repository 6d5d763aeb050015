#pragma once

#include "platform/dispatch/RunLoop.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>

struct DBusConnection;
struct DBusMessage;
struct DBusWatch;

namespace ui::x11 {

// The desktop's settings portal (org.freedesktop.portal.Settings) on the session bus: its
// colour-scheme and contrast preferences and whether animations are on, read once at start and
// followed through its SettingChanged signal. Nothing here waits for the bus: connecting,
// authenticating, the bus's Hello and the reads all go on as the bus's descriptor becomes ready
// in the run loop, so a bus that accepts and never answers costs nothing but the answers.
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

    // Takes a SettingChanged signal; answers whether the message was one.
    bool takeSignal(DBusMessage* message);

private:
    SettingsPortal(DBusConnection* connection, dispatch::RunLoop& loop,
                   std::function<void()> changed);
    void request(const char* nameSpace, const char* key);
    void takeValue(const char* nameSpace, const char* key, DBusMessage* message, bool fromSignal);
    void watch(DBusWatch* watch);
    void dispatch();

    DBusConnection* connection_;
    std::function<void()> changed_;
    std::optional<bool> prefersDark_;
    std::optional<bool> animationsEnabled_;
    std::optional<bool> higherContrast_;
    dispatch::RunLoop& loop_;
    // The descriptors libdbus asks to watch, each a source of the loop while enabled.
    std::map<DBusWatch*, dispatch::RunLoop::Registration> watches_;
};

} // namespace ui::x11
