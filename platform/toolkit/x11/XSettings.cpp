#include "platform/toolkit/x11/XSettings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace ui::x11 {

namespace {

// Reads the blob in the byte order its first byte names, never past its end.
class Reader {
public:
    Reader(std::span<const std::uint8_t> bytes, bool bigEndian)
        : bytes_(bytes), bigEndian_(bigEndian) {}

    bool skip(std::size_t count) {
        if (count > bytes_.size() - offset_)
            return false;
        offset_ += count;
        return true;
    }
    std::optional<std::uint8_t> card8() {
        if (offset_ >= bytes_.size())
            return std::nullopt;
        return bytes_[offset_++];
    }
    std::optional<std::uint32_t> card(std::size_t width) {
        if (width > bytes_.size() - offset_)
            return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::uint32_t byte = bytes_[offset_ + (bigEndian_ ? i : width - 1 - i)];
            value = (value << 8) | byte;
        }
        offset_ += width;
        return value;
    }
    // A string of `length` bytes followed by padding to a multiple of four.
    std::optional<std::string> paddedString(std::size_t length) {
        const std::size_t padded = (length + 3) / 4 * 4;
        if (padded < length || padded > bytes_.size() - offset_)
            return std::nullopt;
        std::string text(reinterpret_cast<const char*>(bytes_.data() + offset_), length);
        offset_ += padded;
        return text;
    }

private:
    std::span<const std::uint8_t> bytes_;
    bool bigEndian_;
    std::size_t offset_ = 0;
};

enum : std::uint8_t { settingInteger = 0, settingString = 1, settingColor = 2 };

} // namespace

std::optional<XSettings> parseXSettings(std::span<const std::uint8_t> bytes) {
    if (bytes.empty())
        return std::nullopt;
    Reader reader(bytes, bytes[0] != 0);
    if (!reader.skip(4) || !reader.card(4))
        return std::nullopt;
    const auto count = reader.card(4);
    if (!count)
        return std::nullopt;
    XSettings settings;
    for (std::uint32_t index = 0; index < *count; ++index) {
        const auto type = reader.card8();
        if (!type || !reader.skip(1))
            return std::nullopt;
        const auto nameLength = reader.card(2);
        if (!nameLength)
            return std::nullopt;
        auto name = reader.paddedString(*nameLength);
        if (!name || !reader.card(4))
            return std::nullopt;
        switch (*type) {
        case settingInteger: {
            const auto value = reader.card(4);
            if (!value)
                return std::nullopt;
            settings.integers[*name] = static_cast<std::int32_t>(*value);
            break;
        }
        case settingString: {
            const auto length = reader.card(4);
            if (!length)
                return std::nullopt;
            auto value = reader.paddedString(*length);
            if (!value)
                return std::nullopt;
            settings.strings[*name] = std::move(*value);
            break;
        }
        case settingColor:
            if (!reader.skip(8))
                return std::nullopt;
            break;
        default:
            return std::nullopt;
        }
    }
    return settings;
}

std::optional<double> xftDpiFromResources(std::string_view resources) {
    constexpr std::string_view key = "Xft.dpi:";
    std::size_t start = 0;
    while (start < resources.size()) {
        std::size_t end = resources.find('\n', start);
        if (end == std::string_view::npos)
            end = resources.size();
        std::string_view line = resources.substr(start, end - start);
        start = end + 1;
        if (!line.starts_with(key))
            continue;
        line.remove_prefix(key.size());
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
            line.remove_prefix(1);
        double dpi = 0;
        const auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), dpi);
        (void)rest;
        if (error != std::errc() || !std::isfinite(dpi) || dpi <= 0)
            return std::nullopt;
        return dpi;
    }
    return std::nullopt;
}

int backingScaleFrom(const std::optional<XSettings>& settings, std::optional<double> xftDpi) {
    // Beyond any real display; keeps a corrupt setting from asking for giant backings.
    constexpr int largestScale = 8;
    if (settings) {
        if (auto it = settings->integers.find("Gdk/WindowScalingFactor");
            it != settings->integers.end() && it->second >= 1)
            return std::min(it->second, largestScale);
    }
    if (xftDpi) {
        const double rounded = std::round(*xftDpi / 96);
        if (rounded >= 1)
            return static_cast<int>(std::min(rounded, double(largestScale)));
    }
    return 1;
}

bool themeIsDark(const std::optional<XSettings>& settings) {
    if (!settings)
        return false;
    auto it = settings->strings.find("Net/ThemeName");
    if (it == settings->strings.end())
        return false;
    std::string name = it->second;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name.find("dark") != std::string::npos;
}

bool animationsDisabled(const std::optional<XSettings>& settings) {
    if (!settings)
        return false;
    auto it = settings->integers.find("Gtk/EnableAnimations");
    return it != settings->integers.end() && it->second == 0;
}

} // namespace ui::x11
