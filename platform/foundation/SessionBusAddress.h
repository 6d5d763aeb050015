#pragma once

#include <optional>
#include <string>

namespace foundation {

// The session bus's address from the environment, or the user's bus socket in the runtime
// folder; none when neither exists (a bus is never started for us). Any thread.
std::optional<std::string> sessionBusAddress();

} // namespace foundation
