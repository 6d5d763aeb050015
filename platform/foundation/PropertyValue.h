#pragma once

#include "platform/foundation/Date.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace foundation {

class PropertyValue;
using PropertyArray = std::vector<PropertyValue>;
using PropertyDictionary = std::map<std::string, PropertyValue, std::less<>>;
using Data = std::vector<std::uint8_t>;

// One stored preference: a Boolean, integer, real, text, date, data, array or dictionary. The
// kinds stay distinct (true is not 1, 3 is not 3.0) so a value reads back as what was stored.
//
// The as...() readers are the typed getters of the settings: a value of another kind reads as
// absent, except that numbers convert where nothing is lost — an integral real reads as an
// integer, an integer reads as a real, a Boolean reads as 0 or 1, and a number reads as a
// Boolean (non-zero is true; NaN has no truth value).
class PropertyValue {
public:
    using Storage = std::variant<bool, std::int64_t, double, std::string, Date, Data, PropertyArray,
                                 PropertyDictionary>;

    PropertyValue() : storage_(false) {}
    PropertyValue(bool value) : storage_(value) {}
    PropertyValue(int value) : storage_(std::int64_t{value}) {}
    PropertyValue(std::int64_t value) : storage_(value) {}
    PropertyValue(double value) : storage_(value) {}
    PropertyValue(const char* value) : storage_(std::string(value)) {}
    PropertyValue(std::string value) : storage_(std::move(value)) {}
    PropertyValue(Date value) : storage_(value) {}
    PropertyValue(Data value) : storage_(std::move(value)) {}
    PropertyValue(PropertyArray value) : storage_(std::move(value)) {}
    PropertyValue(PropertyDictionary value) : storage_(std::move(value)) {}

    const Storage& storage() const { return storage_; }

    bool isBool() const { return std::holds_alternative<bool>(storage_); }
    bool isInteger() const { return std::holds_alternative<std::int64_t>(storage_); }
    bool isReal() const { return std::holds_alternative<double>(storage_); }
    bool isNumber() const { return isInteger() || isReal(); }
    bool isString() const { return std::holds_alternative<std::string>(storage_); }
    bool isDate() const { return std::holds_alternative<Date>(storage_); }
    bool isData() const { return std::holds_alternative<Data>(storage_); }
    bool isArray() const { return std::holds_alternative<PropertyArray>(storage_); }
    bool isDictionary() const { return std::holds_alternative<PropertyDictionary>(storage_); }

    std::optional<bool> asBool() const;
    std::optional<std::int64_t> asInteger() const;
    std::optional<double> asDouble() const;

    const std::string* asString() const { return std::get_if<std::string>(&storage_); }
    const Date* asDate() const { return std::get_if<Date>(&storage_); }
    const Data* asData() const { return std::get_if<Data>(&storage_); }
    const PropertyArray* asArray() const { return std::get_if<PropertyArray>(&storage_); }
    const PropertyDictionary* asDictionary() const {
        return std::get_if<PropertyDictionary>(&storage_);
    }

    // Same kind and same value; a real NaN equals no value, itself included.
    bool operator==(const PropertyValue& other) const { return storage_ == other.storage_; }

private:
    Storage storage_;
};

} // namespace foundation
