#include "statusbar/PassiveStripMaterial.h"

#include "platform/graphics/TransparencyLayer.h"

namespace pulsedeck {

void PassiveStripMaterial::drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) {
    if (!maskImage) {
        FrostedMaterial::drawRect(context, dirtyRect);
        return;
    }
    gfx::TransparencyLayer layer(context, 1);
    FrostedMaterial::drawRect(context, dirtyRect);
    gfx::ImageDrawOptions options;
    options.operation = gfx::CompositingOperation::destinationIn;
    maskImage->draw(context, bounds(), options);
}

} // namespace pulsedeck
