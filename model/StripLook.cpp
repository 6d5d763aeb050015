#include "model/StripLook.h"

#include "platform/graphics/Geometry.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace pulsedeck {

void ModuleLook::setShown(ModuleKind kind, bool shown) {
    if (shown)
        hidden.erase(kind);
    else
        hidden.insert(kind);
}

double clampedOpacity(double opacity) {
    if (!std::isfinite(opacity))
        return LookBounds::maximumOpacity;
    return std::clamp(opacity, LookBounds::minimumOpacity, LookBounds::maximumOpacity);
}

double clampedChartLength(double chartLength) {
    if (!std::isfinite(chartLength))
        return LookBounds::standardChart;
    return std::clamp(gfx::roundHalfAwayFromZero(chartLength), LookBounds::shortestChart,
                      LookBounds::longestChart);
}

double clampedGap(double gap) {
    if (std::isnan(gap) || gap < 0)
        return 0;
    return std::min(gap, LookBounds::widestGap);
}

ModuleLook withThemeOf(ModuleLook modules, const ModuleColors& themeSource) {
    const std::string themeKey{toString(ColorSlot::theme)};
    modules.colors.values.erase(themeKey);
    if (auto theme = themeSource.values.find(themeKey); theme != themeSource.values.end())
        modules.colors.values.insert_or_assign(themeKey, theme->second);
    return modules;
}

StripLook withThemeColor(StripLook look, PaletteColor theme) {
    look.modules.colors.setColor(theme, ColorSlot::theme);
    return look;
}

} // namespace pulsedeck
