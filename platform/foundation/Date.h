#pragma once

#include <compare>

namespace foundation {

// A point in wall-clock time, in seconds since 1970-01-01 00:00 UTC. Only for what is stored as a
// date; intervals are measured on the uptime clock.
struct Date {
    double timeIntervalSince1970 = 0;

    static Date now();

    auto operator<=>(const Date&) const = default;
};

} // namespace foundation
