#pragma once

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

#include <functional>

namespace pulsedeck {

// Draws into an offscreen layer and composites the layer once, source-over, through the clip:
// the same pixels as drawing under the clip, but the charts' many small shapes no longer each
// pay for a curved clip, which made a chart several times dearer to redraw every second. The
// drawing still goes through the context (its state, its recorder); the context's state is as it
// was afterwards.
void drawThroughClip(gfx::Context& context, const gfx::Path& clip,
                     const std::function<void()>& draw);

} // namespace pulsedeck
