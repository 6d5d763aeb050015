#include "statusbar/FanModeMorph.h"

#include "statusbar/StripMetrics.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

constexpr double widthWeight = 0.25;

} // namespace

FanMotionProfile measuredMotionProfile(const std::function<std::vector<gfx::Point>(double)>& points,
                                       const std::function<double(double)>& width) {
    std::vector<double> distances;
    distances.reserve(motionProfileSteps + 1);
    distances.push_back(0);
    std::vector<gfx::Point> previous = points(0);
    double previousWidth = width(0);
    for (int k = 1; k <= motionProfileSteps; ++k) {
        const double t = static_cast<double>(k) / motionProfileSteps;
        std::vector<gfx::Point> current = points(t);
        const double currentWidth = width(t);
        double squares = 0;
        const std::size_t pairs = std::min(current.size(), previous.size());
        for (std::size_t i = 0; i < pairs; ++i) {
            const double dx = current[i].x - previous[i].x;
            const double dy = current[i].y - previous[i].y;
            squares += dx * dx + dy * dy;
        }
        const double mean = current.empty() ? 0 : squares / static_cast<double>(current.size());
        const double grown = (currentWidth - previousWidth) * widthWeight;
        const double step = std::sqrt(mean + grown * grown);
        distances.push_back(distances.back() + (std::isfinite(step) ? step : 0));
        previous = std::move(current);
        previousWidth = currentWidth;
    }
    const double total = distances.back();
    for (int k = 0; k <= motionProfileSteps; ++k) {
        double& distance = distances[static_cast<std::size_t>(k)];
        distance = total > 0 ? distance / total : static_cast<double>(k) / motionProfileSteps;
    }
    return {std::move(distances)};
}

FanMotionProfile fanMotionProfile(const FanPicture& picture) {
    const FanOutlineInput input = picture.outlineInput();
    const double load = input.current.value_or(0);
    return measuredMotionProfile([&](double t) { return fanOutlinePoints(input, t, load); },
                                 [&](double t) { return fanModuleWidth(picture.chartLength, t); });
}

FanMorphDecision decideFanMorph(std::optional<FanDisplayMode> previous, FanDisplayMode mode,
                                bool animationsEnabled) {
    const double target = mode == FanDisplayMode::graph ? 1 : 0;
    using Action = FanMorphDecision::Action;
    if (previous == mode) {
        return {animationsEnabled ? Action::keep : Action::snap, target};
    }
    if (!previous || *previous == FanDisplayMode::hidden || mode == FanDisplayMode::hidden ||
        !animationsEnabled) {
        return {Action::snap, target};
    }
    return {Action::animate, target};
}

} // namespace pulsedeck
