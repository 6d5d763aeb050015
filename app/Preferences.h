#pragma once

#include "floating/DockAnchors.h"
#include "model/DisplayMode.h"
#include "model/FloatingMode.h"
#include "model/ModuleColors.h"
#include "model/ModuleStyles.h"
#include "model/Modules.h"
#include "platform/foundation/PropertyValue.h"
#include "statusbar/StripMetrics.h"
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
    bool devicesEnabled = true;
    bool computeEnabled = true;
    ModuleStyles styles;
    bool memoryEnabled = true;
    bool networkEnabled = true;
    bool temperatureEnabled = true;
    bool fanEnabled = true;
    std::vector<ModuleKind> moduleOrder{allModuleKinds.begin(), allModuleKinds.end()};
    ModuleColors moduleColors;
    DetailPresentation detailPresentation = DetailPresentation::details;
    double chartLength = 85;
    double fanGap = 8;
    AppearanceMode appearanceMode = AppearanceMode::system;
    bool normalBlue = false;
    // "system" or a language code; resolved at each use.
    std::string languageSelection = "system";
    FloatingMode floatingMode = FloatingMode::none;
    DockAnchorTexts floatingDockAnchors;
    double floatingOpacity = 1.0;
    bool floatingOnTop = true;
    bool hideInFullscreen = false;
    std::set<ModuleKind> collapsedSections;

    bool operator==(const Preferences&) const = default;

    // Every key, in the order the controller reads them; what is absent or of another type
    // reads as the default.
    static Preferences read(const foundation::UserDefaults& defaults);

    // Every key with the value it is stored as; the keys of earlier versions are never written.
    foundation::PropertyDictionary storedForm() const;
};

// The status strip's settings: the modules switched on (the fan only on a machine with fans) in
// the stored order, less the fan where there is none.
StripSettings statusStripSettings(const Preferences& preferences, bool fanAvailable);

// A module's main switch and the key it is stored under.
bool Preferences::*enabledSwitch(ModuleKind kind);
std::string_view enabledKey(ModuleKind kind);

// Below 0 or NaN → 0; above 32 → 32.
double clampedFanGap(double value);
// 0.2…1.0; a value that is not finite reads as 1.0 (a NaN would pass a plain clamp and be
// written back).
double clampedFloatingOpacity(double value);

// The stored colour map: nothing survives when any value is not an integer; of the rest only
// known slots with a palette number are kept.
ModuleColors decodeModuleColors(const std::optional<foundation::PropertyDictionary>& stored);

// The memory style: a stored 0…2, else the "swapOnly" of earlier versions (on → automatic).
DisplayMode storedDisplayMode(const foundation::UserDefaults& defaults);

// "collapsedSections": the known module names among the stored texts.
std::set<ModuleKind> storedCollapsedSections(const foundation::UserDefaults& defaults);

// An order as it is stored: every module once, the missing ones appended.
std::vector<ModuleKind> completeOrder(const std::vector<ModuleKind>& order);

// The modules' raw names, in the set's order.
std::vector<std::string> rawNames(const std::set<ModuleKind>& modules);

} // namespace pulsedeck
