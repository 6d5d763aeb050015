#include "platform/foundation/JSON.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace foundation {

std::size_t jsonNestingDepth(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    forEachOutsideStrings(text, [&](std::size_t i) {
        if (text[i] == '[' || text[i] == '{')
            deepest = std::max(deepest, ++depth);
        else if ((text[i] == ']' || text[i] == '}') && depth > 0)
            --depth;
        return std::size_t{1};
    });
    return std::min(deepest, limit + 1);
}

std::size_t jsonValueCount(std::string_view text) {
    std::size_t count = 0;
    forEachOutsideStrings(text, [&](std::size_t i) {
        count += text[i] == '[' || text[i] == '{' || text[i] == ',';
        return std::size_t{1};
    });
    return count;
}

namespace {

bool isJSONSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Reads the span of one value at `at` without judging what is inside texts or brackets; empty
// when no value starts there or it never ends.
std::string_view valueSpan(std::string_view text, std::size_t at) {
    std::size_t depth = 0;
    std::size_t i = at;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i)
                if (text[i] == '\\')
                    ++i;
            if (i >= text.size())
                return {};
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if (c == ']' || c == '}') {
            if (depth == 0)
                break;
            --depth;
        } else if (depth == 0 && (c == ',' || isJSONSpace(c))) {
            break;
        }
        if (depth == 0 && (c == '"' || c == ']' || c == '}'))
            return text.substr(at, i + 1 - at);
    }
    if (depth > 0)
        return {};
    return text.substr(at, i - at);
}

} // namespace

std::optional<std::vector<JSONMemberText>> splitJSONObject(std::string_view text) {
    std::size_t i = 0;
    auto skipSpace = [&] {
        while (i < text.size() && isJSONSpace(text[i]))
            ++i;
    };
    auto take = [&](char expected) {
        skipSpace();
        if (i >= text.size() || text[i] != expected)
            return false;
        ++i;
        return true;
    };
    // A byte-order mark, as parseJSON allows one.
    if (text.starts_with("\xef\xbb\xbf"))
        i = 3;
    if (!take('{'))
        return std::nullopt;
    std::vector<JSONMemberText> members;
    skipSpace();
    if (i < text.size() && text[i] == '}') {
        ++i;
    } else {
        while (true) {
            skipSpace();
            if (i >= text.size() || text[i] != '"')
                return std::nullopt;
            const auto key = valueSpan(text, i);
            if (key.empty())
                return std::nullopt;
            i += key.size();
            if (!take(':'))
                return std::nullopt;
            skipSpace();
            const auto value = valueSpan(text, i);
            if (value.empty())
                return std::nullopt;
            i += value.size();
            members.push_back({key, value});
            skipSpace();
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (!take('}'))
                return std::nullopt;
            break;
        }
    }
    skipSpace();
    if (i != text.size())
        return std::nullopt;
    return members;
}

std::optional<nlohmann::json> parseJSON(std::string_view text, std::size_t maxDepth) {
    // The depth is checked before parsing, so a hostile text never builds a deep tree.
    if (jsonNestingDepth(text, maxDepth) > maxDepth)
        return std::nullopt;

    // The keys seen so far in each object that is still open.
    std::vector<std::set<std::string>> openObjects;
    bool repeatedKey = false;
    auto callback = [&](int, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        switch (event) {
        case Event::object_start:
            openObjects.emplace_back();
            break;
        case Event::object_end:
            if (!openObjects.empty())
                openObjects.pop_back();
            break;
        case Event::key:
            if (!openObjects.empty() &&
                !openObjects.back().insert(parsed.get<std::string>()).second)
                repeatedKey = true;
            break;
        default:
            break;
        }
        return true;
    };
    auto value = nlohmann::json::parse(text.begin(), text.end(), callback, false);
    if (value.is_discarded() || repeatedKey)
        return std::nullopt;
    return value;
}

} // namespace foundation
