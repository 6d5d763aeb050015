#pragma once

#include "floating/DockAnchors.h"
#include "model/DisplayMode.h"
#include "model/FloatingMode.h"
#include "model/StripLook.h"
#include "platform/foundation/PropertyValue.h"
#include "statusbar/StripSettings.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {
class UserDefaults;
}

namespace pulsedeck {

// The user-default keys of the main settings and of the flags the controller keeps.
namespace PreferenceKey {
inline constexpr std::string_view devicesEnabled = "devicesEnabled";
inline constexpr std::string_view computeEnabled = "computeEnabled";
inline constexpr std::string_view memoryShowChart = "memoryShowChart";
inline constexpr std::string_view networkShowChart = "networkShowChart";
inline constexpr std::string_view temperatureDisplay = "temperatureDisplay";
inline constexpr std::string_view computeDisplay = "computeDisplay";
inline constexpr std::string_view memoryEnabled = "memoryEnabled";
inline constexpr std::string_view networkEnabled = "networkEnabled";
inline constexpr std::string_view temperatureEnabled = "temperatureEnabled";
inline constexpr std::string_view fanEnabled = "fanEnabled";
inline constexpr std::string_view moduleOrder = "moduleOrder";
inline constexpr std::string_view moduleColors = "moduleColors";
inline constexpr std::string_view detailPresentation = "detailPresentation";
inline constexpr std::string_view networkColored = "networkColored";
inline constexpr std::string_view fanAnimation = "fanAnimation";
inline constexpr std::string_view fanDisplayMode = "fanDisplayMode";
inline constexpr std::string_view chartLength = "chartLength";
inline constexpr std::string_view fanGap = "fanGap";
inline constexpr std::string_view appAppearance = "appAppearance";
inline constexpr std::string_view displayMode = "displayMode";
inline constexpr std::string_view themeBlue = "themeBlue";
inline constexpr std::string_view language = "language";
inline constexpr std::string_view floatingMode = "floatingMode";
inline constexpr std::string_view floatingDockAnchors = "floatingDockAnchors";
inline constexpr std::string_view floatingOpacity = "floatingOpacity";
inline constexpr std::string_view floatingOnTop = "floatingOnTop";
inline constexpr std::string_view hideInFullscreen = "hideInFullscreen";
inline constexpr std::string_view collapsedSections = "collapsedSections";
inline constexpr std::string_view menuBarTipShown = "menuBarTipShown";
inline constexpr std::string_view hasLaunched = "hasLaunched";
inline constexpr std::string_view didMigrateLegacyPreferences = "didMigrateLegacyPreferences";
// Written by earlier versions only; read as fallbacks.
inline constexpr std::string_view swapOnly = "swapOnly";
inline constexpr std::string_view normalBlue = "normalBlue";
} // namespace PreferenceKey

// The main settings, each read once at start-up with its default, clamp and legacy fallback.
// From then on the values are the truth; the settings store writes the key of each change.
struct Preferences {
    // The menu bar's strip and details, stored under the keys of their parts.
    StripLook look;
    bool normalBlue = false;
    // "system" or a language code; resolved at each use.
    std::string languageSelection = "system";
    FloatingMode floatingMode = FloatingMode::none;
    DockAnchorTexts floatingDockAnchors;
    bool floatingOnTop = true;

    bool operator==(const Preferences&) const = default;

    // Every key, in the order the controller reads them; what is absent or of another type
    // reads as the default.
    static Preferences read(const foundation::UserDefaults& defaults);

    // Every key with the value it is stored as; the keys of earlier versions are never written.
    foundation::PropertyDictionary storedForm() const;
};

// The status strip's settings: the menu bar's look with its own theme; without fans the order
// has no place for the fan either.
StripSettings statusStripSettings(const Preferences& preferences, bool fanAvailable);

// A module's main switch is stored under this key.
std::string_view enabledKey(ModuleKind kind);

// The stored colour map: nothing survives when any value is not an integer; of the rest only
// known slots with a palette number are kept.
ModuleColors decodeModuleColors(const std::optional<foundation::PropertyDictionary>& stored);

// The memory style: a stored 0…2, else the "swapOnly" of earlier versions (on → automatic).
DisplayMode storedDisplayMode(const foundation::UserDefaults& defaults);

// "collapsedSections": the known module names among the stored texts.
std::set<ModuleKind> storedCollapsedSections(const foundation::UserDefaults& defaults);

// The modules' raw names, in the set's order.
std::vector<std::string> rawNames(const std::set<ModuleKind>& modules);

} // namespace pulsedeck
