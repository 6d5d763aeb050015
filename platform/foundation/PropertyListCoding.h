#pragma once

#include "platform/foundation/PropertyValue.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

// The file form of a dictionary of property values: one JSON object. Booleans, integers, texts,
// arrays and dictionaries are plain JSON; a real is always written with a fraction or exponent
// (3.0), so it reads back as a real. What JSON cannot hold is a one-member object with a tag:
//   {"$real": "inf"} / "-inf" / "nan"     {"$date": <seconds since 1970>}     {"$data": "<base64>"}
// A dictionary key that begins with "$" is written with one more "$" in front, so no dictionary
// is ever taken for a tag.
//
// Pure; any thread.
std::string encodePropertyList(const PropertyDictionary& dictionary);

// The file form in at most `maxSize` bytes and `maxValues` values (as JSON.h's jsonValueCount
// counts them), for a reader that refuses anything larger: indented when that fits, else on one
// line (every entry kept); only when even that is too large are entries left out, the largest of
// those `used` says no to first, then the largest of the rest, until it fits. `leftOut` names
// them.
struct BoundedPropertyList {
    std::string text;
    std::vector<std::string> leftOut;
};
BoundedPropertyList encodePropertyList(const PropertyDictionary& dictionary, std::size_t maxSize,
                                       std::size_t maxValues,
                                       const std::function<bool(std::string_view key)>& used);

// Empty for anything that is not such an object: bad JSON, a top level that is not an object, a
// null, an unknown or malformed tag, nesting deeper than `maxDepth`, bad base64. An integer too
// large for 64 bits reads as a real.
std::optional<PropertyDictionary> decodePropertyList(std::string_view text,
                                                     std::size_t maxDepth = 256);

// A preferences file read entry by entry: every top-level member that decodes, and how many did
// not (a text that is not UTF-8 or holds a lone surrogate, nesting deeper than `maxDepth` counting
// the object itself, a null, an unknown or malformed tag, a key given twice, bad base64 anywhere
// inside it).
struct DecodedPropertyList {
    PropertyDictionary values;
    std::size_t droppedEntries = 0;
};

// Empty only when the text is not one JSON object at all (JSON.h's splitJSONObject: another kind
// at the top level, braces or a text left open, anything after it); otherwise each member stands
// or falls on its own.
std::optional<DecodedPropertyList> decodePropertyListEntries(std::string_view text,
                                                             std::size_t maxDepth = 256);

// Standard base64 with padding.
std::string encodeBase64(const Data& data);
std::optional<Data> decodeBase64(std::string_view text);

} // namespace foundation
