#include "statusbar/ComputeStatusImage.h"
#include "statusbar/MenuBarContentView.h"

namespace pulsedeck {

void MenuBarContentView::renderComputeImage() {
    computeImage = computeStatusImage({.snapshot = currentCompute,
                                       .history = currentComputeHistory,
                                       .dark = computeDark,
                                       .colors = {computeCPUColor, computeGPUColor, computeBlue},
                                       .progress = computeProgress,
                                       .compactProgress = compactComputeProgress,
                                       .chartLength = computeLength});
}

} // namespace pulsedeck
