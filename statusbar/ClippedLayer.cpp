#include "statusbar/ClippedLayer.h"

#include "platform/graphics/ShapedLayer.h"

namespace pulsedeck {

void drawThroughClip(gfx::Context& context, const gfx::Path& clip,
                     const std::function<void()>& draw) {
    const gfx::ShapedLayer layer(context, clip, clip.bounds());
    draw();
}

} // namespace pulsedeck
