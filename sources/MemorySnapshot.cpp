#include "sources/MemorySnapshot.h"

#include "platform/foundation/ByteCountFormatter.h"
#include "platform/foundation/NumberFormatting.h"

namespace pulsedeck {

namespace {

constexpr std::uint64_t mebibyte = 1ull << 20;
constexpr std::uint64_t gibibyte = 1ull << 30;

// The length in bytes of the separator character at the start of `text`, or 0.
std::size_t separatorLength(std::string_view text) {
    constexpr std::string_view noBreakSpace = "\u00A0";
    constexpr std::string_view narrowNoBreakSpace = "\u202F";
    char first = text.front();
    if (first == '.' || first == ',' || first == ' ')
        return 1;
    if (text.starts_with(noBreakSpace))
        return noBreakSpace.size();
    if (text.starts_with(narrowNoBreakSpace))
        return narrowNoBreakSpace.size();
    return 0;
}

} // namespace

std::string formatMemoryBytes(std::uint64_t bytes) {
    if (bytes == 0)
        return "0 bytes";
    if (bytes < mebibyte)
        return foundation::ByteCountFormatter::string(
            static_cast<std::int64_t>(bytes), foundation::ByteCountFormatter::CountStyle::memory);
    if (bytes < gibibyte)
        return foundation::formatFixed(static_cast<double>(bytes) / mebibyte, 1) + " MB";
    return foundation::formatFixed(static_cast<double>(bytes) / gibibyte, 2) + " GB";
}

bool isZeroAmountText(std::string_view text) {
    bool sawDigit = false;
    while (!text.empty()) {
        char c = text.front();
        if (c >= '0' && c <= '9') {
            if (c != '0')
                return false;
            sawDigit = true;
            text.remove_prefix(1);
            continue;
        }
        std::size_t length = separatorLength(text);
        if (length == 0)
            break;
        text.remove_prefix(length);
    }
    return sawDigit;
}

std::string MemorySnapshot::pressureText(AppLanguage language) const {
    Copy key = Copy::unknown;
    if (pressure == 1)
        key = Copy::normal;
    else if (pressure == 2)
        key = Copy::elevated;
    else if (pressure == 4)
        key = Copy::high;
    return text(key, language);
}

std::string MemorySnapshot::summaryText(AppLanguage language) const {
    std::string summary;
    auto add = [&](Copy label, std::string_view value) {
        summary += text(label, language);
        summary += ": ";
        summary += value;
        summary += ". ";
    };
    add(Copy::pressure, pressureText(language));
    add(Copy::physical, physical);
    add(Copy::used, used);
    add(Copy::cached, cached);
    add(Copy::swap, isZeroAmountText(swap) ? std::string_view("\u2014") : std::string_view(swap));
    summary += text(explanation, language);
    return summary;
}

std::string MemorySnapshot::secondaryLabel(AppLanguage language) const {
    return text(isZeroAmountText(swap) ? Copy::shortUsed : Copy::shortSwap, language);
}

MemorySnapshot memoryPlaceholder() {
    MemorySnapshot placeholder;
    placeholder.sampledAt = std::chrono::system_clock::now();
    placeholder.explanation = Copy::waiting;
    return placeholder;
}

} // namespace pulsedeck
