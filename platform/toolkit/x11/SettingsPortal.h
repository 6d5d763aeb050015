#pragma once

#include "platform/dispatch/RunLoop.h"

#include <functional>
#include <memory>
#include <optional>

struct DBusConnection;
struct DBusMessage;

namespace ui::x11 {

// The desktop's settings portal (org.freedesktop.portal.Settings) on the session bus: its
// colour-scheme and contrast preferences and whether animations are on, read once at start without
// blocking and followed through its SettingChanged signal. The bus connection is a source of the
// run loop; nothing here waits for the bus.
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
    SettingsPortal(DBusConnection* connection, std::function<void()> changed);
    void request(const char* nameSpace, const char* key);
    void takeValue(const char* nameSpace, const char* key, DBusMessage* message, bool fromSignal);
    void pump();

    DBusConnection* connection_;
    std::function<void()> changed_;
    std::optional<bool> prefersDark_;
    std::optional<bool> animationsEnabled_;
    std::optional<bool> higherContrast_;
    dispatch::RunLoop::Registration source_;
};

} // namespace ui::x11
