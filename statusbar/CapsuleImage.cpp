#include "statusbar/CapsuleImage.h"

#include "drawing/RenderedBitmapImage.h"
#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Path.h"
#include "statusbar/MetricStatusDrawing.h"

#include <algorithm>
#include <cairo.h>

namespace pulsedeck {

namespace {

constexpr double imageScale = 2;
// More than the strip has modules, so each keeps its own from one second to the next.
constexpr std::size_t keptSizes = 8;

} // namespace

const gfx::Bitmap* CapsuleCache::capsule(gfx::Size size, bool dark) {
    auto found = std::find_if(kept_.begin(), kept_.end(), [&](const Kept& capsule) {
        return capsule.size == size && capsule.dark == dark;
    });
    if (found != kept_.end()) {
        kept_.splice(kept_.begin(), kept_, found);
    } else {
        gfx::Image capsule = gfx::Image::withDrawingHandler(
            size, false, [dark](gfx::Context& context, const gfx::Rect& rect) {
                fillCapsule(context, dark, rect);
                return true;
            });
        kept_.push_front({size, dark, renderedBitmapImage(capsule, imageScale, dark)});
        if (kept_.size() > keptSizes) {
            kept_.pop_back();
        }
    }
    const gfx::Bitmap* pixels = kept_.front().image.bitmap();
    return pixels && !pixels->isEmpty() ? pixels : nullptr;
}

gfx::Image renderedCapsuleImage(CapsuleCache& capsules, gfx::Size size, bool dark,
                                const OverCapsule& over) {
    gfx::Image image = gfx::Image::withDrawingHandler(size, false, over);
    if (const gfx::Bitmap* capsule = capsules.capsule(size, dark)) {
        return gfx::renderedBitmapImage(image, *capsule,
                                        dark ? gfx::Appearance::dark : gfx::Appearance::light,
                                        &capsules.shapeMasks());
    }
    return renderedBitmapImage(image, imageScale, dark);
}

std::optional<gfx::Image> redrawnCapsuleAreas(CapsuleCache& capsules, gfx::Image previous,
                                              bool dark, std::span<const gfx::Rect> areas,
                                              const OverCapsule& over) {
    const gfx::Size size = previous.size();
    const gfx::Bitmap* before = previous.bitmap();
    const gfx::Bitmap* capsule = capsules.capsule(size, dark);
    if (!before || !capsule || before->pixelsWide() != capsule->pixelsWide() ||
        before->pixelsHigh() != capsule->pixelsHigh() || before->size() != size) {
        return std::nullopt;
    }
    gfx::Bitmap bitmap = std::move(previous).takeBitmap();
    {
        gfx::Context context(bitmap, dark ? gfx::Appearance::dark : gfx::Appearance::light);
        context.setShapeMasks(&capsules.shapeMasks());
        // Whole pixels, so that the capsule comes back whole in each and nothing is drawn over
        // what was already there.
        const auto toPixels = gfx::AffineTransform::scaling(imageScale, imageScale);
        const auto toPoints = gfx::AffineTransform::scaling(1 / imageScale, 1 / imageScale);
        gfx::Path clip;
        for (const gfx::Rect& area : areas) {
            clip.appendRect(toPoints.apply(toPixels.apply(area).integral()));
        }
        context.clip(clip);
        cairo_t* cr = context.cairo();
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, capsule->surface(), 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
        over(context, {gfx::Point{}, size});
    }
    return gfx::Image::withBitmap(std::move(bitmap));
}

} // namespace pulsedeck
