#include "model/Modules.h"

#include <algorithm>

namespace pulsedeck {

namespace {

template <typename Enum, std::size_t N>
std::optional<Enum> parseNamed(std::string_view rawName, const std::array<Enum, N>& cases) {
    for (auto value : cases) {
        if (toString(value) == rawName) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace

std::string_view toString(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::memory:
        return "memory";
    case ModuleKind::fan:
        return "fan";
    case ModuleKind::network:
        return "network";
    case ModuleKind::temperature:
        return "temperature";
    case ModuleKind::compute:
        return "compute";
    case ModuleKind::devices:
        return "devices";
    }
    return {};
}

std::optional<ModuleKind> parseModuleKind(std::string_view rawName) {
    return parseNamed(rawName, allModuleKinds);
}

std::vector<ModuleKind> parseOrder(const std::vector<std::string>& stored) {
    std::vector<ModuleKind> order;
    auto contains = [&order](ModuleKind kind) {
        return std::find(order.begin(), order.end(), kind) != order.end();
    };
    for (const auto& name : stored) {
        if (auto kind = parseModuleKind(name); kind && !contains(*kind)) {
            order.push_back(*kind);
        }
    }
    for (auto kind : allModuleKinds) {
        if (!contains(kind)) {
            order.push_back(kind);
        }
    }
    return order;
}

std::vector<ModuleKind> completeOrder(const std::vector<ModuleKind>& order) {
    std::vector<std::string> names;
    for (auto kind : order)
        names.emplace_back(toString(kind));
    return parseOrder(names);
}

std::string_view toString(ColorSlot slot) {
    switch (slot) {
    case ColorSlot::theme:
        return "theme";
    case ColorSlot::memory:
        return "memory";
    case ColorSlot::fan:
        return "fan";
    case ColorSlot::network:
        return "network";
    case ColorSlot::temperature:
        return "temperature";
    case ColorSlot::cpu:
        return "cpu";
    case ColorSlot::gpu:
        return "gpu";
    case ColorSlot::devices:
        return "devices";
    }
    return {};
}

std::optional<ColorSlot> parseColorSlot(std::string_view rawName) {
    return parseNamed(rawName, allColorSlots);
}

std::vector<ColorSlot> colorSlots(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::memory:
        return {ColorSlot::memory};
    case ModuleKind::fan:
        return {ColorSlot::fan};
    case ModuleKind::network:
        return {ColorSlot::network};
    case ModuleKind::temperature:
        return {ColorSlot::temperature};
    case ModuleKind::compute:
        return {ColorSlot::cpu, ColorSlot::gpu};
    case ModuleKind::devices:
        return {ColorSlot::devices};
    }
    return {};
}

std::optional<PaletteColor> paletteColor(int rawValue) {
    if (rawValue < 0 || rawValue > 8) {
        return std::nullopt;
    }
    return static_cast<PaletteColor>(rawValue);
}

gfx::Color toColor(PaletteColor color) {
    switch (color) {
    case PaletteColor::blue:
        return gfx::Color::srgb(0.16, 0.58, 1.0);
    case PaletteColor::green:
        return gfx::Color::srgb(0.0, 0.82, 0.09);
    case PaletteColor::teal:
        return gfx::Color::srgb(0.19, 0.69, 0.78);
    case PaletteColor::purple:
        return gfx::Color::srgb(0.75, 0.35, 0.95);
    case PaletteColor::pink:
        return gfx::Color::srgb(1.0, 0.24, 0.64);
    case PaletteColor::orange:
        return gfx::Color::srgb(1.0, 0.62, 0.04);
    case PaletteColor::red:
        return gfx::Color::srgb(1.0, 0.23, 0.19);
    case PaletteColor::yellow:
        return gfx::Color::srgb(1.0, 0.84, 0.04);
    case PaletteColor::indigo:
        return gfx::Color::srgb(0.37, 0.36, 0.90);
    }
    return {};
}

std::string_view toString(AppearanceMode mode) {
    switch (mode) {
    case AppearanceMode::system:
        return "system";
    case AppearanceMode::light:
        return "light";
    case AppearanceMode::dark:
        return "dark";
    }
    return {};
}

std::optional<AppearanceMode> parseAppearanceMode(std::string_view rawName) {
    return parseNamed(
        rawName, std::array{AppearanceMode::system, AppearanceMode::light, AppearanceMode::dark});
}

bool appearsDark(AppearanceMode mode, bool systemDark) {
    switch (mode) {
    case AppearanceMode::light:
        return false;
    case AppearanceMode::dark:
        return true;
    case AppearanceMode::system:
        return systemDark;
    }
    return systemDark;
}

std::string_view toString(DetailPresentation presentation) {
    switch (presentation) {
    case DetailPresentation::details:
        return "details";
    case DetailPresentation::overview:
        return "overview";
    }
    return {};
}

std::optional<DetailPresentation> parseDetailPresentation(std::string_view rawName) {
    return parseNamed(rawName,
                      std::array{DetailPresentation::details, DetailPresentation::overview});
}

std::optional<FanAnimationMode> fanAnimationMode(int rawValue) {
    if (rawValue < 0 || rawValue > 2) {
        return std::nullopt;
    }
    return static_cast<FanAnimationMode>(rawValue);
}

} // namespace pulsedeck
