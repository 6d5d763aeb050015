#pragma once

#include "platform/graphics/Geometry.h"

#include <optional>

namespace pulsedeck {

// A screen as the strip's placement sees it, in global screen coordinates.
struct PlacementScreen {
    gfx::Rect frame;
    gfx::Rect visibleFrame;
    double safeAreaTop = 0;
};

// The height of a screen's menu bar: frame top − visible top when that is a plausible bar
// (18…80 pt); otherwise the safe-area inset when it is at least 24 (or the status window when
// taller), else the status window's height (24 without one), never under 24.
double menuBarThickness(const PlacementScreen& screen, std::optional<double> statusWindowHeight);

// Where a strip of the given size sits in the target screen's menu bar: as far from that
// screen's right edge as the status item (itemRect, on itemScreen) is from its own, and centred
// in the bar. statusWindowHeight counts only when the target is the item's own screen.
gfx::Rect stripFrame(const gfx::Rect& itemRect, const gfx::Rect& itemScreenFrame,
                     const PlacementScreen& target, std::optional<double> statusWindowHeight,
                     double requiredWidth, double height);

} // namespace pulsedeck
