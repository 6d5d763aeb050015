#pragma once

#include "platform/graphics/Appearance.h"
#include "platform/graphics/Image.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace pulsedeck {

// The desktop's process-monitor applications, by desktop-entry identifier, in the order they are
// looked for.
inline constexpr std::array<const char*, 5> processMonitorIdentifiers = {
    "org.gnome.SystemMonitor", "gnome-system-monitor", "org.kde.plasma-systemmonitor",
    "xfce4-taskmanager", "lxtask"};

// How the activity button finds the process monitor and its icon; tests replace both.
struct ActivityMonitorLocator {
    // The file URL of the first installed process monitor's desktop entry, or none.
    std::function<std::optional<std::string>()> applicationURL;
    // The application's icon as the appearance shows it, or none.
    std::function<std::optional<gfx::Image>(const std::string& url, gfx::Appearance)> icon;

    // The shared workspace's lookup by identifier and its icon for the entry (desktop icons have
    // no light and dark forms, so the appearance changes nothing here).
    static ActivityMonitorLocator desktop();
};

} // namespace pulsedeck
