#pragma once

#include <cstdint>
#include <string_view>

namespace pulsedeck {

// A release's version text: one to four dot-separated pieces, each of ASCII digits only (leading
// zeros allowed) that fit a signed 64-bit integer. "1.2.3" is valid; "", "1..2", ".1", "1.2a",
// "+1", " 1" and five pieces are not. Pure; any thread.
bool isValidVersion(std::string_view text);

// −1, 0 or +1 as `a` is below, equal to or above `b`, piece by piece as numbers. Empty pieces and
// pieces that are not a signed 64-bit integer are dropped (so "1.x.3" compares as "1.3"); a
// missing piece counts as 0 ("1.2" equals "1.2.0"). Pure; any thread.
int compareVersions(std::string_view a, std::string_view b);

// A build text as a number: decimal digits with an optional leading sign within the signed
// 64-bit range, else 0 ("", "1.0.3", "57a"). Pure; any thread.
std::int64_t buildNumber(std::string_view text);

} // namespace pulsedeck
