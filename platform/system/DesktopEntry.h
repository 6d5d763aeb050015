#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

// An installed application as the XDG desktop-entry files describe it: <identifier>.desktop in
// the `applications` folder of the first data directory that has one.
struct DesktopEntry {
    std::filesystem::path file;
    // The Exec line split into arguments, field codes (%f, %u, …) dropped.
    std::vector<std::string> command;

    // The application's entry; nothing when no data directory has one, or it is hidden, not an
    // application, or has no command.
    static std::optional<DesktopEntry> find(std::string_view identifier,
                                            const std::vector<std::filesystem::path>& dataDirs);

    // $XDG_DATA_HOME (default ~/.local/share), then $XDG_DATA_DIRS (default
    // /usr/local/share:/usr/share).
    static std::vector<std::filesystem::path> dataDirsFromEnvironment();

    // The entry's text parsed; nothing when it has no usable [Desktop Entry] group.
    static std::optional<DesktopEntry> parse(std::string_view text);

    // The program the command runs: itself when it names a path, else found on $PATH.
    std::optional<std::filesystem::path> executable() const;
};

// Splits an Exec value into arguments by the desktop-entry quoting rules; nothing when its
// quotes do not close.
std::optional<std::vector<std::string>> splitDesktopExec(std::string_view value);

} // namespace sys
