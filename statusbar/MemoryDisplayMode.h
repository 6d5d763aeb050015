#pragma once

namespace pulsedeck {

// How the memory status item lays out its figures; stored as its integer raw value.
enum class DisplayMode { four = 0, automatic = 1, pair = 2 };

} // namespace pulsedeck
