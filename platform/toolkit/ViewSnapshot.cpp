#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/View.h"

namespace ui {

std::optional<gfx::Image> snapshotImage(View& view, double scale) {
    const gfx::Rect bounds = view.bounds();
    if (bounds.isEmpty() || !(scale > 0))
        return std::nullopt;
    gfx::Bitmap bitmap = gfx::Bitmap::forPointSize(bounds.size, scale);
    if (bitmap.isEmpty())
        return std::nullopt;
    {
        gfx::Context context(bitmap, view.effectiveAppearance());
        if (view.isFlipped()) {
            context.translate(0, bounds.height());
            context.scale(1, -1);
        }
        context.translate(-bounds.x(), -bounds.y());
        view.drawHierarchy(context, bounds);
    }
    return gfx::Image::withBitmap(std::move(bitmap));
}

} // namespace ui
