#pragma once

#include "platform/system/SystemRoots.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

// One mounted file system: where it is mounted from ("/dev/sdb1", "tmpfs", "server:/share") and
// where it is mounted.
struct MountedVolume {
    std::string source;
    std::filesystem::path mountPoint;

    bool operator==(const MountedVolume&) const = default;
};

// The mounts of a mountinfo table, in table order; malformed lines are skipped.
std::vector<MountedVolume> parseMountInfo(std::string_view text);

// The mounts listed in the roots' mount table; empty when it cannot be read.
std::vector<MountedVolume> mountedVolumes(const SystemRoots& roots);

// Free bytes an unprivileged user may still write on the file system mounted at a path.
using VolumeSpaceProbe = std::function<std::optional<std::uint64_t>(const std::filesystem::path&)>;

// statvfs: available blocks times the fragment size; empty when the call fails or the product
// overflows. May block on a network file system: never call it on the sampling queue.
std::optional<std::uint64_t> availableBytes(const std::filesystem::path& mountPoint);

} // namespace sys
