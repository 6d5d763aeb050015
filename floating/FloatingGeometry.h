#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/toolkit/Screen.h"

#include <optional>
#include <vector>

namespace pulsedeck {

// Screen geometry of the floating bar, in screen points with y up.

// The area holding `point`, else the one whose centre is nearest to it (the earlier on a tie).
// `areas` must not be empty.
const gfx::Rect& areaNear(gfx::Point point, const std::vector<gfx::Rect>& areas);

// The dock anchor in the menu bar that a panel at `frame` is near enough to dock into: within
// 9% of the frame's width sideways (never under 24 or over 64 points) and within 95% of its
// height (at least 22 points) up or down. The nearest of those wins, the earlier on a tie.
std::optional<gfx::Rect> dockAnchor(const gfx::Rect& frame, const std::vector<gfx::Rect>& anchors);

// `frame` moved, at its size, 6 points inside the area near its centre. A frame too large for
// the area sits 6 points in from the area's minimum edge. No areas: the frame unchanged.
gfx::Rect clampFrame(const gfx::Rect& frame, const std::vector<gfx::Rect>& areas);

// Where a panel may rest on one screen: its visible frame, cut below the menu bar, the system
// status bar (`statusBarThickness` points) and any camera housing, whichever reaches lowest.
gfx::Rect usableArea(const ui::Screen& screen, double statusBarThickness);

// usableArea of every screen, in the system's screen order.
std::vector<gfx::Rect> usableScreenAreas();
// Every screen's visible frame, in the system's screen order: where details beside the bar fit.
std::vector<gfx::Rect> visibleScreenFrames();

// `frame` clamped into the usable area of the screen holding its centre, or into all of them
// when no screen does (`screens` and `areas` pair by index).
gfx::Rect keepFrame(const gfx::Rect& frame, const std::vector<gfx::Rect>& screens,
                    const std::vector<gfx::Rect>& areas);

// keepFrame over the current screens.
gfx::Rect keepFrameOnScreen(const gfx::Rect& frame);

} // namespace pulsedeck
