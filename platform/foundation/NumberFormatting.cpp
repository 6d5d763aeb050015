#include "platform/foundation/NumberFormatting.h"

#include <charconv>
#include <cmath>

namespace foundation {

std::string formatFixed(double value, int fractionDigits) {
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    // The largest double has 309 integer digits; the fraction is bounded by the caller's digits.
    std::string text(330 + static_cast<std::size_t>(fractionDigits < 0 ? 0 : fractionDigits), '\0');
    auto [end, error] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed,
                      fractionDigits < 0 ? 0 : fractionDigits);
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
