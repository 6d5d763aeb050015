#include "floating/FloatingStripSettings.h"

namespace pulsedeck {

namespace {

constexpr double floatingEdgePadding = 2.5;
constexpr double extraHeight = 5;

} // namespace

StripSettings stripSettings(const FloatingPreferences& look, bool fanAvailable) {
    StripSettings settings;
    for (ModuleKind kind : allModuleKinds)
        if (!look.hidden.contains(kind) && (kind != ModuleKind::fan || fanAvailable))
            settings.shown.insert(kind);
    settings.order = look.order;
    settings.colors = look.colors;
    settings.styles = look.styles;
    settings.chartLength = look.chartLength;
    settings.gap = look.gap;
    settings.appearance = look.appearance;
    return settings;
}

StripSettings floatingStripSettings(const FloatingPreferences& preferences, PaletteColor theme,
                                    bool fanAvailable) {
    StripSettings settings = stripSettings(preferences, fanAvailable);
    settings.colors.values.insert_or_assign(std::string(toString(ColorSlot::theme)),
                                            rawValue(theme));
    settings.normalBlue = theme == PaletteColor::blue;
    return settings;
}

StripEnvironment floatingStripEnvironment(double statusHeight) {
    return {.height = statusHeight + extraHeight, .edgePadding = floatingEdgePadding};
}

} // namespace pulsedeck
