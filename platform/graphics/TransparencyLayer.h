#pragma once

#include "platform/graphics/Context.h"

namespace gfx {

// Everything drawn while it lives goes into an offscreen group, composited onto the context at
// the end as one image with the given alpha, as the platform's transparency layers are. Inside,
// the alpha starts at 1, and clear erases only what the layer itself drew.
class TransparencyLayer {
public:
    TransparencyLayer(Context& context, double alpha);
    ~TransparencyLayer();
    TransparencyLayer(const TransparencyLayer&) = delete;
    TransparencyLayer& operator=(const TransparencyLayer&) = delete;

private:
    Context& context_;
    double alpha_;
};

} // namespace gfx
