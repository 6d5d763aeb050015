#include "floating/FloatingStripSettings.h"

namespace pulsedeck {

namespace {

constexpr double floatingEdgePadding = 2.5;
constexpr double extraHeight = 5;

} // namespace

StripSettings floatingStripSettings(const StripLook& bar, PaletteColor theme, bool fanAvailable) {
    return {.look = withThemeColor(bar, theme),
            .normalBlue = theme == PaletteColor::blue,
            .fanAvailable = fanAvailable};
}

StripEnvironment floatingStripEnvironment(double statusHeight) {
    return {.height = statusHeight + extraHeight, .edgePadding = floatingEdgePadding};
}

} // namespace pulsedeck
