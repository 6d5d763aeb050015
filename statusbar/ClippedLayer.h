#pragma once

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

#include <functional>

namespace pulsedeck {

// Draws into a layer composited once through the clip (gfx::ShapedLayer): the many small shapes
// of a chart or a module's capsule no longer each pay for a curved clip, which made a chart
// several times dearer to redraw every second. A layer inside another still pays: inside a layer
// the clip is a plain rect, and the inner curved clip would be rasterised again for every shape.
void drawThroughClip(gfx::Context& context, const gfx::Path& clip,
                     const std::function<void()>& draw);

} // namespace pulsedeck
