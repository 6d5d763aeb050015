#pragma once

namespace pulsedeck {

// The first-run demo's story as numbers: a loop of 4.2 s in which a pointer Command-drags a
// menu-bar icon down and out (0.5–1.6 s), lets go of it (1.6–1.85 s), the icons to its left and
// the application's strip slide into the gap (1.85–2.3 s), and everything eases back to rest
// (3.85–4.2 s).

inline constexpr double menuBarTipLoop = 4.2;
// The frame shown instead of the loop under Reduce Motion: the icon almost fully dragged out,
// with the pointer and the key held for it.
inline constexpr double menuBarTipStillTime = 1.5;

// x²·(3 − 2x) of x clamped to 0…1.
double menuBarTipSmooth(double x);

// The time into the loop for the seconds since the demo started: the still frame under Reduce
// Motion, else the seconds modulo the loop (0 for a time before the start or not a number).
double menuBarTipTime(double elapsed, bool reduceMotion);

// How far each movement has gone at a time into the loop, each 0…1.
struct MenuBarTipFactors {
    // 1 until 3.85 s, easing to 0 at the loop's end; every other factor is scaled by it.
    double back = 1;
    double drag = 0;
    double release = 0;
    double close = 0;

    bool operator==(const MenuBarTipFactors&) const = default;
};

MenuBarTipFactors menuBarTipFactors(double time);

// The application strip's opacity for the x of its left edge: dim (0.3) while it is still
// behind the menus (left of 93), rising linearly to full at 103.
double menuBarTipStripFraction(double leftEdge);

} // namespace pulsedeck
