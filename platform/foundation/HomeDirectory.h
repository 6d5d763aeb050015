#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace foundation {

// The user's home folder, or why there is none.
struct HomeDirectory {
    std::optional<std::filesystem::path> path;
    // When there is none: what HOME and the password database gave, for a message.
    std::string problem;

    // One rule for both sources: an absolute path other than the root of the file system. HOME
    // (`environment`, null when unset) comes first; the database's entry for the real user
    // (`database`, null when it has none) stands in when HOME is not such a path. "/" is what the
    // database gives accounts without a home of their own, so nothing of the user's is ever
    // written at the top of the file system.
    static HomeDirectory from(const char* environment, const char* database);
    // From this process's HOME and the password database.
    static HomeDirectory current();
};

// HomeDirectory::current().path.
std::optional<std::filesystem::path> homeDirectory();

} // namespace foundation
