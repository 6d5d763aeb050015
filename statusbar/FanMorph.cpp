#include "statusbar/FanMorph.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

double smoothstep(double u) {
    return u * u * (3 - 2 * u);
}

double easeOutCubic(double t) {
    const double rest = 1 - t;
    return 1 - rest * rest * rest;
}

bool FanMotionProfile::measuresTravel() const {
    return distances.size() >= 2 && distances.back() - distances.front() != 0;
}

double FanMotionProfile::distance(double progress) const {
    const double x = std::isnan(progress) ? 0 : std::clamp(progress, 0.0, 1.0);
    if (!measuresTravel())
        return x;
    const std::size_t last = distances.size() - 1;
    const double f = x * static_cast<double>(last);
    const std::size_t i = std::min(static_cast<std::size_t>(f), last);
    const std::size_t j = std::min(i + 1, last);
    return distances[i] + (f - static_cast<double>(i)) * (distances[j] - distances[i]);
}

double FanMotionProfile::progress(double distance) const {
    if (!(distance >= 0))
        return 0;
    if (distance >= 1)
        return 1;
    // Too few samples, or a picture that never moves: nothing to measure against.
    if (!measuresTravel())
        return distance;
    const std::size_t n = distances.size();
    const double steps = static_cast<double>(n - 1);
    if (n < 3)
        return (distance - distances[0]) / (distances[n - 1] - distances[0]) / steps;
    std::size_t lo = 0;
    std::size_t hi = n - 1;
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        if (distances[mid] < distance)
            lo = mid;
        else
            hi = mid;
    }
    const double span = distances[hi] - distances[lo];
    if (!(span != 0))
        return static_cast<double>(lo) / steps;
    return ((distance - distances[lo]) / span + static_cast<double>(lo)) / steps;
}

double FanMorph::value(double time) const {
    const double u = (time - started) / duration;
    if (std::isnan(u) || u <= 0)
        return from;
    if (u >= 1)
        return to;
    const double e = smoothstep(u);
    if (!motion)
        return from + e * (to - from);
    const double start = motion->distance(from);
    return motion->progress(start + e * (motion->distance(to) - start));
}

} // namespace pulsedeck
