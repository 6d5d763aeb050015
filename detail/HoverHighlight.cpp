#include "detail/HoverHighlight.h"

#include "platform/graphics/Path.h"

namespace pulsedeck {

void replaceHoverTrackingArea(ui::View& view, std::shared_ptr<ui::TrackingArea>& area) {
    if (area)
        view.removeTrackingArea(area);
    area = std::make_shared<ui::TrackingArea>(gfx::Rect{},
                                              ui::Tracking::mouseEnteredAndExited |
                                                  ui::Tracking::activeAlways |
                                                  ui::Tracking::inVisibleRect,
                                              &view);
    view.addTrackingArea(area);
}

void drawHoverHighlight(gfx::Context& context, const gfx::Rect& bounds) {
    context.setFillColor(gfx::Color::label().withAlpha(0.08));
    context.fill(gfx::Path::roundedRect(bounds.insetBy(1, 1), 6, 6));
}

} // namespace pulsedeck
