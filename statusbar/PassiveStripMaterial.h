#pragma once

#include "statusbar/FrostedMaterial.h"

namespace pulsedeck {

// The frosted background under a strip drawn in an overlay: the pointer passes through it to
// the surface that holds it.
class PassiveStripMaterial : public FrostedMaterial {
public:
    using FrostedMaterial::FrostedMaterial;

    ui::View* hitTest(gfx::Point) override { return nullptr; }
};

} // namespace pulsedeck
