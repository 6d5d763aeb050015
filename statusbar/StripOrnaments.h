#pragma once

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Geometry.h"

namespace pulsedeck {

// The geometry of what the strip paints around and over its module images: the sorting jiggle,
// the close badge, the device arrival glow and the fan rotor. Pure functions, so the pictures
// can be pinned without a window.

// The jiggle's swing in radians for a module of this width: 1.4 pt of travel at the module's
// half width, within 0.012…0.055 (0.055 for a module narrower than 2 pt).
double jiggleAmplitude(double moduleWidth);

// The transform an editable module is drawn under while sorting: about its centre, lifted and
// turned by the phase of its canonical index at time t when it moves, always scaled to 90 %.
gfx::AffineTransform jiggleTransform(const gfx::Rect& module, int canonicalIndex, double time,
                                     bool moves);

// The side of the close badge for a strip of this height: half the height, at most 12.
double closeBadgeSide(double stripHeight);
// The badge square at the top right of a module, at the top of the strip.
gfx::Rect closeBadgeRect(const gfx::Rect& module, double stripHeight);

// The device arrival glow at pulse progress p (0…1; 1 is at rest).
struct DeviceGlow {
    // sin(pπ): rises and falls once over the pulse.
    double strength = 0;
    // The image's growth, complete after the first 45 % of the pulse (cubic ease-out).
    double growth = 1;

    static DeviceGlow at(double progress);
    // The image's rectangle: inset by (2, 1) at the start, full size once grown.
    gfx::Rect imageRect(const gfx::Rect& module) const;
    // The image's opacity: 0.65 at the start, 1 once grown.
    double imageFraction() const { return 0.65 + 0.35 * growth; }
};

// The rotor frame shown at a rotor angle in degrees: sixty frames cover 120° (threefold
// symmetry) in 2° steps.
int rotorFrameIndex(double angleDegrees, int frameCount);
// The rotor's square over a fan module rect at graph progress g and height scale s: centred
// on the ring at g 0, growing by 0.9/7.1 and moving 1 pt (scaled) right towards the graph.
gfx::Rect rotorRect(const gfx::Rect& module, double graphProgress, double heightScale);

} // namespace pulsedeck
