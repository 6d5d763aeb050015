#include "statusbar/StripForeground.h"

#include "platform/graphics/Context.h"
#include "statusbar/MenuBarContentView.h"

namespace pulsedeck {

void StripForeground::drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) {
    // Our views share one backing, so the layer of its own this view needs is a group: clearing
    // inside it leaves the glass below untouched.
    cairo_push_group(context.cairo());
    context.clearRect(dirtyRect);
    if (surface) {
        const gfx::Appearance windowAppearance = context.appearance();
        context.setAppearance(effectiveAppearance());
        surface->drawContent(context, dirtyRect);
        context.setAppearance(windowAppearance);
    }
    cairo_pop_group_to_source(context.cairo());
    cairo_paint(context.cairo());
}

} // namespace pulsedeck
