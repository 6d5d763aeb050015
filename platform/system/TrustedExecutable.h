#pragma once

#include <filesystem>

namespace sys {

// Whether a program may be trusted to run as this user's helper: a regular, executable file
// owned by root or by this user, which neither its group nor others may write. Symbolic links are
// followed; the check is of the file they lead to.
bool isTrustedExecutable(const std::filesystem::path& path);

} // namespace sys
