#include "statusbar/StripPlacement.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double lowestPlausibleBar = 18;
constexpr double highestPlausibleBar = 80;
constexpr double standardBar = 24;

} // namespace

double menuBarThickness(const PlacementScreen& screen, std::optional<double> statusWindowHeight) {
    const double bar = screen.frame.maxY() - screen.visibleFrame.maxY();
    if (bar >= lowestPlausibleBar && bar <= highestPlausibleBar)
        return bar;
    const double window = statusWindowHeight.value_or(standardBar);
    if (screen.safeAreaTop >= standardBar)
        return std::max(screen.safeAreaTop, window);
    return std::max(window, standardBar);
}

gfx::Rect stripFrame(const gfx::Rect& itemRect, const gfx::Rect& itemScreenFrame,
                     const PlacementScreen& target, std::optional<double> statusWindowHeight,
                     double requiredWidth, double height) {
    const double bar = menuBarThickness(target, statusWindowHeight);
    const double distance = itemScreenFrame.maxX() - (itemRect.minX() + requiredWidth);
    return {target.frame.maxX() - distance - requiredWidth,
            target.frame.maxY() - bar / 2 - height / 2, requiredWidth, height};
}

} // namespace pulsedeck
