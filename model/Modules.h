#pragma once

#include "platform/graphics/Color.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pulsedeck {

// The six modules, in canonical order (also the default module order). Where no module is meant
// the value is an empty std::optional<ModuleKind>.
enum class ModuleKind { memory, fan, network, temperature, compute, devices };

inline constexpr std::array<ModuleKind, 6> allModuleKinds = {
    ModuleKind::memory,      ModuleKind::fan,     ModuleKind::network,
    ModuleKind::temperature, ModuleKind::compute, ModuleKind::devices};

// The raw value: the case name ("memory", …).
std::string_view toString(ModuleKind kind);

// The module with exactly that raw name (case-sensitive).
std::optional<ModuleKind> parseModuleKind(std::string_view rawName);

// A stored or reported order made whole: known names in their first occurrence, then every
// module not yet named in canonical order. Always six entries.
std::vector<ModuleKind> parseOrder(const std::vector<std::string>& stored);
std::vector<ModuleKind> completeOrder(const std::vector<ModuleKind>& order);

// The colourable elements. `theme` is the colour every other slot falls back to, and the accent.
enum class ColorSlot { theme, memory, fan, network, temperature, cpu, gpu, devices };

inline constexpr std::array<ColorSlot, 8> allColorSlots = {
    ColorSlot::theme,       ColorSlot::memory, ColorSlot::fan, ColorSlot::network,
    ColorSlot::temperature, ColorSlot::cpu,    ColorSlot::gpu, ColorSlot::devices};

std::string_view toString(ColorSlot slot);
std::optional<ColorSlot> parseColorSlot(std::string_view rawName);

// The slots a module is coloured by: compute has cpu then gpu, every other module its own slot.
std::vector<ColorSlot> colorSlots(ModuleKind kind);

// The nine palette colours; stored as their integer raw value 0…8.
enum class PaletteColor { blue, green, teal, purple, pink, orange, red, yellow, indigo };

inline constexpr std::array<PaletteColor, 9> allPaletteColors = {
    PaletteColor::blue,   PaletteColor::green,  PaletteColor::teal,
    PaletteColor::purple, PaletteColor::pink,   PaletteColor::orange,
    PaletteColor::red,    PaletteColor::yellow, PaletteColor::indigo};

inline int rawValue(PaletteColor color) {
    return static_cast<int>(color);
}

// The colour with that raw value; nothing outside 0…8.
std::optional<PaletteColor> paletteColor(int rawValue);

// The palette colour as drawn: opaque sRGB.
gfx::Color toColor(PaletteColor color);

enum class AppearanceMode { system, light, dark };

std::string_view toString(AppearanceMode mode);
std::optional<AppearanceMode> parseAppearanceMode(std::string_view rawName);
// Whether the mode draws dark: light never, dark always, system as the system does.
bool appearsDark(AppearanceMode mode, bool systemDark);

enum class DetailPresentation { details, overview };

std::string_view toString(DetailPresentation presentation);
std::optional<DetailPresentation> parseDetailPresentation(std::string_view rawName);

// Stored as its integer raw value 0…2 under "fanAnimation".
enum class FanAnimationMode { off, efficient, smooth };

inline int rawValue(FanAnimationMode mode) {
    return static_cast<int>(mode);
}

// The mode with that raw value; nothing outside 0…2 (readers then take `smooth`).
std::optional<FanAnimationMode> fanAnimationMode(int rawValue);

} // namespace pulsedeck
