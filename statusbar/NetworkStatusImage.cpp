#include "statusbar/NetworkStatusImage.h"

#include "statusbar/CapsuleImage.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusLayout.h"
#include "statusbar/StatusText.h"

#include <algorithm>
#include <cmath>

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

gfx::Image networkStatusImage(const NetworkStatusContent& content) {
    double budget = networkRateBudget();
    gfx::Rect graphRect{graphX, graphY, statusChartWidth(content.chartLength), graphHeight};
    double textX = content.showsGraph ? graphRect.maxX() : textColumnWithoutGraph;
    NetworkSegment segment{
        .showsGraph = content.showsGraph,
        .graphRect = graphRect,
        .history = content.history,
        .download = content.download,
        .upload = content.upload,
        .textX = textX,
        .referenceFont = statusFigureFont(),
        .valueBudget = budget,
    };
    return renderedCapsuleImage(
        {budget + textX + rowSurround, imageHeight}, content.dark,
        [&content, &segment](gfx::Context& context, const gfx::Rect& rect) {
            return drawInCapsule(context, content.dark, rect,
                                 [&](const gfx::Color& foreground, const gfx::Rect& imageRect) {
                                     drawNetwork(context, foreground, imageRect, segment,
                                                 content.colors);
                                 });
        });
}

bool operator==(const NetworkStatusContent& left, const NetworkStatusContent& right) {
    return left.dark == right.dark && left.showsGraph == right.showsGraph &&
           left.colors == right.colors && left.download == right.download &&
           left.upload == right.upload && left.chartLength == right.chartLength &&
           std::ranges::equal(left.history, right.history);
}

} // namespace pulsedeck
