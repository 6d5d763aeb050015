#pragma once

#include <filesystem>
#include <string_view>

namespace foundation {

// Replaces `path` with `contents` so that the path always holds either the old or the new file,
// whole, even if the process is killed or the machine stops at any moment: the bytes go to a
// temporary file in the same folder ("<name>.tmp-<pid>-<random>"), are flushed to disk, and the
// temporary file is renamed over the target; then the folder itself is flushed. A new file gets
// mode 0600; a file replaced keeps its owner, group and mode. A symbolic link is written through:
// the file it leads to is replaced and the link stays. False when any step fails, with errno
// saying why — EPERM for a file of another user reached through a link, or one that could not
// stay theirs; the target is then untouched and no temporary file is left behind.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view contents);

// Removes the temporary files that writers of `path` left behind when they were killed mid-write
// (those of processes that no longer run).
void removeStaleTemporaryFiles(const std::filesystem::path& path);

} // namespace foundation
