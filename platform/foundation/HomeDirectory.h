#pragma once

#include <filesystem>
#include <optional>

namespace foundation {

// The user's home folder: $HOME when it is an absolute path, else the password database's entry
// for the real user; nothing when neither names one (a service account, a stripped container).
// Never "/" by default, so nothing of the user's is ever written at the top of the file system.
std::optional<std::filesystem::path> homeDirectory();

} // namespace foundation
