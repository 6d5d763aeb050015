#pragma once

#include "platform/graphics/ChartPainter.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace pulsedeck {

// One drawn step of a history chart: the line from the previous sample's height, one step to
// the left, to this sample's height.
struct HistorySegment {
    gfx::Point from;
    gfx::Point to;
    // Index of the sample in the heights the segments were made from.
    std::size_t sample = 0;

    friend bool operator==(const HistorySegment&, const HistorySegment&) = default;
};

// The segments of a history chart whose width holds `slots` samples (at least 2; fewer count
// as 2), step = width / (slots − 1). Heights are fractions of the rect's height, oldest first;
// only the last `slots` are drawn, right-aligned so that the newest sits on the right edge. A
// missing or non-finite height leaves a gap, and the sample after a gap starts flat at its own
// height (as does the oldest drawn sample).
std::vector<HistorySegment> historySegments(std::span<const std::optional<double>> heights,
                                            std::size_t slots, const gfx::Rect& rect);

using SegmentColor = std::function<gfx::Color(const HistorySegment&)>;

// Fills the band under each segment down to baseY. Consecutive segments of one colour are
// filled as one polygon, so no seam shows between them.
void fillHistorySegments(gfx::ChartPainter& painter, std::span<const HistorySegment> segments,
                         double baseY, const SegmentColor& color);

// Strokes each segment 1 pt wide; consecutive segments of one colour are one polyline.
void strokeHistorySegments(gfx::ChartPainter& painter, std::span<const HistorySegment> segments,
                           const SegmentColor& color);

} // namespace pulsedeck
