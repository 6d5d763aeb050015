#pragma once

#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

#include <functional>
#include <optional>
#include <span>

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

// `previous`, an image renderedCapsuleImage made at the same appearance, with the pixels the
// areas touch turned back to the bare capsule and `over` drawn again, clipped to them; the rest of
// its pixels kept. `over` must draw the whole image: whatever it draws outside the areas is cut
// away, so the areas must hold every pixel that differs from `previous`. The pixels are drawn
// over where they lie when no other copy of `previous` shows them, else in a copy. Nothing when
// `previous` has no pixels of its own at that scale.
std::optional<gfx::Image> redrawnCapsuleAreas(gfx::Image previous, bool dark,
                                              std::span<const gfx::Rect> areas,
                                              const OverCapsule& over);

} // namespace pulsedeck
