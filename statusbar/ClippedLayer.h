#pragma once

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

#include <functional>

namespace pulsedeck {

// Draws into an offscreen layer and composites the layer once, source-over, through the clip:
// the same pixels as drawing under the clip, but the many small shapes of a chart or a module's
// capsule no longer each pay for a curved clip, which made a chart several times dearer to redraw
// every second. Where drawn shapes overlap the clip's soft edge, the edge is applied to them once,
// together, rather than to each, which shades those few pixels slightly otherwise. A layer inside
// another still pays: inside a layer the clip is a plain rect, and the inner curved clip would be
// rasterised again for every shape. The
// drawing still goes through the context (its state, its recorder); the context's state is as it
// was afterwards.
void drawThroughClip(gfx::Context& context, const gfx::Path& clip,
                     const std::function<void()>& draw);

} // namespace pulsedeck
