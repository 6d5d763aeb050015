#include "statusbar/HistorySegments.h"

#include "platform/graphics/Path.h"

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

// Paints runs of segments that share a colour, one path per run.
template <typename AddSegment, typename Paint>
void paintByColor(std::span<const HistorySegment> segments, const SegmentColor& color,
                  AddSegment addSegment, Paint paint) {
    if (segments.empty()) {
        return;
    }
    gfx::Color runColor = color(segments.front());
    gfx::Path path;
    for (const HistorySegment& segment : segments) {
        gfx::Color segmentColor = color(segment);
        if (!(segmentColor == runColor)) {
            paint(path, runColor);
            path = gfx::Path();
            runColor = segmentColor;
        }
        addSegment(path, segment);
    }
    paint(path, runColor);
}

} // namespace

void fillHistorySegments(gfx::Context& context, std::span<const HistorySegment> segments,
                         double baseY, const SegmentColor& color) {
    paintByColor(
        segments, color,
        [baseY](gfx::Path& path, const HistorySegment& segment) {
            path.appendPolygon(
                {{segment.from.x, baseY}, segment.from, segment.to, {segment.to.x, baseY}});
        },
        [&context](const gfx::Path& path, const gfx::Color& runColor) {
            context.setFillColor(runColor);
            path.fill(context);
        });
}

void strokeHistorySegments(gfx::Context& context, std::span<const HistorySegment> segments,
                           const SegmentColor& color) {
    paintByColor(
        segments, color,
        [](gfx::Path& path, const HistorySegment& segment) {
            path.moveTo(segment.from);
            path.lineTo(segment.to);
        },
        [&context](gfx::Path path, const gfx::Color& runColor) {
            context.setStrokeColor(runColor);
            path.setLineWidth(1);
            path.stroke(context);
        });
}

} // namespace pulsedeck
