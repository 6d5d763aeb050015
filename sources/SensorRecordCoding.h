#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

// Field readers shared by the companion's wire records. A field is "missing" when the key is
// absent or null; a present field of the wrong type, or a number that is not finite, fails the
// whole record.
namespace pulsedeck::sensorcoding {

// How deeply a record may nest: payload → fans → fan is three levels; a little room beyond.
inline constexpr std::size_t maxDepth = 8;

template <typename T> struct Field {
    bool ok = true;
    std::optional<T> value;
};

inline const nlohmann::json* member(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return nullptr;
    return &*it;
}

inline Field<std::int64_t> integer(const nlohmann::json& object, const char* key) {
    const nlohmann::json* value = member(object, key);
    if (!value)
        return {};
    if (value->is_number_unsigned()) {
        auto raw = value->get<std::uint64_t>();
        if (raw > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return {false, {}};
        }
        return {true, static_cast<std::int64_t>(raw)};
    }
    if (value->is_number_integer())
        return {true, value->get<std::int64_t>()};
    return {false, {}};
}

inline Field<double> real(const nlohmann::json& object, const char* key) {
    const nlohmann::json* value = member(object, key);
    if (!value)
        return {};
    if (!value->is_number())
        return {false, {}};
    double number = value->get<double>();
    if (!std::isfinite(number))
        return {false, {}};
    return {true, number};
}

inline Field<std::string> text(const nlohmann::json& object, const char* key) {
    const nlohmann::json* value = member(object, key);
    if (!value)
        return {};
    if (!value->is_string())
        return {false, {}};
    return {true, value->get<std::string>()};
}

inline Field<bool> boolean(const nlohmann::json& object, const char* key) {
    const nlohmann::json* value = member(object, key);
    if (!value)
        return {};
    if (!value->is_boolean())
        return {false, {}};
    return {true, value->get<bool>()};
}

// A required field: present and of its type.
template <typename T> bool required(const Field<T>& field, T& into) {
    if (!field.ok || !field.value)
        return false;
    into = *field.value;
    return true;
}

// An optional field: absent, or present and of its type.
template <typename T> bool optional(const Field<T>& field, std::optional<T>& into) {
    if (!field.ok)
        return false;
    into = field.value;
    return true;
}

} // namespace pulsedeck::sensorcoding
