#include "app/DetailStateBuilder.h"

#include "app/FloatingSettingsTransfer.h"

namespace pulsedeck {

namespace {

// The menu bar's look in the floating bar's terms.
FloatingPreferences mainLook(const Preferences& main) {
    FloatingPreferences look = floatingFallback(main);
    look.presentation = main.detailPresentation;
    look.collapsed = main.collapsedSections;
    look.colors = main.moduleColors;
    return look;
}

void blankOffModules(DetailReadings& readings, const ModuleTable<DetailModule>& modules) {
    const auto off = [&](ModuleKind kind) { return !modules[kind].on(); };
    if (off(ModuleKind::memory)) {
        readings.memory = memoryPlaceholder();
        readings.memoryHistory.clear();
    }
    if (off(ModuleKind::fan)) {
        readings.fan = {};
        readings.fanHistory.clear();
    }
    if (off(ModuleKind::network)) {
        readings.network = {};
        readings.networkHistory.clear();
    }
    if (off(ModuleKind::temperature)) {
        readings.temperature = {};
        readings.temperatureHistory.clear();
    }
    if (off(ModuleKind::compute)) {
        readings.compute = computePlaceholder();
        readings.computeHistory.clear();
    }
    if (off(ModuleKind::devices))
        readings.devices.clear();
}

} // namespace

DetailState detailState(const Preferences& main, const FloatingPreferences* floating,
                        const DetailContext& context, DetailReadings readings) {
    const FloatingPreferences look = floating ? *floating : mainLook(main);
    DetailState state;
    state.presentation = look.presentation;
    state.order = look.order;
    state.collapsed = look.collapsed;
    for (ModuleKind kind : allModuleKinds)
        state.modules[kind] = {.available = kind != ModuleKind::fan || context.fanAvailable,
                               .enabled = !look.hidden.contains(kind)};
    state.styles = look.styles;
    state.moduleColors = look.colors;
    // The bar has no theme colour of its own: it shows the menu bar's.
    if (floating)
        state.moduleColors.setColor(main.moduleColors.color(ColorSlot::theme, main.normalBlue),
                                    ColorSlot::theme);
    state.normalBlue = main.normalBlue;
    state.stripOpacity = look.opacity;
    state.chartLength = look.chartLength;
    state.fanGap = look.gap;
    state.historyCapacity = context.historyCapacity;
    state.language = context.language;
    state.languageSelection = main.languageSelection;
    state.appearanceMode = look.appearance;
    state.floatingMode = main.floatingMode;
    state.hideInFullscreen = look.hideInFullscreen;
    state.updateFrequency = context.updateFrequency;
    state.loginState = context.loginState;
    state.loginFailed = context.loginFailed;
    blankOffModules(readings, state.modules);
    state.readings = std::move(readings);
    return state;
}

DetailReadings detailReadings(const SamplingState& sampling) {
    return {.memory = sampling.latest,
            .memoryHistory = sampling.history,
            .fan = sampling.fanSnapshot,
            .fanHistory = sampling.fanHistory,
            .network = sampling.networkSnapshot,
            .networkHistory = sampling.networkHistory,
            .temperature = sampling.temperatureSnapshot,
            .temperatureHistory = sampling.temperatureHistory,
            .compute = sampling.computeSnapshot,
            .computeHistory = sampling.computeHistory,
            .devices = sampling.devicesSnapshot.devices};
}

} // namespace pulsedeck
