#pragma once

#include <limits>

namespace testsupport {

// What a failing sensor can report instead of a number; every reading's display must survive it.
inline constexpr double nan = std::numeric_limits<double>::quiet_NaN();
inline constexpr double inf = std::numeric_limits<double>::infinity();

} // namespace testsupport
