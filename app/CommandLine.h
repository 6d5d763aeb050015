#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace pulsedeck {

// What the program's arguments ask of it. Parsed as GNU programs do (getopt_long: long options
// may be shortened while unambiguous, "--check-updates=URL" or "--check-updates URL"); the first
// --help, --version or error decides.
struct CommandLine {
    enum class Action { run, help, version, checkUpdates, invalid };

    Action action = Action::run;
    // checkUpdates: the manifest's address.
    std::string manifestURL;
    // invalid: what was wrong, one line without the program's name ("unknown option '--bogus'").
    std::string error;

    bool operator==(const CommandLine&) const = default;

    // `arguments` as main receives them, the program's name first. Main thread: getopt_long keeps
    // its place in the C library.
    static CommandLine parse(std::span<const char* const> arguments);
};

// Where the program keeps what the user sets; none when the user has no home folder.
struct UserFiles {
    std::optional<std::filesystem::path> settings;
    std::optional<std::filesystem::path> autostartEntry;

    // This user's, from the environment, without reading or making anything.
    static UserFiles live();
};

// --help: the options, what a second start does, the user's files and the keys.
std::string usageText(const UserFiles& files);
// --version: "Pulsedeck 1.2.0 (build 57)".
std::string versionText(const std::string& version, const std::optional<std::string>& build);
// After an error: the error and the way to the usage, two lines.
std::string errorText(const std::string& error);

} // namespace pulsedeck
