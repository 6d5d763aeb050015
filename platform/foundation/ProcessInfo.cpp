#include "platform/foundation/ProcessInfo.h"

#include "platform/dispatch/Clock.h"
#include "platform/foundation/TextFile.h"

#include <charconv>
#include <optional>
#include <sys/utsname.h>
#include <unistd.h>

namespace foundation {
namespace {

// The value of KEY=value in an os-release text, unquoted; empty when absent.
std::string osReleaseValue(std::string_view text, std::string_view key) {
    while (!text.empty()) {
        auto end = text.find('\n');
        auto line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.size() <= key.size() || !line.starts_with(key) || line[key.size()] != '=')
            continue;
        auto value = line.substr(key.size() + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        std::string unescaped;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                ++i;
            unescaped += value[i];
        }
        return unescaped;
    }
    return {};
}

} // namespace

OperatingSystemVersion parseOperatingSystemVersion(std::string_view text) {
    OperatingSystemVersion version;
    std::int64_t* parts[] = {&version.major, &version.minor, &version.patch};
    const char* cursor = text.data();
    const char* end = text.data() + text.size();
    for (std::size_t i = 0; i < 3 && cursor < end; ++i) {
        std::int64_t value = 0;
        auto [next, error] = std::from_chars(cursor, end, value);
        if (error != std::errc() || value < 0)
            break;
        *parts[i] = value;
        if (next == end || *next != '.')
            break;
        cursor = next + 1;
    }
    return version;
}

OperatingSystemInfo OperatingSystemInfo::parse(std::string_view osRelease,
                                               std::string_view kernelName,
                                               std::string_view kernelRelease) {
    OperatingSystemInfo info;
    info.name = osReleaseValue(osRelease, "NAME");
    if (info.name.empty())
        info.name = kernelName;
    info.versionString = osReleaseValue(osRelease, "PRETTY_NAME");
    if (info.versionString.empty()) {
        info.versionString = info.name;
        if (!kernelRelease.empty())
            info.versionString +=
                (info.versionString.empty() ? "" : " ") + std::string(kernelRelease);
    }
    auto versionID = osReleaseValue(osRelease, "VERSION_ID");
    info.version = parseOperatingSystemVersion(versionID.empty() ? kernelRelease : versionID);
    return info;
}

OperatingSystemInfo OperatingSystemInfo::read(const std::filesystem::path& root) {
    auto text = readTextFile(root / "etc/os-release", 64 * 1024);
    if (!text)
        text = readTextFile(root / "usr/lib/os-release", 64 * 1024);
    utsname names{};
    if (uname(&names) != 0)
        return parse(text.value_or(""), "", "");
    return parse(text.value_or(""), names.sysname, names.release);
}

namespace processInfo {

double systemUptime() {
    return dispatch::systemUptime();
}

std::uint64_t physicalMemory() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

int processorCount() {
    long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<int>(count) : 1;
}

} // namespace processInfo
} // namespace foundation
