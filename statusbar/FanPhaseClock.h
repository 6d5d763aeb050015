#pragma once

namespace pulsedeck {

// The fan rotor's angle as a function of time, so a redraw at any moment shows the rotor where
// it should be without counting frames. The fan image re-bases it (phase folded into 0…120,
// lastTime = now) whenever it sets a new speed; speed and phase are never negative.
struct FanPhaseClock {
    // Turns per second.
    double speed = 0;
    // Degrees at lastTime.
    double phase = 0;
    // Uptime seconds.
    double lastTime = 0;

    // phase + speed × max(time − lastTime, 0) × 360 degrees.
    double angle(double time) const {
        const double elapsed = time - lastTime;
        return phase + speed * (elapsed > 0 ? elapsed : 0) * 360;
    }
};

} // namespace pulsedeck
