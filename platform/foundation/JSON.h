#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace foundation {

// JSON read from outside (a file, a program's output, the web): one value of valid UTF-8 with
// nothing but white space after it, no object with the same key twice, and at most `maxDepth`
// arrays and objects nested inside one another. Anything else gives nothing; nothing throws.
//
// Pure; any thread.
std::optional<nlohmann::json> parseJSON(std::string_view text, std::size_t maxDepth = 64);

// As parseJSON for a text that must be one object, except that a key given twice does not void
// the whole text: the top-level members where that happens (the repeated key itself, or the
// member whose value holds the repetition) are added to `ambiguousMembers`, and what the parse
// kept for them is not to be trusted.
std::optional<nlohmann::json> parseJSONObject(std::string_view text, std::size_t maxDepth,
                                              std::set<std::string>& ambiguousMembers);

// How deeply arrays and objects nest in `text` (brackets inside strings do not count); stops
// counting once past `limit` and answers limit + 1.
std::size_t jsonNestingDepth(std::string_view text, std::size_t limit);

} // namespace foundation
