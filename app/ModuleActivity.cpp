#include "app/ModuleActivity.h"

namespace pulsedeck {

namespace {

bool switchOf(ModuleKind kind, const Preferences& settings) {
    switch (kind) {
    case ModuleKind::memory:
        return settings.memoryEnabled;
    case ModuleKind::fan:
        return settings.fanEnabled;
    case ModuleKind::network:
        return settings.networkEnabled;
    case ModuleKind::temperature:
        return settings.temperatureEnabled;
    case ModuleKind::compute:
        return settings.computeEnabled;
    case ModuleKind::devices:
        return settings.devicesEnabled;
    }
    return false;
}

} // namespace

bool isModuleActive(ModuleKind kind, const Preferences& settings,
                    const std::optional<FloatingPreferences>& floating) {
    if (switchOf(kind, settings))
        return true;
    return settings.floatingMode != FloatingMode::none && floating &&
           !floating->hidden.contains(kind);
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
