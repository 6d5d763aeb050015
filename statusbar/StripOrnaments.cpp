#include "statusbar/StripOrnaments.h"

#include "statusbar/FanMorph.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pulsedeck {

namespace {

constexpr double widestSwing = 0.055;
constexpr double narrowestSwing = 0.012;
constexpr double swingTravel = 1.4;
constexpr double phaseStep = 1.9;
constexpr double turnRate = 25;
constexpr double liftRate = 12.5;
constexpr double liftPhase = 0.8;
constexpr double liftHeight = 0.45;
constexpr double sortingScale = 0.9;
constexpr double largestBadge = 12;
constexpr double growthShare = 0.45;
constexpr double rotorRadius = 7.1;
constexpr double rotorGrowth = 0.9;
constexpr double imageSide = 24;
constexpr double ringCentre = 12;
constexpr double rotorSweep = 120;
constexpr double degreesPerFrame = 2;

} // namespace

double jiggleAmplitude(double moduleWidth) {
    const double half = moduleWidth / 2;
    if (!(half >= 1))
        return widestSwing;
    return std::clamp(swingTravel / half, narrowestSwing, widestSwing);
}

gfx::AffineTransform jiggleTransform(const gfx::Rect& module, int canonicalIndex, double time,
                                     bool moves) {
    const double phase = phaseStep * canonicalIndex;
    double angle = 0;
    double lift = 0;
    if (moves) {
        angle = jiggleAmplitude(module.width()) * std::sin(phase + turnRate * time);
        lift = liftHeight * std::sin(phase + liftRate * time + liftPhase);
    }
    const gfx::Point centre = module.center();
    return gfx::AffineTransform::identity()
        .translatedBy(centre.x, centre.y)
        .translatedBy(0, lift)
        .rotatedByRadians(angle)
        .scaledBy(sortingScale, sortingScale)
        .translatedBy(-centre.x, -centre.y);
}

double closeBadgeSide(double stripHeight) {
    return std::min(std::floor(stripHeight / 2), largestBadge);
}

gfx::Rect closeBadgeRect(const gfx::Rect& module, double stripHeight) {
    const double side = closeBadgeSide(stripHeight);
    return {module.maxX() - side, stripHeight - side, side, side};
}

DeviceGlow DeviceGlow::at(double progress) {
    DeviceGlow glow;
    glow.strength = std::sin(progress * std::numbers::pi);
    glow.growth = easeOutCubic(std::min(progress / growthShare, 1.0));
    return glow;
}

gfx::Rect DeviceGlow::imageRect(const gfx::Rect& module) const {
    return module.insetBy(2 * (1 - growth), 1 - growth);
}

int rotorFrameIndex(double angleDegrees, int frameCount) {
    if (frameCount <= 0 || !std::isfinite(angleDegrees))
        return 0;
    const double index = std::trunc(std::fmod(angleDegrees, rotorSweep) / degreesPerFrame);
    const int wrapped = static_cast<int>(index) % frameCount;
    return wrapped < 0 ? wrapped + frameCount : wrapped;
}

gfx::Rect rotorRect(const gfx::Rect& module, double graphProgress, double heightScale) {
    const double side =
        (rotorRadius + rotorGrowth * graphProgress) * imageSide / rotorRadius * heightScale;
    const double centreX = module.minX() + (ringCentre + graphProgress) * heightScale;
    const double centreY = module.midY();
    return {centreX - side / 2, centreY - side / 2, side, side};
}

} // namespace pulsedeck
