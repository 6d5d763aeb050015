#include "platform/system/DeviceAttributes.h"

#include "platform/foundation/TextFile.h"

#include <charconv>
#include <cmath>

namespace sys {

namespace {

// Attribute files are a line or two; anything longer is not one.
constexpr std::size_t attributeLimit = 4096;

} // namespace

std::string_view trimmedDeviceText(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::optional<std::int64_t> parseDeviceInteger(std::string_view text, int base) {
    text = trimmedDeviceText(text);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> parseDeviceDecimal(std::string_view text) {
    text = trimmedDeviceText(text);
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> deviceAttribute(const std::filesystem::path& file) {
    auto text = foundation::readTextFile(file, attributeLimit);
    if (!text) {
        return std::nullopt;
    }
    std::string_view trimmed = trimmedDeviceText(*text);
    if (trimmed.empty()) {
        return std::nullopt;
    }
    return std::string(trimmed);
}

std::optional<std::int64_t> deviceInteger(const std::filesystem::path& file) {
    auto text = foundation::readTextFile(file, attributeLimit);
    return text ? parseDeviceInteger(*text, 10) : std::nullopt;
}

std::optional<std::int64_t> deviceHex(const std::filesystem::path& file) {
    auto text = foundation::readTextFile(file, attributeLimit);
    return text ? parseDeviceInteger(*text, 16) : std::nullopt;
}

std::optional<double> deviceDecimal(const std::filesystem::path& file) {
    auto text = foundation::readTextFile(file, attributeLimit);
    return text ? parseDeviceDecimal(*text) : std::nullopt;
}

std::optional<std::string> ueventValue(const std::filesystem::path& file, std::string_view key) {
    auto text = foundation::readTextFile(file, attributeLimit);
    if (!text) {
        return std::nullopt;
    }
    std::string_view rest = *text;
    while (!rest.empty()) {
        const auto lineEnd = rest.find('\n');
        std::string_view line = rest.substr(0, lineEnd);
        rest = lineEnd == std::string_view::npos ? std::string_view() : rest.substr(lineEnd + 1);
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=') {
            return std::string(line.substr(key.size() + 1));
        }
    }
    return std::nullopt;
}

} // namespace sys
