#pragma once

#include "sources/ComputeDisplayMode.h"

namespace pulsedeck {

class MenuBarContentView;

// How the strip's compute image follows the chosen display mode. The status rebuild stores the
// compute figures, colours and flags into the strip and then calls one of these; the transition
// itself runs as the compute plan on the strip's metricLink.

// The module is not shown: its plan ends, the next showing starts without a transition, and it
// has no image.
void hideComputeModule(MenuBarContentView& view);

// The module is shown in `mode`. The first showing jumps to the mode; a new mode moves both
// transition values from where they stand to the mode's targets over 0.78 s (or at once with
// animations off, Reduce Motion on or no screen); the same mode again lets a running transition
// go on, or jumps with animations off. The image is rendered in every case.
void showComputeModule(MenuBarContentView& view, ComputeDisplayMode mode, bool reduceMotion);

} // namespace pulsedeck
