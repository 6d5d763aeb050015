#pragma once

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

} // namespace pulsedeck
