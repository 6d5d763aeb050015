#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sys {

// Reads of single sysfs attribute files. Each is empty when the file is missing, unreadable or
// does not hold a value of the asked form.

// The file's text without surrounding white space; empty text reads as absent.
std::optional<std::string> deviceAttribute(const std::filesystem::path& file);
// A whole decimal number ("512").
std::optional<std::int64_t> deviceInteger(const std::filesystem::path& file);
// A hexadecimal number without prefix ("0e"), as the USB class files hold.
std::optional<std::int64_t> deviceHex(const std::filesystem::path& file);
// A decimal number that may have a fraction ("1.5").
std::optional<double> deviceDecimal(const std::filesystem::path& file);

// The value of KEY=value in a uevent file.
std::optional<std::string> ueventValue(const std::filesystem::path& file, std::string_view key);

// Whole-text forms of the same parses, for text that is already read.
std::optional<std::int64_t> parseDeviceInteger(std::string_view text, int base);
std::optional<double> parseDeviceDecimal(std::string_view text);
std::string_view trimmedDeviceText(std::string_view text);

} // namespace sys
