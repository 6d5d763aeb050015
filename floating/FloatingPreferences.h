#pragma once

#include "model/StripLook.h"
#include "platform/foundation/PropertyValue.h"

#include <string_view>
#include <utility>

namespace pulsedeck {

// The floating bar's own look, so the bar can look unlike the menu-bar strip. Stored under
// "floatingPreferences" as a versioned dictionary of 19 entries.
struct FloatingPreferences {
    // Its colours never hold a "theme" entry when read: the bar's theme is the menu bar's.
    StripLook look;

    static constexpr std::string_view defaultsKey = "floatingPreferences";
    static constexpr std::int64_t schema = 1;

    FloatingPreferences() = default;
    explicit FloatingPreferences(StripLook look) : look(std::move(look)) {}

    // Reads a stored dictionary over `fallback`; never fails. Another schema (or none) gives the
    // fallback exactly as it is. Otherwise each entry that is missing, of another kind or out of
    // its set gives the fallback's value for that field ("collapsed" gives the empty set), and
    // the numbers are kept within the look's bounds.
    //
    // Kinds are strict: a Boolean is not a number, an integer entry serves a real field, an
    // integral real serves an integer field, and a real that is not finite reads as unreadable.
    FloatingPreferences(const foundation::PropertyDictionary& dictionary,
                        const FloatingPreferences& fallback);

    // The 19 entries; sets as their raw names sorted, so one set always writes one array.
    foundation::PropertyDictionary dictionaryRepresentation() const;

    bool operator==(const FloatingPreferences&) const = default;
};

} // namespace pulsedeck
