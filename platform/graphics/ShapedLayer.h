#pragma once

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

namespace gfx {

// Everything drawn while it lives goes into an offscreen group over the device pixels of its
// bounds (in user space) that the clip can show, and is composited once, source over, through
// the shape when it goes (Context::paintThrough). Inside, the clip is that pixel rectangle alone:
// under a curved clip cairo rasterises the clip again for every fill, glyph run and image, while
// the layer pays for the shape once and, for a shape that is the same every time, only for its
// compositing. The same pixels as drawing under the shape's clip, but for the anti-aliased rim,
// which is covered once instead of once per drawing.
//
// The context's state is as it was before once the layer is gone; inside, it is unchanged but
// for the clip.
class ShapedLayer {
public:
    ShapedLayer(Context& context, Path shape, const Rect& bounds);
    ~ShapedLayer();
    ShapedLayer(const ShapedLayer&) = delete;
    ShapedLayer& operator=(const ShapedLayer&) = delete;

private:
    Context& context_;
    Path shape_;
};

} // namespace gfx
