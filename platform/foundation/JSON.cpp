#include "platform/foundation/JSON.h"

#include <set>
#include <string>
#include <vector>

namespace foundation {

std::size_t jsonNestingDepth(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest) {
                deepest = depth;
                if (deepest > limit)
                    return limit + 1;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

namespace {

// Parses `text` within the depth limit; `repeated(topLevelKey)` is called for every key given a
// second time in one object, with the top-level member it sits under ("" when the top level is
// not an object).
template <typename OnRepeatedKey>
std::optional<nlohmann::json> parseCheckingKeys(std::string_view text, std::size_t maxDepth,
                                                OnRepeatedKey repeated) {
    // The depth is checked before parsing, so a hostile text never builds a deep tree.
    if (jsonNestingDepth(text, maxDepth) > maxDepth)
        return std::nullopt;

    // The keys seen so far in each object that is still open.
    std::vector<std::set<std::string>> openObjects;
    std::string topLevelKey;
    auto callback = [&](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        switch (event) {
        case Event::object_start:
            openObjects.emplace_back();
            break;
        case Event::object_end:
            if (!openObjects.empty())
                openObjects.pop_back();
            break;
        case Event::key: {
            auto key = parsed.get<std::string>();
            if (depth == 1 && openObjects.size() == 1)
                topLevelKey = key;
            if (!openObjects.empty() && !openObjects.back().insert(std::move(key)).second)
                repeated(topLevelKey);
            break;
        }
        default:
            break;
        }
        return true;
    };
    auto value = nlohmann::json::parse(text.begin(), text.end(), callback, false);
    if (value.is_discarded())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<nlohmann::json> parseJSON(std::string_view text, std::size_t maxDepth) {
    bool repeatedKey = false;
    auto value = parseCheckingKeys(text, maxDepth, [&](const std::string&) { repeatedKey = true; });
    if (repeatedKey)
        return std::nullopt;
    return value;
}

std::optional<nlohmann::json> parseJSONObject(std::string_view text, std::size_t maxDepth,
                                              std::set<std::string>& ambiguousMembers) {
    auto value = parseCheckingKeys(text, maxDepth, [&](const std::string& topLevelKey) {
        ambiguousMembers.insert(topLevelKey);
    });
    if (!value || !value->is_object())
        return std::nullopt;
    return value;
}

} // namespace foundation
