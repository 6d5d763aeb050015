#include "statusbar/FrostedMaterial.h"

#include "platform/graphics/Context.h"

namespace pulsedeck {

namespace {

constexpr double darkTintWhite = 0.12;
constexpr double lightTintWhite = 0.96;
constexpr double tintAlpha = 0.72;

} // namespace

gfx::Color FrostedMaterial::tint(bool dark) {
    return gfx::Color::grey(dark ? darkTintWhite : lightTintWhite, tintAlpha);
}

void FrostedMaterial::drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) {
    context.setFillColor(tint(effectiveAppearance() == gfx::Appearance::dark));
    context.fillRect(dirtyRect);
}

} // namespace pulsedeck
