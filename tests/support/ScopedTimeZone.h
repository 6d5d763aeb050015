#pragma once

// Header-only, like RunUntil.h: nothing here needs a library.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace testsupport {

// Central European time as a POSIX rule (summer time from the last Sunday of March to the last
// Sunday of October), so calendar tests need no time-zone database.
inline constexpr const char* centralEuropeanTime = "CET-1CEST,M3.5.0,M10.5.0/3";

// Sets TZ for the object's lifetime, then puts back what was there.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* current = std::getenv("TZ"))
            previous_ = current;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (previous_)
            setenv("TZ", previous_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> previous_;
};

// Seconds since 1970 of a UTC date and time.
inline double utcSeconds(int year, int month, int day, int hour, int minute = 0) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    return static_cast<double>(timegm(&fields));
}

} // namespace testsupport
