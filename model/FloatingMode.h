#pragma once

#include <optional>
#include <string_view>

namespace pulsedeck {

// Whether the strip also floats in a panel of its own: `none`, `copy` (beside the menu-bar
// strip) or `detached` (instead of it). Stored as its raw name under "floatingMode".
enum class FloatingMode { none, copy, detached };

std::string_view toString(FloatingMode mode);

// Exactly "none", "copy" or "detached"; nothing for any other text.
std::optional<FloatingMode> parseFloatingMode(std::string_view rawName);

} // namespace pulsedeck
