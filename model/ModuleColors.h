#pragma once

#include "model/Modules.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace pulsedeck {

// The user's colour per slot: slot raw name → palette raw value, persisted unchanged as
// "moduleColors". A slot without an entry follows `theme`; `theme` follows the blue-default flag.
struct ModuleColors {
    // Wide enough for any stored integer, so an out-of-range value never wraps into the palette.
    std::map<std::string, std::int64_t, std::less<>> values;

    // The slot's own colour, else the theme's, else blue (blueDefault) or green. Entries outside
    // the palette count as absent.
    PaletteColor color(ColorSlot slot, bool blueDefault) const;

    // The slot's own colour alone, without any fallback.
    std::optional<PaletteColor> explicitColor(ColorSlot slot) const;

    // Stores the colour under the slot's name, or removes the slot's entry for no colour.
    void setColor(std::optional<PaletteColor> color, ColorSlot slot);

    // Whether a stored entry is kept when the map is read back: a known slot and a palette value.
    static bool keepsStoredEntry(std::string_view key, std::int64_t value);

    // The stored map with only the entries that keepsStoredEntry keeps.
    static ModuleColors fromStored(const std::map<std::string, std::int64_t, std::less<>>& stored);

    bool operator==(const ModuleColors&) const = default;

private:
    std::optional<PaletteColor> entry(std::string_view key) const;
};

} // namespace pulsedeck
