#include "updates/UpdateFrequency.h"

#include "platform/foundation/UserDefaults.h"

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

} // namespace pulsedeck
