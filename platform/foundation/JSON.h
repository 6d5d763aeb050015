#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

// JSON read from outside (a file, a program's output, the web): one value of valid UTF-8 with
// nothing but white space after it, no object with the same key twice, and at most `maxDepth`
// arrays and objects nested inside one another. Anything else gives nothing; nothing throws.
//
// Pure; any thread.
std::optional<nlohmann::json> parseJSON(std::string_view text, std::size_t maxDepth = 64);

// One member of a JSON object as written: its key with the quotes, and its value.
struct JSONMemberText {
    std::string_view key;
    std::string_view value;
};

// The members of a text that is one JSON object, found by a scan that checks only the object's
// own punctuation and steps over what each member holds: texts with any bytes in them, nesting
// of any depth. None when the text is not one object (no braces, a member without its key or
// colon, a text or bracket left open, anything after the closing brace). Each part is for
// parseJSON on its own, so one bad value costs only its own member.
std::optional<std::vector<JSONMemberText>> splitJSONObject(std::string_view text);

// Calls `visit(i)` for each index of `text` that lies outside its strings (their quotes and
// escapes left out); `visit` answers how many characters it took, 1 or more.
template <typename Visit> void forEachOutsideStrings(std::string_view text, Visit visit) {
    bool inString = false;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (inString) {
            inString = c != '"';
            i += c == '\\' ? 2 : 1;
        } else if (c == '"') {
            inString = true;
            ++i;
        } else {
            i += visit(i);
        }
    }
}

// How deeply arrays and objects nest in `text` (brackets inside strings do not count); stops
// counting once past `limit` and answers limit + 1.
std::size_t jsonNestingDepth(std::string_view text, std::size_t limit);

// About how many values `text` holds, what decoding it costs in memory whatever the bytes it
// takes: the arrays and objects it opens and the commas between what they hold (outside texts),
// which is never fewer than half its values.
std::size_t jsonValueCount(std::string_view text);

} // namespace foundation
