#pragma once

#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ShapeMaskCache.h"

#include <functional>
#include <list>
#include <optional>
#include <span>

namespace pulsedeck {

// What a module image draws over its capsule, in the image's rect; the answer of a drawing
// handler.
using OverCapsule = std::function<bool(gfx::Context& context, const gfx::Rect& rect)>;

// The bare capsules module images are drawn on, one per size and appearance, kept by the strip
// that shows the images. The modules' images are drawn anew every second, each on the same
// capsule: filling it each time costs 1,013–1,104 µs of processor time a second of the program
// instead of 930–1,001 (bench/WholeProgramBench, medians of three runs side by side). The masks
// of the shapes the images' charts are painted through, the same every second, are kept here as
// well. Main thread.
class CapsuleCache {
public:
    // The capsule alone in an image of the size, rendered as every module image is; nothing when
    // the image has no pixels.
    const gfx::Bitmap* capsule(gfx::Size size, bool dark);
    // Where the module images drawn on these capsules keep their shapes' masks.
    gfx::ShapeMaskCache& shapeMasks() { return shapeMasks_; }

private:
    struct Kept {
        gfx::Size size;
        bool dark = false;
        gfx::Image image;
    };
    // Most recently used first.
    std::list<Kept> kept_;
    gfx::ShapeMaskCache shapeMasks_;
};

// A module image of the size rendered at scale 2 on its capsule (fillCapsule): the pixels of
// filling the capsule into a fresh bitmap and drawing over it, but the capsule is copied from the
// cache rather than filled again.
gfx::Image renderedCapsuleImage(CapsuleCache& capsules, gfx::Size size, bool dark,
                                const OverCapsule& over);

// `previous`, an image renderedCapsuleImage made at the same appearance, with the pixels the
// areas touch turned back to the bare capsule and `over` drawn again, clipped to them; the rest of
// its pixels kept. `over` must draw the whole image: whatever it draws outside the areas is cut
// away, so the areas must hold every pixel that differs from `previous`. The pixels are drawn
// over where they lie when no other copy of `previous` shows them, else in a copy. Nothing when
// `previous` has no pixels of its own at that scale.
std::optional<gfx::Image> redrawnCapsuleAreas(CapsuleCache& capsules, gfx::Image previous,
                                              bool dark, std::span<const gfx::Rect> areas,
                                              const OverCapsule& over);

} // namespace pulsedeck
