#include "model/MenuBarGeometry.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace pulsedeck {

namespace {

constexpr double minimumStatusHeight = 18;
constexpr double maximumStatusHeight = 28;
constexpr double defaultStatusHeight = 24;
// How far below the menu bar's lower edge a status item may still sit.
constexpr double menuBarSlack = 8;
// A screen whose visible frame stops this far below its top shows a menu bar.
constexpr double menuBarPresence = 0.5;

} // namespace

double statusHeight(const std::vector<double>& menuBarHeights) {
    std::optional<double> smallest;
    for (double height : menuBarHeights) {
        if (std::isfinite(height) && height >= minimumStatusHeight &&
            (!smallest || height < *smallest)) {
            smallest = height;
        }
    }
    return std::clamp(smallest.value_or(defaultStatusHeight), minimumStatusHeight,
                      maximumStatusHeight);
}

gfx::Rect aspectFitRect(gfx::Size size, gfx::Rect rect) {
    if (!(size.width > 0 && size.height > 0)) {
        return {};
    }
    double scale = std::min(rect.width() / size.width, rect.height() / size.height);
    gfx::Size fitted{size.width * scale, size.height * scale};
    return {rect.midX() - fitted.width / 2, rect.midY() - fitted.height / 2, fitted.width,
            fitted.height};
}

bool isInMenuBar(gfx::Rect rect, const std::vector<gfx::Rect>& screens, double thickness) {
    if (!(rect.width() > 0 && rect.height() > 0) || screens.empty()) {
        return false;
    }
    auto screen = std::find_if(screens.begin(), screens.end(), [&](const gfx::Rect& frame) {
        return frame.contains(rect.center());
    });
    if (screen == screens.end()) {
        return false;
    }
    return rect.minY() >= screen->maxY() - thickness - menuBarSlack &&
           rect.maxY() <= screen->maxY() + 1;
}

std::vector<gfx::Rect> menuBarScreenFrames(gfx::Rect rect,
                                           const std::vector<ScreenFrames>& screens) {
    auto holder = std::find_if(screens.begin(), screens.end(), [&](const ScreenFrames& screen) {
        return screen.frame.contains(rect.center());
    });
    if (holder == screens.end()) {
        return {};
    }
    std::vector<gfx::Rect> frames;
    for (const auto& screen : screens) {
        if (screen.frame == holder->frame ||
            screen.frame.maxY() - screen.visibleFrame.maxY() > menuBarPresence) {
            frames.push_back(screen.frame);
        }
    }
    return frames;
}

} // namespace pulsedeck
