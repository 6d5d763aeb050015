#pragma once

#include "platform/graphics/Context.h"

#include <optional>

namespace gfx {

// Everything drawn while it lives goes into an offscreen group, composited onto the context at
// the end as one image with the given alpha. Inside,
// the alpha starts at 1, and clear erases only what the layer itself drew. A layer given the
// bounds of what it draws (in user space) only sets aside that part of the target, which is
// much cheaper than a whole window when the drawing is small.
class TransparencyLayer {
public:
    TransparencyLayer(Context& context, double alpha, std::optional<Rect> bounds = std::nullopt);
    ~TransparencyLayer();
    TransparencyLayer(const TransparencyLayer&) = delete;
    TransparencyLayer& operator=(const TransparencyLayer&) = delete;

private:
    Context& context_;
    double alpha_;
};

} // namespace gfx
