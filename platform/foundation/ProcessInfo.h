#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace foundation {

struct OperatingSystemVersion {
    std::int64_t major = 0;
    std::int64_t minor = 0;
    std::int64_t patch = 0;

    bool operator==(const OperatingSystemVersion&) const = default;
};

// What the system calls itself: from os-release (NAME, PRETTY_NAME, VERSION_ID), falling back
// to the kernel's name and release (uname) for whatever os-release lacks.
struct OperatingSystemInfo {
    // "Debian GNU/Linux".
    std::string name;
    // The human wording, "Debian GNU/Linux 12 (bookworm)".
    std::string versionString;
    // VERSION_ID as numbers ("22.04" → 22.4.0); the kernel release's when there is none.
    OperatingSystemVersion version;

    bool operator==(const OperatingSystemInfo&) const = default;

    // From the text of an os-release file and uname's sysname and release.
    static OperatingSystemInfo parse(std::string_view osRelease, std::string_view kernelName,
                                     std::string_view kernelRelease);
    // From /etc/os-release (else /usr/lib/os-release) and uname, under `root` ("/" live).
    static OperatingSystemInfo read(const std::filesystem::path& root = "/");
};

// The leading "major[.minor[.patch]]" numbers of a version text; what does not read is 0.
OperatingSystemVersion parseOperatingSystemVersion(std::string_view text);

// Facts about the running process and machine. Any thread.
namespace processInfo {
// Seconds since boot on the uptime clock (a suspend counts).
double systemUptime();
// Bytes of installed memory: physical pages × page size.
std::uint64_t physicalMemory();
// Processors online, at least 1.
int processorCount();
} // namespace processInfo

} // namespace foundation
