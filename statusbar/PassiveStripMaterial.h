#pragma once

#include "platform/graphics/Image.h"
#include "statusbar/FrostedMaterial.h"

#include <optional>

namespace pulsedeck {

// The frosted background under a strip drawn in an overlay: the pointer passes through it to
// the surface that holds it.
class PassiveStripMaterial : public FrostedMaterial {
public:
    using FrostedMaterial::FrostedMaterial;

    // The glass shows only where this image, drawn into maskRect of the bounds, is opaque
    // (nowhere outside maskRect); everywhere when there is none. A mask smaller than the view
    // keeps the redraw to the part that can show.
    std::optional<gfx::Image> maskImage;
    gfx::Rect maskRect;

    ui::View* hitTest(gfx::Point) override { return nullptr; }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
};

} // namespace pulsedeck
