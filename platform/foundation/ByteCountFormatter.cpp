#include "platform/foundation/ByteCountFormatter.h"

#include "platform/foundation/NumberFormatting.h"

#include <array>
#include <cmath>
#include <string_view>

namespace foundation {
namespace {

struct Unit {
    std::string_view name;
    int fractionDigits;
};

constexpr std::array<Unit, 6> units{{
    {"KB", 0},
    {"MB", 1},
    {"GB", 2},
    {"TB", 2},
    {"PB", 2},
    {"EB", 2},
}};

// "12.50" → "12.5", "3.00" → "3".
std::string trimFractionZeros(std::string text) {
    auto point = text.find('.');
    if (point == std::string::npos)
        return text;
    auto last = text.find_last_not_of('0');
    text.erase(last == point ? point : last + 1);
    return text;
}

// The fixed text of `value` with "," grouping the whole part.
std::string groupedFixed(double value, int fractionDigits) {
    auto text = trimFractionZeros(formatFixed(value, fractionDigits));
    auto point = text.find('.');
    std::string_view whole(text.data(), point == std::string::npos ? text.size() : point);
    std::int64_t wholeValue = 0;
    for (char c : whole)
        if (c >= '0' && c <= '9')
            wholeValue = wholeValue * 10 + (c - '0');
    std::string grouped = formatGrouped(wholeValue);
    if (!whole.empty() && whole.front() == '-')
        grouped.insert(0, "-");
    return grouped + (point == std::string::npos ? "" : text.substr(point));
}

} // namespace

std::string ByteCountFormatter::string(std::int64_t byteCount, CountStyle style) {
    if (byteCount == 0)
        return "Zero KB";
    const double base =
        style == CountStyle::memory || style == CountStyle::binary ? 1024.0 : 1000.0;
    // Unsigned magnitude, so the most negative count does not overflow.
    auto magnitude = byteCount < 0 ? 0 - static_cast<std::uint64_t>(byteCount)
                                   : static_cast<std::uint64_t>(byteCount);
    if (static_cast<double>(magnitude) < base) {
        std::string count = formatGrouped(byteCount);
        return count + (magnitude == 1 ? " byte" : " bytes");
    }
    double value = static_cast<double>(byteCount) / base;
    std::size_t index = 0;
    while (index + 1 < units.size() && std::fabs(value) >= base) {
        value /= base;
        ++index;
    }
    return groupedFixed(value, units[index].fractionDigits) + " " + std::string(units[index].name);
}

} // namespace foundation
