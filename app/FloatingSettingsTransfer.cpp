#include "app/FloatingSettingsTransfer.h"

#include <string>

namespace pulsedeck {

namespace {

const std::string themeKey{toString(ColorSlot::theme)};

// `colors` with its theme entry taken from `themeSource`, or without one when it has none.
ModuleColors withThemeOf(ModuleColors colors, const ModuleColors& themeSource) {
    colors.values.erase(themeKey);
    if (auto theme = themeSource.values.find(themeKey); theme != themeSource.values.end())
        colors.values.insert_or_assign(themeKey, theme->second);
    return colors;
}

} // namespace

FloatingPreferences floatingFallback(const Preferences& main) {
    FloatingPreferences floating = FloatingPreferences::standard();
    seedFloating(floating, main);
    floating.appearance = main.appearanceMode;
    floating.opacity = main.floatingOpacity;
    floating.hideInFullscreen = main.hideInFullscreen;
    return floating;
}

void seedFloating(FloatingPreferences& floating, const Preferences& main) {
    floating.order = main.moduleOrder;
    for (ModuleKind kind : allModuleKinds) {
        if (main.*enabledSwitch(kind))
            floating.hidden.erase(kind);
        else
            floating.hidden.insert(kind);
    }
    floating.displayMode = main.displayMode;
    floating.fanMode = main.fanMode;
    floating.fanAnimation = main.fanAnimation;
    floating.computeMode = main.computeMode;
    floating.temperatureMode = main.temperatureMode;
    floating.chartLength = main.chartLength;
    floating.gap = main.fanGap;
    floating.memoryShowChart = main.memoryShowChart;
    floating.networkShowChart = main.networkShowChart;
    floating.networkColored = main.networkColored;
    floating.colors = withThemeOf(main.moduleColors, floating.colors);
}

void returnFloatingToMain(const FloatingPreferences& floating, Preferences& main) {
    main.moduleOrder = floating.order;
    for (ModuleKind kind : allModuleKinds)
        main.*enabledSwitch(kind) = !floating.hidden.contains(kind);
    main.displayMode = floating.displayMode;
    main.fanMode = floating.fanMode;
    main.fanAnimation = floating.fanAnimation;
    main.computeMode = floating.computeMode;
    main.temperatureMode = floating.temperatureMode;
    main.chartLength = floating.chartLength;
    main.fanGap = floating.gap;
    main.memoryShowChart = floating.memoryShowChart;
    main.networkShowChart = floating.networkShowChart;
    main.networkColored = floating.networkColored;
    main.moduleColors = withThemeOf(floating.colors, main.moduleColors);
}

} // namespace pulsedeck
