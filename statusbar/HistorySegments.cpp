#include "statusbar/HistorySegments.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

std::vector<HistorySegment> historySegments(std::span<const std::optional<double>> heights,
                                            std::size_t slots, const gfx::Rect& rect) {
    slots = std::max<std::size_t>(slots, 2);
    std::size_t count = std::min(heights.size(), slots);
    std::size_t first = heights.size() - count;
    double step = rect.width() / static_cast<double>(slots - 1);
    auto heightAt = [&](std::size_t index) -> std::optional<double> {
        const std::optional<double>& height = heights[index];
        if (!height || !std::isfinite(*height)) {
            return std::nullopt;
        }
        return rect.minY() + *height * rect.height();
    };

    std::vector<HistorySegment> segments;
    segments.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t sample = first + i;
        std::optional<double> y = heightAt(sample);
        if (!y) {
            continue;
        }
        std::optional<double> previous = i > 0 ? heightAt(sample - 1) : std::nullopt;
        double x = rect.minX() + step * static_cast<double>(slots - count + i);
        segments.push_back({{x - step, previous.value_or(*y)}, {x, *y}, sample});
    }
    return segments;
}

namespace {

// Walks the segments as chains: a chain is a run of consecutive samples of one colour, which is
// drawn as one polyline (and, for fills, one polygon) rather than as separate pieces. The shape
// is the same, but a single outline is far cheaper to rasterise than sixty overlapping ones.
// Chains of one colour that follow each other (across a gap) share a run.
template <typename BeginChain, typename EndChain>
std::vector<gfx::ColoredPoints> colorRuns(std::span<const HistorySegment> segments,
                                          const SegmentColor& color, BeginChain beginChain,
                                          EndChain endChain) {
    std::vector<gfx::ColoredPoints> runs;
    const HistorySegment* previous = nullptr;
    for (const HistorySegment& segment : segments) {
        gfx::Color segmentColor = color(segment);
        bool sameColor = previous && segmentColor == runs.back().color;
        bool continues = sameColor && segment.sample == previous->sample + 1;
        if (previous && !continues) {
            endChain(runs.back().lists.back(), *previous);
        }
        if (!sameColor) {
            runs.push_back({segmentColor, {}});
        }
        if (!continues) {
            runs.back().lists.emplace_back();
            beginChain(runs.back().lists.back(), segment);
        }
        runs.back().lists.back().push_back(segment.to);
        previous = &segment;
    }
    if (previous) {
        endChain(runs.back().lists.back(), *previous);
    }
    return runs;
}

} // namespace

void fillHistorySegments(gfx::ChartPainter& painter, std::span<const HistorySegment> segments,
                         double baseY, const SegmentColor& color) {
    std::vector<gfx::ColoredPoints> runs = colorRuns(
        segments, color,
        [baseY](std::vector<gfx::Point>& chain, const HistorySegment& first) {
            chain.push_back({first.from.x, baseY});
            chain.push_back(first.from);
        },
        [baseY](std::vector<gfx::Point>& chain, const HistorySegment& last) {
            chain.push_back({last.to.x, baseY});
        });
    painter.fillPolygonRuns(runs);
}

void strokeHistorySegments(gfx::ChartPainter& painter, std::span<const HistorySegment> segments,
                           const SegmentColor& color) {
    std::vector<gfx::ColoredPoints> runs = colorRuns(
        segments, color,
        [](std::vector<gfx::Point>& chain, const HistorySegment& first) {
            chain.push_back(first.from);
        },
        [](std::vector<gfx::Point>&, const HistorySegment&) {});
    gfx::Context& context = painter.context();
    gfx::Context::SavedState saved(context);
    context.setLineWidth(1);
    context.setLineCap(gfx::LineCap::butt);
    // A bevel keeps each corner within the two 1-pt segments that meet there, as separately
    // stroked segments would; a miter could spike out at a steep peak.
    context.setLineJoin(gfx::LineJoin::bevel);
    painter.strokePolylineRuns(runs);
}

} // namespace pulsedeck
