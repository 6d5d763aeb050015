#pragma once

#include "platform/graphics/Context.h"
#include "platform/toolkit/TrackingArea.h"
#include "platform/toolkit/View.h"

#include <memory>

namespace pulsedeck {

// Replaces the view's hover area with a fresh one: entered and exited, always active, over the
// visible rect (so it follows what is shown of the view). Hover-aware views call it from
// updateTrackingAreas.
void replaceHoverTrackingArea(ui::View& view, std::shared_ptr<ui::TrackingArea>& area);

// The icon buttons' soft highlight while hovered: the bounds inset by 1, corner radius 6, in the
// label colour at alpha 0.08.
void drawHoverHighlight(gfx::Context& context, const gfx::Rect& bounds);

} // namespace pulsedeck
