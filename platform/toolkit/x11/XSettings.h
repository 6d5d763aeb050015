#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ui::x11 {

// The desktop's settings as the XSETTINGS manager publishes them (the _XSETTINGS_SETTINGS
// property of the selection owner): integers and strings by name; colours are not needed.
struct XSettings {
    std::map<std::string, std::int32_t> integers;
    std::map<std::string, std::string> strings;

    friend bool operator==(const XSettings&, const XSettings&) = default;
};

// Parses the property's bytes; none for a blob that is cut short, names a setting type the
// format does not have, or claims more settings than it holds.
std::optional<XSettings> parseXSettings(std::span<const std::uint8_t> bytes);

// The value of "Xft.dpi" in an X resource database string (the RESOURCE_MANAGER property), or
// none when it is missing or not a positive number.
std::optional<double> xftDpiFromResources(std::string_view resources);

// The backing scale: Gdk/WindowScalingFactor when the desktop sets one, else Xft.dpi / 96
// rounded, else 1; always a whole number of at least 1.
int backingScaleFrom(const std::optional<XSettings>& settings, std::optional<double> xftDpi);

// Whether the desktop prefers dark: its theme name (Net/ThemeName) says "dark".
bool themeIsDark(const std::optional<XSettings>& settings);

// Whether the desktop turned animations off (Gtk/EnableAnimations 0), which means reduce
// motion.
bool animationsDisabled(const std::optional<XSettings>& settings);

} // namespace ui::x11
