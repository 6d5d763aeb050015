#pragma once

#include "platform/graphics/Geometry.h"

#include <vector>

namespace pulsedeck {

// A screen's whole frame and the part left over by the menu bar and docks, in global screen
// coordinates.
struct ScreenFrames {
    gfx::Rect frame;
    gfx::Rect visibleFrame;
};

// The strip height from every screen's menu-bar height: the smallest plausible one (finite and
// at least 18), 24 when there is none, always within 18…28.
double statusHeight(const std::vector<double>& menuBarHeights);

// The size scaled to fit the rectangle and centred on it; the zero rectangle for a size without
// area.
gfx::Rect aspectFitRect(gfx::Size size, gfx::Rect rect);

// Whether a rectangle (the status item's) lies in the menu bar of the screen that holds its
// centre: no lower than the bar's thickness plus 8 below the screen's top, no higher than 1 above.
bool isInMenuBar(gfx::Rect rect, const std::vector<gfx::Rect>& screens, double thickness);

// The frames of the screen holding the rectangle's centre and of every screen that shows a menu
// bar, in the given order; empty when no screen holds the centre.
std::vector<gfx::Rect> menuBarScreenFrames(gfx::Rect rect,
                                           const std::vector<ScreenFrames>& screens);

} // namespace pulsedeck
