#include "platform/system/MountedVolumes.h"

#include "platform/foundation/TextFile.h"

#include <sys/statvfs.h>

namespace sys {

namespace {

// Mountinfo writes space, tab, newline and backslash in paths as \ooo octal escapes.
std::string unescaped(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            text.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                             (field[i + 3] - '0')));
            i += 3;
        } else {
            text.push_back(field[i]);
        }
    }
    return text;
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const auto start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos) {
            break;
        }
        const auto end = line.find(' ', start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
        at = end == std::string_view::npos ? line.size() : end;
    }
    return fields;
}

} // namespace

std::vector<MountedVolume> parseMountInfo(std::string_view text) {
    // id parent major:minor root mount-point options [optional fields...] - type source options
    constexpr std::size_t mountPointField = 4;
    std::vector<MountedVolume> volumes;
    while (!text.empty()) {
        const auto lineEnd = text.find('\n');
        const std::string_view line = text.substr(0, lineEnd);
        text = lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);

        const std::vector<std::string_view> fields = fieldsOf(line);
        std::size_t separator = mountPointField + 2;
        while (separator < fields.size() && fields[separator] != "-") {
            ++separator;
        }
        if (separator + 2 >= fields.size()) {
            continue;
        }
        MountedVolume volume;
        volume.mountPoint = unescaped(fields[mountPointField]);
        volume.source = unescaped(fields[separator + 2]);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

std::vector<MountedVolume> mountedVolumes(const SystemRoots& roots) {
    auto text = foundation::readTextFile(roots.mountInfo);
    return text ? parseMountInfo(*text) : std::vector<MountedVolume>();
}

std::optional<std::uint64_t> availableBytes(const std::filesystem::path& mountPoint) {
    struct statvfs info {};
    if (::statvfs(mountPoint.c_str(), &info) != 0) {
        return std::nullopt;
    }
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(info.f_bavail),
                               static_cast<std::uint64_t>(info.f_frsize), &bytes)) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace sys
