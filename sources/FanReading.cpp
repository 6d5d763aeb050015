#include "sources/FanReading.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

bool hasUsableLoad(const FanReading& fan) {
    return std::isfinite(*fan.rpm) && *fan.rpm >= 0 && fan.maximum && std::isfinite(*fan.maximum) &&
           *fan.maximum > 0;
}

double load(const FanReading& fan) {
    return std::clamp(*fan.rpm / *fan.maximum, 0.0, 1.0);
}

} // namespace

std::optional<FanReading> busiestFan(const std::vector<FanReading>& fans) {
    if (fans.empty())
        return std::nullopt;
    if (std::any_of(fans.begin(), fans.end(), [](const FanReading& f) { return !f.rpm; })) {
        return std::nullopt;
    }
    bool byLoad = std::all_of(fans.begin(), fans.end(), hasUsableLoad);
    auto measure = [byLoad](const FanReading& fan) { return byLoad ? load(fan) : *fan.rpm; };

    const FanReading* busiest = &fans.front();
    for (const FanReading& fan : fans) {
        if (measure(fan) > measure(*busiest))
            busiest = &fan;
    }
    return *busiest;
}

std::optional<double> fanLoadFraction(const std::vector<FanReading>& fans) {
    auto fan = busiestFan(fans);
    if (!fan || !hasUsableLoad(*fan))
        return std::nullopt;
    return load(*fan);
}

} // namespace pulsedeck
