#include "updates/MenuBarTipTimeline.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

double clampUnit(double x) {
    return std::clamp(x, 0.0, 1.0);
}

constexpr double dragStart = 0.5;
constexpr double dragLength = 1.1;
constexpr double releaseStart = 1.6;
constexpr double releaseLength = 0.25;
constexpr double closeStart = 1.85;
constexpr double closeLength = 0.45;
constexpr double backStart = 3.85;
constexpr double backLength = 0.35;

constexpr double dimStripEdge = 93;
constexpr double fullStripEdge = 103;
constexpr double dimStripFraction = 0.3;

} // namespace

double menuBarTipSmooth(double x) {
    const double t = clampUnit(x);
    return t * t * (3 - 2 * t);
}

double menuBarTipTime(double elapsed, bool reduceMotion) {
    if (reduceMotion)
        return menuBarTipStillTime;
    if (!(elapsed > 0) || !std::isfinite(elapsed))
        return 0;
    return std::fmod(elapsed, menuBarTipLoop);
}

MenuBarTipFactors menuBarTipFactors(double time) {
    MenuBarTipFactors factors;
    factors.back = 1 - menuBarTipSmooth((time - backStart) / backLength);
    factors.drag = menuBarTipSmooth((time - dragStart) / dragLength) * factors.back;
    factors.release = menuBarTipSmooth((time - releaseStart) / releaseLength) * factors.back;
    factors.close = menuBarTipSmooth((time - closeStart) / closeLength) * factors.back;
    return factors;
}

double menuBarTipStripFraction(double leftEdge) {
    const double rise = clampUnit((leftEdge - dimStripEdge) / (fullStripEdge - dimStripEdge));
    return dimStripFraction + (1 - dimStripFraction) * rise;
}

} // namespace pulsedeck
