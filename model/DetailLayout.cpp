#include "model/DetailLayout.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

DetailGrid DetailLayout::contentWidth(int moduleCount, double available) {
    double usable =
        std::isnan(available) ? minimumAvailableWidth : std::max(available, minimumAvailableWidth);
    // Capped by the module count while still a double, so no width can overflow the conversion.
    double fitting = std::trunc((usable - 2 * inset + gap) / columnPitch);
    int columns =
        static_cast<int>(std::min(fitting, static_cast<double>(std::max(moduleCount, 0))));
    columns = std::max(columns, 1);
    return {columns, columns * cardWidth + (columns - 1) * gap + 2 * inset};
}

std::map<ModuleKind, gfx::Rect> DetailLayout::cardFrames(const std::vector<ModuleKind>& order,
                                                         int columns,
                                                         const DetailSectionMetrics& view) {
    // A zero or negative count would leave no column to deal to.
    columns = std::max(columns, 1);
    std::vector<double> runningHeights(static_cast<std::size_t>(columns), inset);
    std::map<ModuleKind, gfx::Rect> frames;
    int column = 0;
    for (auto kind : order) {
        double height = view.isSectionExpanded(kind)
                            ? headerHeight + bodySpacing + view.sectionHeight(kind)
                            : headerHeight;
        auto& running = runningHeights[static_cast<std::size_t>(column)];
        frames[kind] = gfx::Rect(column * columnPitch + inset, running, cardWidth, height);
        running += height + gap;
        column = (column + 1) % columns;
    }
    return frames;
}

} // namespace pulsedeck
