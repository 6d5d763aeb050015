#include "statusbar/ComputeStatusImage.h"
#include "statusbar/MenuBarContentView.h"

namespace pulsedeck {

void MenuBarContentView::renderComputeImage() {
    const ComputeColors colors{computeCPUColor, computeGPUColor, computeBlue};
    // Compared field by field so an unchanged second copies no history.
    if (computeImage_ && computeRendered && computeRendered->snapshot == currentCompute &&
        computeRendered->history == currentComputeHistory && computeRendered->dark == computeDark &&
        computeRendered->colors == colors && computeRendered->progress == computeProgress &&
        computeRendered->compactProgress == compactComputeProgress &&
        computeRendered->chartLength == computeLength)
        return;
    computeRendered = ComputePicture{.snapshot = currentCompute,
                                     .history = currentComputeHistory,
                                     .dark = computeDark,
                                     .colors = colors,
                                     .progress = computeProgress,
                                     .compactProgress = compactComputeProgress,
                                     .chartLength = computeLength};
    setModuleImage(ModuleKind::compute, computeStatusImage(*computeRendered));
}

} // namespace pulsedeck
