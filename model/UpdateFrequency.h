#pragma once

#include "platform/foundation/Date.h"

#include <optional>
#include <string_view>

namespace foundation {
class UserDefaults;
}

namespace pulsedeck {

// How often the update checker looks for a release. Stored under "updateCheckFrequency" as its
// raw name.
enum class UpdateFrequency { weekly, monthly, quarterly, never };

inline constexpr std::string_view updateCheckFrequencyKey = "updateCheckFrequency";

std::string_view toString(UpdateFrequency frequency);
std::optional<UpdateFrequency> parseUpdateFrequency(std::string_view rawName);

// The stored frequency; weekly when missing or unknown.
UpdateFrequency storedUpdateFrequency(const foundation::UserDefaults& defaults);

// When the next automatic check is due after an attempt: 7 calendar days, 1 or 3 calendar months
// later in the user's time zone; never for never, or when the calendar cannot say.
std::optional<foundation::Date> nextCheckDate(UpdateFrequency frequency,
                                              foundation::Date lastAttempt);

// Whether an automatic check should fetch now: never for never; always without a recorded
// attempt, with one that is not a finite date, or with one in the future (the clock was set
// back, and waiting for it could take years); else once the next check date has come.
bool isDue(UpdateFrequency frequency, std::optional<foundation::Date> lastAttempt,
           foundation::Date now);

} // namespace pulsedeck
