#pragma once

#include "platform/graphics/Color.h"
#include "platform/toolkit/View.h"

namespace pulsedeck {

// A frosted material view. X11 has no blur of what lies behind a window, so the material is a
// translucent tint of its appearance, which the view's alpha scales. The blending mode, material
// and state are kept as the numbers the callers set.
class FrostedMaterial : public ui::View {
public:
    using ui::View::View;

    // 0 blends with what is behind the window, 1 with the window's own content.
    int blendingMode = 0;
    // 13 is the heads-up display material.
    int material = 0;
    // 0 follows the window's activity, 1 is always active, 2 always inactive.
    int state = 0;

    // The tint drawn for an appearance.
    static gfx::Color tint(bool dark);

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
};

} // namespace pulsedeck
