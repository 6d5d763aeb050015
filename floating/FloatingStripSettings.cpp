#include "floating/FloatingStripSettings.h"

namespace pulsedeck {

namespace {

constexpr double floatingEdgePadding = 2.5;
constexpr double extraHeight = 5;

} // namespace

StripSettings floatingStripSettings(const FloatingPreferences& preferences, PaletteColor theme,
                                    bool fanAvailable) {
    StripSettings settings;
    for (ModuleKind kind : allModuleKinds)
        if (!preferences.hidden.contains(kind) && (kind != ModuleKind::fan || fanAvailable))
            settings.shown.insert(kind);
    settings.order = preferences.order;
    settings.colors = preferences.colors;
    settings.colors.values.insert_or_assign(std::string(toString(ColorSlot::theme)),
                                            rawValue(theme));
    settings.normalBlue = theme == PaletteColor::blue;
    settings.memoryMode = preferences.displayMode;
    settings.memoryShowChart = preferences.memoryShowChart;
    settings.networkShowChart = preferences.networkShowChart;
    settings.networkColored = preferences.networkColored;
    settings.temperatureMode = preferences.temperatureMode;
    settings.computeMode = preferences.computeMode;
    settings.fanMode = preferences.fanMode;
    settings.fanAnimation = preferences.fanAnimation;
    settings.chartLength = preferences.chartLength;
    settings.gap = preferences.gap;
    settings.appearance = preferences.appearance;
    return settings;
}

StripEnvironment floatingStripEnvironment(double statusHeight) {
    return {.height = statusHeight + extraHeight, .edgePadding = floatingEdgePadding};
}

} // namespace pulsedeck
