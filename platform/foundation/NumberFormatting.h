#pragma once

#include <cstdint>
#include <string>

namespace foundation {

// `value` with exactly `fractionDigits` digits after a "." — what printf's "%.Nf" gives in the C
// locale, whatever locale the process runs in (texts on screen never take a locale's comma).
// Non-finite values give "inf", "-inf" or "nan".
std::string formatFixed(double value, int fractionDigits);

// A whole number with "," between groups of three digits: 1234567 → "1,234,567".
std::string formatGrouped(std::int64_t value);

} // namespace foundation
