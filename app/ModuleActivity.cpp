#include "app/ModuleActivity.h"

namespace pulsedeck {

bool isShownFloating(ModuleKind kind, const Preferences& settings,
                     const std::optional<FloatingPreferences>& floating) {
    return settings.floatingMode != FloatingMode::none && floating &&
           floating->look.modules.shows(kind);
}

bool isModuleActive(ModuleKind kind, const Preferences& settings,
                    const std::optional<FloatingPreferences>& floating) {
    return settings.look.modules.shows(kind) || isShownFloating(kind, settings, floating);
}

SampleFlags activeModules(const Preferences& settings,
                          const std::optional<FloatingPreferences>& floating) {
    auto active = [&](ModuleKind kind) { return isModuleActive(kind, settings, floating); };
    return SampleFlags{
        .memory = active(ModuleKind::memory),
        .fan = active(ModuleKind::fan),
        .network = active(ModuleKind::network),
        .temperature = active(ModuleKind::temperature),
        .compute = active(ModuleKind::compute),
        .devices = active(ModuleKind::devices),
    };
}

SampleFlags requestFlags(const Preferences& settings,
                         const std::optional<FloatingPreferences>& floating, bool fanAvailable) {
    auto flags = activeModules(settings, floating);
    flags.fan = fanAvailable && flags.fan;
    return flags;
}

} // namespace pulsedeck
