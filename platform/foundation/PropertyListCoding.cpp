#include "platform/foundation/PropertyListCoding.h"

#include "platform/foundation/JSON.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace foundation {
namespace {

using nlohmann::json;

constexpr std::string_view realTag = "$real";
constexpr std::string_view dateTag = "$date";
constexpr std::string_view dataTag = "$data";

constexpr std::string_view base64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

json tagged(std::string_view tag, json value) {
    json object = json::object();
    object[std::string(tag)] = std::move(value);
    return object;
}

json encodeValue(const PropertyValue& value);

// Texts that are not valid UTF-8 cannot be JSON; their bad bytes become U+FFFD rather than losing
// the whole file. An indent of -1 writes everything on one line.
std::string dumped(const json& value, int indent) {
    return value.dump(indent, ' ', false, json::error_handler_t::replace);
}

// The size of `text`, one value as dumped() writes it on one line, indented by two spaces a
// level: a line break and the indent before each element and each closing bracket of a
// non-empty array or object, and a space after each colon. Known before the indented text is
// made, which for a deep nesting can be hundreds of times the size of the one line.
std::size_t indentedSize(std::string_view text) {
    std::size_t size = text.size();
    std::size_t depth = 0;
    forEachOutsideStrings(text, [&](std::size_t i) {
        const char c = text[i];
        if ((c == '[' || c == '{') && i + 1 < text.size() &&
            (text[i + 1] == ']' || text[i + 1] == '}'))
            return std::size_t{2};
        if (c == '[' || c == '{')
            size += 1 + 2 * ++depth;
        else if (c == ',')
            size += 1 + 2 * depth;
        else if (c == ':')
            size += 1;
        else if (c == ']' || c == '}')
            size += 1 + 2 * --depth;
        return std::size_t{1};
    });
    return size;
}

json encodeDictionary(const PropertyDictionary& dictionary) {
    json object = json::object();
    for (const auto& [key, member] : dictionary)
        object[key.starts_with('$') ? "$" + key : key] = encodeValue(member);
    return object;
}

json encodeValue(const PropertyValue& value) {
    struct Encoder {
        json operator()(bool v) const { return v; }
        json operator()(std::int64_t v) const { return v; }
        json operator()(double v) const {
            if (std::isnan(v))
                return tagged(realTag, "nan");
            if (std::isinf(v))
                return tagged(realTag, v < 0 ? "-inf" : "inf");
            return v;
        }
        json operator()(const std::string& v) const { return v; }
        json operator()(const Date& v) const {
            // A date from outside may not be finite; it is stored the way a real would be.
            if (!std::isfinite(v.timeIntervalSince1970))
                return tagged(dateTag, encodeValue(v.timeIntervalSince1970));
            return tagged(dateTag, v.timeIntervalSince1970);
        }
        json operator()(const Data& v) const { return tagged(dataTag, encodeBase64(v)); }
        json operator()(const PropertyArray& v) const {
            json array = json::array();
            for (const auto& element : v)
                array.push_back(encodeValue(element));
            return array;
        }
        json operator()(const PropertyDictionary& v) const { return encodeDictionary(v); }
    };
    return std::visit(Encoder{}, value.storage());
}

std::optional<PropertyValue> decodeValue(const json& value);

std::optional<double> decodeReal(const json& value) {
    if (value.is_number())
        return value.get<double>();
    if (value.is_object() && value.size() == 1 && value.contains(realTag)) {
        const auto& word = value.at(std::string(realTag));
        if (word == "inf")
            return INFINITY;
        if (word == "-inf")
            return -INFINITY;
        if (word == "nan")
            return NAN;
    }
    return std::nullopt;
}

std::optional<PropertyValue> decodeTagged(const json& object) {
    auto member = object.begin();
    const std::string& tag = member.key();
    const json& content = member.value();
    if (tag == realTag) {
        auto real = decodeReal(object);
        return real ? std::optional<PropertyValue>(*real) : std::nullopt;
    }
    if (tag == dateTag) {
        auto seconds = decodeReal(content);
        return seconds ? std::optional<PropertyValue>(Date{*seconds}) : std::nullopt;
    }
    if (tag == dataTag && content.is_string()) {
        auto data = decodeBase64(content.get_ref<const std::string&>());
        return data ? std::optional<PropertyValue>(std::move(*data)) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<PropertyDictionary> decodeDictionary(const json& object) {
    PropertyDictionary dictionary;
    for (const auto& [key, member] : object.items()) {
        auto value = decodeValue(member);
        if (!value)
            return std::nullopt;
        dictionary.insert_or_assign(key.starts_with('$') ? key.substr(1) : key, std::move(*value));
    }
    return dictionary;
}

bool isTag(std::string_view key) {
    return key == realTag || key == dateTag || key == dataTag;
}

std::optional<PropertyValue> decodeValue(const json& value) {
    switch (value.type()) {
    case json::value_t::boolean:
        return PropertyValue(value.get<bool>());
    case json::value_t::number_integer:
        return PropertyValue(value.get<std::int64_t>());
    case json::value_t::number_unsigned: {
        auto number = value.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(INT64_MAX))
            return PropertyValue(static_cast<std::int64_t>(number));
        return PropertyValue(static_cast<double>(number));
    }
    case json::value_t::number_float:
        return PropertyValue(value.get<double>());
    case json::value_t::string:
        return PropertyValue(value.get<std::string>());
    case json::value_t::array: {
        PropertyArray array;
        array.reserve(value.size());
        for (const auto& element : value) {
            auto decoded = decodeValue(element);
            if (!decoded)
                return std::nullopt;
            array.push_back(std::move(*decoded));
        }
        return PropertyValue(std::move(array));
    }
    case json::value_t::object: {
        if (value.size() == 1 && isTag(value.begin().key()))
            return decodeTagged(value);
        // Any other key that looks like a tag was escaped with a second "$" when written.
        for (const auto& [key, member] : value.items())
            if (key.starts_with('$') && !key.starts_with("$$"))
                return std::nullopt;
        auto dictionary = decodeDictionary(value);
        return dictionary ? std::optional<PropertyValue>(std::move(*dictionary)) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::string encodePropertyList(const PropertyDictionary& dictionary) {
    return dumped(encodeDictionary(dictionary), 2) + "\n";
}

BoundedPropertyList encodePropertyList(const PropertyDictionary& dictionary, std::size_t maxSize,
                                       std::size_t maxValues,
                                       const std::function<bool(std::string_view key)>& used) {
    {
        const auto encoded = encodeDictionary(dictionary);
        const auto line = dumped(encoded, -1);
        if (indentedSize(line) + 1 <= maxSize && jsonValueCount(line) <= maxValues)
            return {dumped(encoded, 2) + "\n", {}};
    }

    // Each entry as it stands on one line, and what the braces, commas and end of line add.
    struct Entry {
        const std::string* key;
        std::string text;
        std::size_t values;
        bool used;
    };
    std::vector<Entry> entries;
    entries.reserve(dictionary.size());
    std::size_t size = 3;
    std::size_t values = 1;
    for (const auto& [key, value] : dictionary) {
        auto text = dumped(json(key.starts_with('$') ? "$" + key : key), -1) + ":" +
                    dumped(encodeValue(value), -1);
        const auto count = jsonValueCount(text);
        size += text.size() + (entries.empty() ? 0 : 1);
        values += count + (entries.empty() ? 0 : 1);
        entries.push_back({&key, std::move(text), count, used(key)});
    }
    BoundedPropertyList result;
    if (size > maxSize || values > maxValues) {
        std::vector<Entry*> byCost;
        for (auto& entry : entries)
            byCost.push_back(&entry);
        std::sort(byCost.begin(), byCost.end(), [](const Entry* a, const Entry* b) {
            return a->used != b->used ? !a->used : a->text.size() > b->text.size();
        });
        std::size_t remaining = entries.size();
        for (Entry* entry : byCost) {
            if (size <= maxSize && values <= maxValues)
                break;
            const std::size_t comma = --remaining > 0 ? 1 : 0;
            size -= entry->text.size() + comma;
            values -= entry->values + comma;
            result.leftOut.push_back(*entry->key);
            entry->key = nullptr;
        }
    }
    result.text.reserve(size);
    result.text += '{';
    for (const auto& entry : entries) {
        if (!entry.key)
            continue;
        if (result.text.size() > 1)
            result.text += ',';
        result.text += entry.text;
    }
    result.text += "}\n";
    return result;
}

std::optional<PropertyDictionary> decodePropertyList(std::string_view text, std::size_t maxDepth) {
    auto entries = decodePropertyListEntries(text, maxDepth);
    if (!entries || entries->droppedEntries > 0)
        return std::nullopt;
    return std::move(entries->values);
}

std::optional<DecodedPropertyList> decodePropertyListEntries(std::string_view text,
                                                             std::size_t maxDepth) {
    const auto members = splitJSONObject(text);
    if (!members)
        return std::nullopt;
    // Each member is parsed on its own, so a bad text, a lone surrogate or too deep a nesting
    // in one of them costs only that one; the object itself counts as one level. It is decoded
    // at once, straight into the result: the parser's tree of only one member is ever held, and
    // no entry is held twice.
    DecodedPropertyList decoded;
    std::set<std::string, std::less<>> failed;
    std::set<std::string, std::less<>> repeated;
    for (const auto& member : *members) {
        const auto key = parseJSON(member.key, 0);
        if (!key || !key->is_string()) {
            ++decoded.droppedEntries;
            continue;
        }
        auto name = key->get<std::string>();
        // A top-level key that looks like a tag was escaped when written; an unescaped one is
        // not ours.
        const bool ours = !name.starts_with('$') || name.starts_with("$$");
        auto stored = name.starts_with('$') ? name.substr(1) : name;
        // A key given twice is ambiguous: neither of its values is trusted.
        if (failed.contains(name)) {
            ++decoded.droppedEntries;
            continue;
        }
        if (ours && decoded.values.contains(stored)) {
            ++decoded.droppedEntries;
            repeated.insert(std::move(stored));
            continue;
        }
        const auto parsed =
            ours && maxDepth > 0 ? parseJSON(member.value, maxDepth - 1) : std::nullopt;
        auto value = parsed ? decodeValue(*parsed) : std::nullopt;
        if (value)
            decoded.values.emplace(std::move(stored), std::move(*value));
        else
            failed.insert(std::move(name));
    }
    for (const auto& key : repeated)
        decoded.values.erase(key);
    decoded.droppedEntries += repeated.size() + failed.size();
    return decoded;
}

std::string encodeBase64(const Data& data) {
    std::string text;
    text.reserve((data.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < data.size(); i += 3) {
        std::uint32_t chunk = std::uint32_t{data[i]} << 16;
        if (i + 1 < data.size())
            chunk |= std::uint32_t{data[i + 1]} << 8;
        if (i + 2 < data.size())
            chunk |= data[i + 2];
        text += base64Alphabet[(chunk >> 18) & 63];
        text += base64Alphabet[(chunk >> 12) & 63];
        text += i + 1 < data.size() ? base64Alphabet[(chunk >> 6) & 63] : '=';
        text += i + 2 < data.size() ? base64Alphabet[chunk & 63] : '=';
    }
    return text;
}

std::optional<Data> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    Data data;
    data.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t chunk = 0;
        int padding = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            char c = text[i + j];
            std::uint32_t sextet = 0;
            if (c == '=' && i + 4 == text.size() && j >= 2) {
                ++padding;
            } else {
                auto found = base64Alphabet.find(c);
                // No symbol may follow padding.
                if (found == std::string_view::npos || padding > 0)
                    return std::nullopt;
                sextet = static_cast<std::uint32_t>(found);
            }
            chunk = (chunk << 6) | sextet;
        }
        data.push_back(static_cast<std::uint8_t>(chunk >> 16));
        if (padding < 2)
            data.push_back(static_cast<std::uint8_t>(chunk >> 8));
        if (padding < 1)
            data.push_back(static_cast<std::uint8_t>(chunk));
    }
    return data;
}

} // namespace foundation
