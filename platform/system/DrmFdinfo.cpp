#include "platform/system/DrmFdinfo.h"

#include <charconv>

namespace sys {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// "123456 ns" or "2": the leading whole number, with an optional unit after a blank.
std::optional<std::uint64_t> leadingNumber(std::string_view value) {
    std::uint64_t number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end == value.data())
        return std::nullopt;
    std::string_view rest(end, static_cast<std::size_t>(value.data() + value.size() - end));
    if (!rest.empty() && rest.front() != ' ')
        return std::nullopt;
    return number;
}

// Stores the number under the key's engine name, when the key starts with the prefix.
bool storeEngine(std::string_view key, std::string_view prefix, std::string_view value,
                 std::map<std::string, std::uint64_t, std::less<>>& into) {
    if (!key.starts_with(prefix) || key.size() == prefix.size())
        return false;
    if (auto number = leadingNumber(value))
        into.emplace(std::string(key.substr(prefix.size())), *number);
    return true;
}

} // namespace

std::optional<DrmClientUsage> parseDrmFdinfo(std::string_view text) {
    DrmClientUsage usage;
    bool hasDriver = false, hasClient = false;
    while (!text.empty()) {
        std::size_t lineEnd = text.find('\n');
        std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view key = trimmed(line.substr(0, colon));
        std::string_view value = trimmed(line.substr(colon + 1));
        if (!key.starts_with("drm-"))
            continue;
        if (key == "drm-driver") {
            if (!hasDriver && !value.empty())
                usage.driver = std::string(value);
            hasDriver = hasDriver || !value.empty();
        } else if (key == "drm-pdev") {
            if (usage.pdev.empty())
                usage.pdev = std::string(value);
        } else if (key == "drm-client-id") {
            if (!hasClient && !value.empty())
                usage.clientID = std::string(value);
            hasClient = hasClient || !value.empty();
        } else if (storeEngine(key, "drm-engine-capacity-", value, usage.engineCapacity) ||
                   storeEngine(key, "drm-engine-", value, usage.engineNanoseconds) ||
                   storeEngine(key, "drm-total-cycles-", value, usage.engineTotalCycles) ||
                   storeEngine(key, "drm-cycles-", value, usage.engineCycles)) {
            continue;
        }
    }
    if (!hasDriver || !hasClient)
        return std::nullopt;
    return usage;
}

} // namespace sys
