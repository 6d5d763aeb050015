#pragma once

#include "statusbar/StripMetrics.h"

#include <optional>

namespace pulsedeck {

// The slide of the strip's modules to their places after the order changed: 0.38 s, easing out,
// horizontally only (each module takes its new height and width at once).
struct ReorderGlide {
    static constexpr double duration = 0.38;

    double started = 0;
    // The rectangles shown when the glide began.
    ModuleRects from;

    // 0 at the start, 1 from the end on.
    double progress(double now) const;
    // Moves every module of the target except the dragged one to where it is shown at now; a
    // module that was not shown before starts at its target.
    void step(double now, const ModuleRects& target, std::optional<ModuleKind> dragged,
              ModuleRects& displayed) const;
};

} // namespace pulsedeck
