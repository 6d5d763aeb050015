#pragma once

#include <filesystem>
#include <optional>

namespace pulsedeck {

// Whether the program starts at login, as the details show it: not found is a session without
// an autostart folder to hold the entry.
enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };

// Enabled, or waiting for the user's approval: the switch shows on.
inline bool startsAtLogin(LoginItemStatus status) {
    return status == LoginItemStatus::enabled || status == LoginItemStatus::requiresApproval;
}

// Named after the application's identifier, as its menu entry is.
inline constexpr const char* loginItemEntryName = "local.dorvettin.Pulsedeck.desktop";
// The name earlier versions gave it.
inline constexpr const char* legacyLoginItemEntryName = "pulsedeck.desktop";

// Where the application's login item lives: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/local.dorvettin.Pulsedeck.desktop (default ~/.config); none when the
// user has no home folder.
std::optional<std::filesystem::path> liveLoginItemEntry();

} // namespace pulsedeck
