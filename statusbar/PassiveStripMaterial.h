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

    // The glass shows only where this image (drawn over the bounds) is opaque; everywhere when
    // there is none.
    std::optional<gfx::Image> maskImage;

    ui::View* hitTest(gfx::Point) override { return nullptr; }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
};

} // namespace pulsedeck
