#include "updates/Version.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

namespace pulsedeck {

namespace {

constexpr std::size_t maximumVersionPieces = 4;

bool isASCIIDigit(char c) {
    return c >= '0' && c <= '9';
}

std::vector<std::string_view> splitAtDots(std::string_view text) {
    std::vector<std::string_view> pieces;
    for (;;) {
        const auto dot = text.find('.');
        pieces.push_back(text.substr(0, dot));
        if (dot == std::string_view::npos)
            return pieces;
        text.remove_prefix(dot + 1);
    }
}

// Decimal digits with an optional leading sign, the whole piece, within the signed 64-bit range.
std::optional<std::int64_t> signedInteger(std::string_view piece) {
    if (piece.starts_with('+')) {
        piece.remove_prefix(1);
        if (piece.starts_with('-'))
            return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (error != std::errc{} || end != piece.data() + piece.size())
        return std::nullopt;
    return value;
}

std::vector<std::int64_t> numericPieces(std::string_view text) {
    std::vector<std::int64_t> numbers;
    for (const auto piece : splitAtDots(text))
        if (const auto value = signedInteger(piece))
            numbers.push_back(*value);
    return numbers;
}

} // namespace

bool isValidVersion(std::string_view text) {
    const auto pieces = splitAtDots(text);
    if (pieces.size() > maximumVersionPieces)
        return false;
    return std::all_of(pieces.begin(), pieces.end(), [](std::string_view piece) {
        return !piece.empty() && std::all_of(piece.begin(), piece.end(), isASCIIDigit) &&
               signedInteger(piece).has_value();
    });
}

int compareVersions(std::string_view a, std::string_view b) {
    const auto left = numericPieces(a);
    const auto right = numericPieces(b);
    for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
        const std::int64_t x = i < left.size() ? left[i] : 0;
        const std::int64_t y = i < right.size() ? right[i] : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

std::int64_t buildNumber(std::string_view text) {
    return signedInteger(text).value_or(0);
}

} // namespace pulsedeck
