#pragma once

#include "model/ModuleColors.h"
#include "model/ModuleStyles.h"
#include "model/Modules.h"

#include <functional>
#include <set>
#include <vector>

namespace pulsedeck {

// The bounds of a look's numbers, in points (the opacity as a fraction of opaque): what the
// sliders offer, what a stored value is brought into and what the strips draw.
namespace LookBounds {
inline constexpr double minimumOpacity = 0.2;
inline constexpr double maximumOpacity = 1.0;
inline constexpr double shortestChart = 16;
inline constexpr double longestChart = 160;
inline constexpr double standardChart = 85;
inline constexpr double widestGap = 32;
inline constexpr double standardGap = 8;
} // namespace LookBounds

// What a strip shows and how: its modules in order (the hidden ones take no room), each one's
// style and colour, the length of its charts and the gap before the fan. Detaching hands the menu
// bar's to the floating bar whole, and docking hands it back.
struct ModuleLook {
    std::vector<ModuleKind> order{allModuleKinds.begin(), allModuleKinds.end()};
    std::set<ModuleKind> hidden;
    ModuleStyles styles;
    ModuleColors colors;
    double chartLength = LookBounds::standardChart;
    double gap = LookBounds::standardGap;

    bool shows(ModuleKind kind) const { return !hidden.contains(kind); }
    void setShown(ModuleKind kind, bool shown);

    bool operator==(const ModuleLook&) const = default;
};

// How one strip and its details look: what each preference set holds whole, the menu bar's under
// its own keys and the floating bar's in its record, and what the strips and the details are
// handed.
struct StripLook {
    ModuleLook modules;
    AppearanceMode appearance = AppearanceMode::system;
    // The strip's background.
    double opacity = LookBounds::maximumOpacity;
    DetailPresentation presentation = DetailPresentation::details;
    std::set<ModuleKind> collapsed;
    // The strip steps aside where a full-screen window shows.
    bool hideInFullscreen = false;

    bool operator==(const StripLook&) const = default;
};

// A choice made on a look: the details report each one so, and its owner applies it to the look
// of its preference set.
using LookEdit = std::function<void(StripLook&)>;

// Within the bounds; an opacity that is not finite reads as opaque (a NaN would pass a plain clamp
// and be written back).
double clampedOpacity(double opacity);
// Rounded half away from zero into the bounds; the standard length when not finite.
double clampedChartLength(double chartLength);
// Below 0 or NaN: 0; above the widest: the widest.
double clampedGap(double gap);

// `modules` as another preference set takes them over: the theme colour belongs to the menu bar
// alone, so the colours keep the theme entry of `themeSource` (none when it has none).
ModuleLook withThemeOf(ModuleLook modules, const ModuleColors& themeSource);

// The floating bar's look as its strip and details show it: the menu bar's theme colour stands
// in for a theme of its own.
StripLook withThemeColor(StripLook look, PaletteColor theme);

} // namespace pulsedeck
