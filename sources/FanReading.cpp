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
    std::vector<const FanReading*> readable;
    for (const FanReading& fan : fans) {
        if (fan.rpm)
            readable.push_back(&fan);
    }
    if (readable.empty())
        return std::nullopt;
    bool byLoad = std::all_of(readable.begin(), readable.end(),
                              [](const FanReading* fan) { return hasUsableLoad(*fan); });
    auto measure = [byLoad](const FanReading& fan) { return byLoad ? load(fan) : *fan.rpm; };

    const FanReading* busiest = readable.front();
    for (const FanReading* fan : readable) {
        if (measure(*fan) > measure(*busiest))
            busiest = fan;
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
