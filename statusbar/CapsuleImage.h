#pragma once

#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

#include <functional>

namespace pulsedeck {

// What a module image draws over its capsule, in the image's rect; the answer of a drawing
// handler.
using OverCapsule = std::function<bool(gfx::Context& context, const gfx::Rect& rect)>;

// A module image of the size rendered at scale 2 on its capsule (fillCapsule): the pixels of
// filling the capsule into a fresh bitmap and drawing over it, but the capsule is copied from the
// last image of the same size and appearance rather than filled again. The modules' images are
// drawn anew every second, each on the same capsule: filling it each time costs 990 µs a second
// of the program instead of 900 (bench/WholeProgramBench). Main thread.
gfx::Image renderedCapsuleImage(gfx::Size size, bool dark, const OverCapsule& over);

} // namespace pulsedeck
