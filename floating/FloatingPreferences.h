#pragma once

#include "model/ModuleColors.h"
#include "model/ModuleStyles.h"
#include "model/Modules.h"
#include "platform/foundation/PropertyValue.h"

#include <set>
#include <string_view>
#include <vector>

namespace pulsedeck {

// The floating bar's own copy of the display settings, so the bar can look unlike the menu-bar
// strip. Stored under "floatingPreferences" as a versioned dictionary of 19 entries.
struct FloatingPreferences {
    std::vector<ModuleKind> order{allModuleKinds.begin(), allModuleKinds.end()};
    std::set<ModuleKind> hidden;
    AppearanceMode appearance = AppearanceMode::system;
    double opacity = 1.0;
    ModuleStyles styles;
    // Points.
    double chartLength = 85;
    double gap = 8;
    // Never holds a "theme" entry when read: the bar's theme is the main settings' theme.
    ModuleColors colors;
    DetailPresentation presentation = DetailPresentation::details;
    std::set<ModuleKind> collapsed;
    bool hideInFullscreen = false;

    static constexpr std::string_view defaultsKey = "floatingPreferences";
    static constexpr std::int64_t schema = 1;

    FloatingPreferences() = default;

    // Reads a stored dictionary over `fallback`; never fails. Another schema (or none) gives the
    // fallback exactly as it is. Otherwise each entry that is missing, of another kind or out of
    // its set gives the fallback's value for that field ("collapsed" gives the empty set), and
    // the numbers are bounded: opacity 0.2…1.0, chart length a whole 16…160, gap 0…32.
    //
    // Kinds are strict: a Boolean is not a number, an integer entry serves a real field, an
    // integral real serves an integer field, and a real that is not finite reads as unreadable.
    FloatingPreferences(const foundation::PropertyDictionary& dictionary,
                        const FloatingPreferences& fallback);

    static FloatingPreferences standard() { return {}; }

    // The 19 entries; sets as their raw names sorted, so one set always writes one array.
    foundation::PropertyDictionary dictionaryRepresentation() const;

    bool operator==(const FloatingPreferences&) const = default;
};

} // namespace pulsedeck
