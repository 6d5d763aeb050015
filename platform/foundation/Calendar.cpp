#include "platform/foundation/Calendar.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace foundation {

namespace {

// Well inside what a 64-bit time_t and a tm year can hold.
constexpr double representableSeconds = 1e15;

bool isLeapYear(long long year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(long long year, int month) {
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 1 && isLeapYear(year) ? 29 : lengths[month];
}

} // namespace

std::optional<Date> dateByAdding(int days, int months, Date date) {
    const double seconds = date.timeIntervalSince1970;
    if (!std::isfinite(seconds) || std::fabs(seconds) > representableSeconds)
        return std::nullopt;
    const double whole = std::floor(seconds);
    const auto time = static_cast<std::time_t>(whole);
    std::tm local{};
    if (!localtime_r(&time, &local))
        return std::nullopt;

    const long long monthIndex = static_cast<long long>(local.tm_year) * 12 + local.tm_mon + months;
    const long long year = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
    const int month = static_cast<int>(monthIndex - year * 12);
    local.tm_year = static_cast<int>(year);
    local.tm_mon = month;
    local.tm_mday = std::min(local.tm_mday, daysInMonth(year + 1900, month)) + days;
    // Let the zone decide whether the new date is in summer time; the wall-clock time is kept.
    local.tm_isdst = -1;
    // mktime answers -1 both for an error and for one second before 1970; it sets the weekday
    // only when it succeeds.
    local.tm_wday = -1;
    const std::time_t result = std::mktime(&local);
    if (local.tm_wday < 0)
        return std::nullopt;
    return Date{static_cast<double>(result) + (seconds - whole)};
}

} // namespace foundation
