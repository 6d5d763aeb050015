#pragma once

#include "model/Modules.h"
#include "platform/graphics/Geometry.h"

#include <map>
#include <vector>

namespace pulsedeck {

// What the card layout asks of the detail view about each module's section.
class DetailSectionMetrics {
public:
    virtual ~DetailSectionMetrics() = default;
    virtual bool isSectionExpanded(ModuleKind kind) const = 0;
    // Height in points of the expanded section body.
    virtual double sectionHeight(ModuleKind kind) const = 0;
};

struct DetailGrid {
    int columns = 1;
    double width = 0;

    bool operator==(const DetailGrid&) const = default;
};

// The overview's grid of module cards.
struct DetailLayout {
    static constexpr double cardWidth = 280;
    static constexpr double gap = 8;
    static constexpr double inset = 10;
    static constexpr double columnPitch = cardWidth + gap;
    static constexpr double minimumAvailableWidth = 300;
    static constexpr double headerHeight = 40;
    static constexpr double bodySpacing = 12;

    // As many columns of cards as fit the available width (a NaN width counts as the minimum),
    // no more than there are modules and at least one; and the width they take.
    static DetailGrid contentWidth(int moduleCount, double available);

    // Card frames in a top-down space, dealt to the columns in turn (not to the shortest one):
    // a collapsed card is its header, an expanded one adds its section. A module listed twice
    // keeps its last frame.
    static std::map<ModuleKind, gfx::Rect>
    cardFrames(const std::vector<ModuleKind>& order, int columns, const DetailSectionMetrics& view);
};

} // namespace pulsedeck
