#include "detail/CompactSwitchLook.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double disabledOnFactor = 0.45;

} // namespace

CompactSwitchColors compactSwitchColors(bool dark, bool on, bool secondary, bool enabled,
                                        const gfx::Color& accent) {
    const gfx::Color neutral = dark ? gfx::Color::white() : gfx::Color::black();
    gfx::Color track = neutral.withAlpha(dark ? 0.18 : 0.14);
    if (on) {
        const gfx::Color full = secondary ? neutral.withAlpha(dark ? 0.46 : 0.40) : accent;
        track = enabled ? full : full.withAlpha(full.alpha() * disabledOnFactor);
    }
    return {track, gfx::Color::white().withAlpha(enabled ? 1.0 : 0.8)};
}

double compactSwitchKnobPosition(double from, double destination, double elapsed) {
    const double t = std::clamp(elapsed / compactSwitchSlideDuration, 0.0, 1.0);
    return from + (destination - from) * t * t * (3 - 2 * t);
}

} // namespace pulsedeck
