#include "platform/foundation/PropertyValue.h"

#include <cmath>

namespace foundation {

std::optional<bool> PropertyValue::asBool() const {
    if (auto value = std::get_if<bool>(&storage_))
        return *value;
    if (auto value = std::get_if<std::int64_t>(&storage_))
        return *value != 0;
    if (auto value = std::get_if<double>(&storage_)) {
        if (std::isnan(*value))
            return std::nullopt;
        return *value != 0;
    }
    return std::nullopt;
}

std::optional<std::int64_t> PropertyValue::asInteger() const {
    if (auto value = std::get_if<std::int64_t>(&storage_))
        return *value;
    if (auto value = std::get_if<bool>(&storage_))
        return *value ? 1 : 0;
    if (auto value = std::get_if<double>(&storage_)) {
        // 2^63 itself is out of range; every double below it converts exactly.
        constexpr double limit = 9223372036854775808.0;
        if (std::isfinite(*value) && std::trunc(*value) == *value && *value >= -limit &&
            *value < limit)
            return static_cast<std::int64_t>(*value);
    }
    return std::nullopt;
}

std::optional<double> PropertyValue::asDouble() const {
    if (auto value = std::get_if<double>(&storage_))
        return *value;
    if (auto value = std::get_if<std::int64_t>(&storage_))
        return static_cast<double>(*value);
    if (auto value = std::get_if<bool>(&storage_))
        return *value ? 1.0 : 0.0;
    return std::nullopt;
}

} // namespace foundation
