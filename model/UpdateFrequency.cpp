#include "model/UpdateFrequency.h"

#include "platform/foundation/Calendar.h"
#include "platform/foundation/UserDefaults.h"

#include <cmath>

namespace pulsedeck {

std::string_view toString(UpdateFrequency frequency) {
    switch (frequency) {
    case UpdateFrequency::weekly:
        return "weekly";
    case UpdateFrequency::monthly:
        return "monthly";
    case UpdateFrequency::quarterly:
        return "quarterly";
    case UpdateFrequency::never:
        return "never";
    }
    return "weekly";
}

std::optional<UpdateFrequency> parseUpdateFrequency(std::string_view rawName) {
    for (auto frequency : {UpdateFrequency::weekly, UpdateFrequency::monthly,
                           UpdateFrequency::quarterly, UpdateFrequency::never})
        if (toString(frequency) == rawName)
            return frequency;
    return std::nullopt;
}

UpdateFrequency storedUpdateFrequency(const foundation::UserDefaults& defaults) {
    return parseUpdateFrequency(defaults.stringForKey(updateCheckFrequencyKey).value_or(""))
        .value_or(UpdateFrequency::weekly);
}

std::optional<foundation::Date> nextCheckDate(UpdateFrequency frequency,
                                              foundation::Date lastAttempt) {
    switch (frequency) {
    case UpdateFrequency::weekly:
        return foundation::dateByAdding(7, 0, lastAttempt);
    case UpdateFrequency::monthly:
        return foundation::dateByAdding(0, 1, lastAttempt);
    case UpdateFrequency::quarterly:
        return foundation::dateByAdding(0, 3, lastAttempt);
    case UpdateFrequency::never:
        return std::nullopt;
    }
    return std::nullopt;
}

bool isDue(UpdateFrequency frequency, std::optional<foundation::Date> lastAttempt,
           foundation::Date now) {
    if (frequency == UpdateFrequency::never)
        return false;
    if (!lastAttempt || !std::isfinite(lastAttempt->timeIntervalSince1970) || *lastAttempt > now)
        return true;
    const auto next = nextCheckDate(frequency, *lastAttempt);
    return next && now >= *next;
}

} // namespace pulsedeck
