#include "statusbar/NetworkStatusImage.h"

#include "statusbar/CapsuleImage.h"
#include "statusbar/FigureText.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusLayout.h"
#include "statusbar/StatusText.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace pulsedeck {

namespace {

constexpr double imageHeight = 24;
constexpr double graphX = 5;
constexpr double graphY = 3;
constexpr double graphHeight = 18;
constexpr double textColumnWithoutGraph = -1;
// The arrows' offset and width, plus the inset after the rates.
constexpr double rowSurround = 21 + 8;

} // namespace

double networkRateBudget() {
    static const double budget = [] {
        double widest = 0;
        for (const char* probe : {"8888 B/s", "8888 KB/s", "8888 MB/s", "8888 GB/s"}) {
            widest = std::max(widest, textWidth(probe, statusFigureFont()));
        }
        return std::ceil(widest);
    }();
    return budget;
}

namespace {

NetworkSegment segmentOf(const NetworkStatusContent& content) {
    const gfx::Rect graphRect{graphX, graphY, statusChartWidth(content.chartLength), graphHeight};
    return {
        .showsGraph = content.showsGraph,
        .graphRect = graphRect,
        .history = content.history,
        .download = content.download,
        .upload = content.upload,
        .textX = content.showsGraph ? graphRect.maxX() : textColumnWithoutGraph,
        .referenceFont = statusFigureFont(),
        .valueBudget = networkRateBudget(),
    };
}

gfx::Size imageSize(const NetworkSegment& segment) {
    return {segment.valueBudget + segment.textX + rowSurround, imageHeight};
}

// Nothing the segment draws comes near the capsule's round ends, so it is drawn straight over the
// capsule rather than through a layer clipped to it.
OverCapsule drawingOver(const NetworkStatusContent& content, const NetworkSegment& segment) {
    return [&content, &segment](gfx::Context& context, const gfx::Rect& rect) {
        drawNetwork(context, foregroundColor(content.dark), rect, segment, content.colors);
        return true;
    };
}

} // namespace

gfx::Image networkStatusImage(CapsuleCache& capsules, const NetworkStatusContent& content) {
    const NetworkSegment segment = segmentOf(content);
    return renderedCapsuleImage(capsules, imageSize(segment), content.dark,
                                drawingOver(content, segment));
}

gfx::Image networkStatusImage(CapsuleCache& capsules, const NetworkStatusContent& content,
                              const NetworkStatusContent& previous, gfx::Image previousImage) {
    if (content.dark == previous.dark && content.showsGraph == previous.showsGraph &&
        content.colors == previous.colors && content.chartLength == previous.chartLength) {
        const NetworkSegment segment = segmentOf(content);
        const gfx::Rect imageRect{{}, imageSize(segment)};
        const gfx::Color foreground = foregroundColor(content.dark);
        std::vector<gfx::Rect> areas;
        if (segment.showsGraph) {
            areas.push_back(segment.graphRect);
        }
        addChangedFigureAreas(
            areas, networkTexts(foreground, imageRect, segment, content.colors),
            networkTexts(foreground, imageRect, segmentOf(previous), previous.colors));
        std::optional<gfx::Image> image = redrawnCapsuleAreas(
            capsules, std::move(previousImage), content.dark, areas, drawingOver(content, segment));
        if (image) {
            return std::move(*image);
        }
    }
    return networkStatusImage(capsules, content);
}

bool operator==(const NetworkStatusContent& left, const NetworkStatusContent& right) {
    return left.dark == right.dark && left.showsGraph == right.showsGraph &&
           left.colors == right.colors && left.download == right.download &&
           left.upload == right.upload && left.chartLength == right.chartLength &&
           std::ranges::equal(left.history, right.history);
}

} // namespace pulsedeck
