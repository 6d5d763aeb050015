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

std::vector<PreferenceEntry> returnFloatingToMain(const FloatingPreferences& floating,
                                                  Preferences& main) {
    namespace Key = PreferenceKey;
    using foundation::PropertyValue;
    std::vector<PreferenceEntry> entries;

    main.moduleOrder = floating.order;
    foundation::PropertyArray order;
    for (ModuleKind kind : floating.order)
        order.emplace_back(std::string(toString(kind)));
    entries.emplace_back(Key::moduleOrder, std::move(order));

    for (ModuleKind kind : allModuleKinds) {
        const bool enabled = !floating.hidden.contains(kind);
        main.*enabledSwitch(kind) = enabled;
        entries.emplace_back(enabledKey(kind), enabled);
    }

    main.displayMode = floating.displayMode;
    entries.emplace_back(Key::displayMode, std::int64_t{rawValue(floating.displayMode)});
    main.fanMode = floating.fanMode;
    entries.emplace_back(Key::fanDisplayMode, std::int64_t{rawValue(floating.fanMode)});
    main.fanAnimation = floating.fanAnimation;
    entries.emplace_back(Key::fanAnimation, std::int64_t{rawValue(floating.fanAnimation)});
    main.computeMode = floating.computeMode;
    entries.emplace_back(Key::computeDisplay, std::int64_t{rawValue(floating.computeMode)});
    main.temperatureMode = floating.temperatureMode;
    entries.emplace_back(Key::temperatureDisplay, std::int64_t{rawValue(floating.temperatureMode)});
    main.chartLength = floating.chartLength;
    entries.emplace_back(Key::chartLength, floating.chartLength);
    main.fanGap = floating.gap;
    entries.emplace_back(Key::fanGap, floating.gap);
    main.memoryShowChart = floating.memoryShowChart;
    entries.emplace_back(Key::memoryShowChart, floating.memoryShowChart);
    main.networkShowChart = floating.networkShowChart;
    entries.emplace_back(Key::networkShowChart, floating.networkShowChart);
    main.networkColored = floating.networkColored;
    entries.emplace_back(Key::networkColored, floating.networkColored);

    main.moduleColors = withThemeOf(floating.colors, main.moduleColors);
    foundation::PropertyDictionary colors;
    for (const auto& [slot, color] : main.moduleColors.values)
        colors.emplace(slot, color);
    entries.emplace_back(Key::moduleColors, std::move(colors));
    return entries;
}

} // namespace pulsedeck
