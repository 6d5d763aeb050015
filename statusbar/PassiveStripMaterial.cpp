#include "statusbar/PassiveStripMaterial.h"

#include "platform/graphics/TransparencyLayer.h"

namespace pulsedeck {

void PassiveStripMaterial::drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) {
    if (!maskImage) {
        FrostedMaterial::drawRect(context, dirtyRect);
        return;
    }
    const gfx::Rect area = dirtyRect.intersection(maskRect);
    if (area.isEmpty())
        return;
    gfx::TransparencyLayer layer(context, 1, area);
    FrostedMaterial::drawRect(context, area);
    gfx::ImageDrawOptions options;
    options.operation = gfx::CompositingOperation::destinationIn;
    maskImage->draw(context, maskRect, options);
}

} // namespace pulsedeck
