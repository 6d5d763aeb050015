#pragma once

#include "platform/foundation/Date.h"

#include <optional>

namespace foundation {

// Calendar arithmetic in the process's time zone (TZ, else /etc/localtime), the way the user's
// calendar counts: a day keeps the time of day across a daylight-saving change (so a week may be
// 167 or 169 hours), and a month keeps the day where the new month has it, else takes the
// month's last day (31 January + 1 month = 28 or 29 February, never March). Months are added
// before days. Empty when the date or the result is beyond what the system calendar represents.
// Any thread (reads the time zone only).
std::optional<Date> dateByAdding(int days, int months, Date date);

} // namespace foundation
