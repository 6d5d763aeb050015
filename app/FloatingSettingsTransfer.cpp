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
    floating.styles = main.styles;
    floating.chartLength = main.chartLength;
    floating.gap = main.fanGap;
    floating.colors = withThemeOf(main.moduleColors, floating.colors);
}

void returnFloatingToMain(const FloatingPreferences& floating, Preferences& main) {
    main.moduleOrder = floating.order;
    for (ModuleKind kind : allModuleKinds)
        main.*enabledSwitch(kind) = !floating.hidden.contains(kind);
    main.styles = floating.styles;
    main.chartLength = floating.chartLength;
    main.fanGap = floating.gap;
    main.moduleColors = withThemeOf(floating.colors, main.moduleColors);
}

} // namespace pulsedeck
