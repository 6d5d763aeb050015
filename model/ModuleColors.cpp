#include "model/ModuleColors.h"

#include <limits>

namespace pulsedeck {

namespace {

std::optional<PaletteColor> paletteEntry(std::int64_t value) {
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return paletteColor(static_cast<int>(value));
}

} // namespace

std::optional<PaletteColor> ModuleColors::entry(std::string_view key) const {
    auto found = values.find(key);
    if (found == values.end()) {
        return std::nullopt;
    }
    return paletteEntry(found->second);
}

PaletteColor ModuleColors::color(ColorSlot slot, bool blueDefault) const {
    if (auto own = entry(toString(slot))) {
        return *own;
    }
    if (auto theme = entry(toString(ColorSlot::theme))) {
        return *theme;
    }
    return blueDefault ? PaletteColor::blue : PaletteColor::green;
}

std::optional<PaletteColor> ModuleColors::explicitColor(ColorSlot slot) const {
    return entry(toString(slot));
}

void ModuleColors::setColor(std::optional<PaletteColor> color, ColorSlot slot) {
    auto key = std::string(toString(slot));
    if (color) {
        values[key] = rawValue(*color);
    } else {
        values.erase(key);
    }
}

bool ModuleColors::keepsStoredEntry(std::string_view key, std::int64_t value) {
    return parseColorSlot(key).has_value() && paletteEntry(value).has_value();
}

ModuleColors
ModuleColors::fromStored(const std::map<std::string, std::int64_t, std::less<>>& stored) {
    ModuleColors colors;
    for (const auto& [key, value] : stored) {
        if (keepsStoredEntry(key, value)) {
            colors.values.emplace(key, value);
        }
    }
    return colors;
}

} // namespace pulsedeck
