#include "statusbar/CapsuleImage.h"

#include "drawing/RenderedBitmapImage.h"
#include "statusbar/MetricStatusDrawing.h"

#include <algorithm>
#include <list>

namespace pulsedeck {

namespace {

constexpr double imageScale = 2;
// More than the strip has modules, so each keeps its own from one second to the next.
constexpr std::size_t keptSizes = 8;

struct KeptCapsule {
    gfx::Size size;
    bool dark = false;
    gfx::Image image;
};

// The capsule alone in an image of the size, rendered as every module image is; nothing when the
// image has no pixels.
const gfx::Bitmap* keptCapsule(gfx::Size size, bool dark) {
    // Most recently used first.
    thread_local std::list<KeptCapsule> kept;
    auto found = std::find_if(kept.begin(), kept.end(), [&](const KeptCapsule& capsule) {
        return capsule.size == size && capsule.dark == dark;
    });
    if (found != kept.end()) {
        kept.splice(kept.begin(), kept, found);
    } else {
        gfx::Image capsule = gfx::Image::withDrawingHandler(
            size, false, [dark](gfx::Context& context, const gfx::Rect& rect) {
                fillCapsule(context, dark, rect);
                return true;
            });
        kept.push_front({size, dark, renderedBitmapImage(capsule, imageScale, dark)});
        if (kept.size() > keptSizes) {
            kept.pop_back();
        }
    }
    const gfx::Bitmap* pixels = kept.front().image.bitmap();
    return pixels && !pixels->isEmpty() ? pixels : nullptr;
}

} // namespace

gfx::Image renderedCapsuleImage(gfx::Size size, bool dark, const OverCapsule& over) {
    gfx::Image image = gfx::Image::withDrawingHandler(size, false, over);
    if (const gfx::Bitmap* capsule = keptCapsule(size, dark)) {
        return gfx::renderedBitmapImage(image, *capsule,
                                        dark ? gfx::Appearance::dark : gfx::Appearance::light);
    }
    return renderedBitmapImage(image, imageScale, dark);
}

} // namespace pulsedeck
