#include "platform/dispatch/Clock.h"

#include <time.h>

namespace dispatch {

double UptimeClock::now() const {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

const Clock& uptimeClock() {
    static const UptimeClock clock;
    return clock;
}

double systemUptime() {
    return uptimeClock().now();
}

} // namespace dispatch
