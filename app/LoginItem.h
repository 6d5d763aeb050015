#pragma once

#include "model/LoginItemEntry.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pulsedeck {

// The application's login item, an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/local.dorvettin.Pulsedeck.desktop) that starts the program when the
// user logs in: by its command name when it runs installed and the PATH finds it there, else by
// the running executable's path. The entry names that command as its TryExec too, so once the
// program is removed the session skips the entry instead of failing to start it. Its status comes
// from the entry's presence, read afresh on every ask.
class LoginItem {
public:
    using Status = LoginItemStatus;

    // `command`: the program's path, or a bare name the login session's PATH finds.
    LoginItem(std::filesystem::path entryFile, std::filesystem::path command);

    // The entry under $XDG_CONFIG_HOME (default ~/.config) for this process's executable; an
    // empty entry path, which cannot be registered, when the user has no home folder.
    static LoginItem live();
    // What starts the program at `executable`: its bare name when it is installed (as
    // "<prefix>/bin/<name>" beside "<prefix>/share/pulsedeck") and the first folder of
    // `searchPath` (a colon list) holding that name holds this very file — so an entry survives
    // the package's upgrades and moves; else the executable's own path (a build folder).
    static std::filesystem::path commandFor(const std::filesystem::path& executable,
                                            std::string_view searchPath);
    static constexpr const char* entryName = loginItemEntryName;

    Status status() const;
    // Writes the entry atomically, making its folder when needed; false when it cannot be
    // written (the reason in `error`).
    bool registerItem(std::string* error = nullptr);
    // Removes the entry; false when it is there and cannot be removed.
    bool unregisterItem(std::string* error = nullptr);
    // An entry an earlier version wrote beside this one under the legacy name becomes this one,
    // written anew (a second entry would start a second copy at login, which opens the details);
    // when this one is there already, the legacy one only goes. False, with the reason in
    // `error` and the legacy entry left as it is, when that cannot be done.
    bool moveLegacyEntry(std::string* error = nullptr);

    const std::filesystem::path& entryFile() const { return entryFile_; }
    // The entry's text: an application started by the command, quoted where it needs to be.
    std::string entryText() const;

private:
    std::filesystem::path entryFile_;
    std::filesystem::path command_;
};

// What asking for a login state did: whether a registering or unregistering call was made, and
// whether it failed.
struct LoginChange {
    bool called = false;
    bool failed = false;

    bool operator==(const LoginChange&) const = default;
};

// Registers the item when `on` and it is not enabled, unregisters it when off and it is not
// unregistered, and otherwise calls nothing.
LoginChange setLaunchAtLogin(LoginItem& item, bool on);

} // namespace pulsedeck
