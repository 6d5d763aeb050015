#include "floating/FloatingGeometry.h"

#include "platform/toolkit/StatusBar.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pulsedeck {

namespace {

constexpr double dockToleranceShare = 0.09;
constexpr double minimumDockToleranceX = 24;
constexpr double maximumDockToleranceX = 64;
constexpr double dockToleranceShareY = 0.95;
constexpr double minimumDockToleranceY = 22;
constexpr double frameMargin = 6;

// One axis of clampFrame: the low edge kept `frameMargin` inside, then the high edge if it fits.
double clampedStart(double start, double length, double areaMin, double areaMax) {
    const double lowest = areaMin + frameMargin;
    const double highest = std::max(areaMax - length - frameMargin, lowest);
    return std::min(std::max(start, lowest), highest);
}

} // namespace

const gfx::Rect& areaNear(gfx::Point point, const std::vector<gfx::Rect>& areas) {
    for (const auto& area : areas)
        if (area.contains(point))
            return area;
    const gfx::Rect* nearest = &areas.front();
    double best = std::numeric_limits<double>::infinity();
    for (const auto& area : areas) {
        const double distance = point.distanceTo(area.center());
        if (distance < best) {
            best = distance;
            nearest = &area;
        }
    }
    return *nearest;
}

std::optional<gfx::Rect> dockAnchor(const gfx::Rect& frame, const std::vector<gfx::Rect>& anchors) {
    const double toleranceX = std::clamp(dockToleranceShare * frame.width(), minimumDockToleranceX,
                                         maximumDockToleranceX);
    const double toleranceY = std::max(dockToleranceShareY * frame.height(), minimumDockToleranceY);
    std::optional<gfx::Rect> nearest;
    double best = std::numeric_limits<double>::infinity();
    for (const auto& anchor : anchors) {
        if (std::abs(anchor.midX() - frame.midX()) > toleranceX ||
            std::abs(anchor.midY() - frame.midY()) > toleranceY)
            continue;
        const double distance = anchor.center().distanceTo(frame.center());
        if (distance < best) {
            best = distance;
            nearest = anchor;
        }
    }
    return nearest;
}

gfx::Rect clampFrame(const gfx::Rect& frame, const std::vector<gfx::Rect>& areas) {
    if (areas.empty())
        return frame;
    const gfx::Rect& area = areaNear(frame.center(), areas);
    return {clampedStart(frame.x(), frame.width(), area.minX(), area.maxX()),
            clampedStart(frame.y(), frame.height(), area.minY(), area.maxY()), frame.width(),
            frame.height()};
}

gfx::Rect usableArea(const ui::Screen& screen, double statusBarThickness) {
    const gfx::Rect& full = screen.frame();
    const gfx::Rect& visible = screen.visibleFrame();
    const double topInset =
        std::max({full.maxY() - visible.maxY(), statusBarThickness, screen.safeAreaTop()});
    const double top = std::min(full.maxY() - topInset, visible.maxY());
    return {visible.minX(), visible.minY(), visible.width(), std::max(top - visible.minY(), 0.0)};
}

std::vector<gfx::Rect> usableScreenAreas() {
    std::vector<gfx::Rect> areas;
    for (const auto& screen : ui::Screen::screens())
        areas.push_back(usableArea(screen, ui::StatusBar::barThickness));
    return areas;
}

std::vector<gfx::Rect> visibleScreenFrames() {
    std::vector<gfx::Rect> frames;
    for (const auto& screen : ui::Screen::screens())
        frames.push_back(screen.visibleFrame());
    return frames;
}

gfx::Rect keepFrame(const gfx::Rect& frame, const std::vector<gfx::Rect>& screens,
                    const std::vector<gfx::Rect>& areas) {
    const auto holding = std::find_if(screens.begin(), screens.end(), [&](const gfx::Rect& screen) {
        return screen.contains(frame.center());
    });
    const auto index = static_cast<std::size_t>(holding - screens.begin());
    if (holding != screens.end() && index < areas.size())
        return clampFrame(frame, {areas[index]});
    return clampFrame(frame, areas);
}

gfx::Rect keepFrameOnScreen(const gfx::Rect& frame) {
    std::vector<gfx::Rect> screens;
    for (const auto& screen : ui::Screen::screens())
        screens.push_back(screen.frame());
    return keepFrame(frame, screens, usableScreenAreas());
}

} // namespace pulsedeck
