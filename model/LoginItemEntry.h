#pragma once

#include <filesystem>
#include <optional>

namespace pulsedeck {

inline constexpr const char* loginItemEntryName = "pulsedeck.desktop";

// Where the application's login item lives: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/pulsedeck.desktop (default ~/.config); none when the user has no
// home folder.
std::optional<std::filesystem::path> liveLoginItemEntry();

} // namespace pulsedeck
