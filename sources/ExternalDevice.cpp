#include "sources/ExternalDevice.h"

#include "platform/foundation/ByteCountFormatter.h"
#include "platform/foundation/NumberFormatting.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pulsedeck {

namespace {

constexpr double gigabit = 1e9;
constexpr double megabit = 1e6;

std::string decimalBytes(std::uint64_t bytes) {
    constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return foundation::ByteCountFormatter::string(
        static_cast<std::int64_t>(std::min(bytes, largest)),
        foundation::ByteCountFormatter::CountStyle::decimal);
}

} // namespace

std::optional<std::string> ExternalDevice::capacityText(AppLanguage language) const {
    if (!capacity) {
        return std::nullopt;
    }
    const std::string remaining = availableCapacity
                                      ? decimalBytes(std::min(*capacity, *availableCapacity))
                                      : std::string("\u2014");
    return decimalBytes(*capacity) + " \u00b7 " + text(Copy::deviceRemaining, language) + " " +
           remaining;
}

std::string ExternalDevice::rateText(AppLanguage language) const {
    if (!bitsPerSecond || !std::isfinite(*bitsPerSecond) || *bitsPerSecond <= 0) {
        return text(Copy::deviceRateUnknown, language);
    }
    const double rate = *bitsPerSecond;
    const bool inGigabits = rate >= gigabit;
    const double x = rate / (inGigabits ? gigabit : megabit);
    const std::string shown =
        foundation::formatFixed(x, x == std::round(x) ? 0 : 1) + (inGigabits ? " Gbps" : " Mbps");
    if (rateIsMaximum) {
        return text(Copy::deviceRateMaximumShort, language) + " " + shown;
    }
    return shown;
}

} // namespace pulsedeck
