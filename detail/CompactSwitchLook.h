#pragma once

#include "platform/graphics/Color.h"

namespace pulsedeck {

// The switch's colours for one drawing: the track (by state, secondary and enabled) and the knob.
struct CompactSwitchColors {
    gfx::Color track;
    gfx::Color knob;

    friend bool operator==(const CompactSwitchColors&, const CompactSwitchColors&) = default;
};

CompactSwitchColors compactSwitchColors(bool dark, bool on, bool secondary, bool enabled,
                                        const gfx::Color& accent);

// How long the knob takes to slide between its ends, in seconds.
inline constexpr double compactSwitchSlideDuration = 0.18;

// The knob's place elapsed seconds after a slide from `from` to `destination` began: smoothstep
// over the slide's duration, the destination once it is over.
double compactSwitchKnobPosition(double from, double destination, double elapsed);

} // namespace pulsedeck
