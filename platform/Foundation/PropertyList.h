// The property-list value: dictionary (string keys, kept sorted), array, string, signed or
// unsigned 64-bit integer, real, boolean, date and data. Reading and writing live in
// PropertyListSerialization.h.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class PropertyList {
public:
    using Dictionary = std::map<std::string, PropertyList, std::less<>>;
    using Array = std::vector<PropertyList>;
    using Data = std::vector<uint8_t>;

    // Seconds since 1 January 2001, 00:00 UTC.
    struct Date {
        double seconds{0};
        bool operator==(const Date&) const = default;
    };

    enum class Type { Dictionary, Array, String, Integer, UnsignedInteger, Real, Boolean, Date, Data };

    PropertyList() : mValue(Dictionary{}) {}
    PropertyList(Dictionary value) : mValue(std::move(value)) {}
    PropertyList(Array value) : mValue(std::move(value)) {}
    PropertyList(std::string value) : mValue(std::move(value)) {}
    PropertyList(std::string_view value) : mValue(std::string(value)) {}
    PropertyList(const char* value) : mValue(std::string(value)) {}
    PropertyList(bool value) : mValue(value) {}
    PropertyList(int value) : mValue(int64_t{value}) {}
    PropertyList(long value) : mValue(int64_t{value}) {}
    PropertyList(long long value) : mValue(int64_t{value}) {}
    PropertyList(unsigned value) : mValue(int64_t{value}) {}
    // Unsigned values up to INT64_MAX are held as signed ones, as readers give them back, so
    // that equal numbers compare equal; only larger ones have the type UnsignedInteger.
    PropertyList(unsigned long value) : mValue(fromUnsigned(value)) {}
    PropertyList(unsigned long long value) : mValue(fromUnsigned(value)) {}
    PropertyList(double value) : mValue(value) {}
    PropertyList(Date value) : mValue(value) {}
    PropertyList(Data value) : mValue(std::move(value)) {}

    Type type() const { return static_cast<Type>(mValue.index()); }
    bool isNumber() const;

    // The value when it has that type, else nullptr.
    const Dictionary* dictionary() const { return std::get_if<Dictionary>(&mValue); }
    Dictionary* dictionary() { return std::get_if<Dictionary>(&mValue); }
    const Array* array() const { return std::get_if<Array>(&mValue); }
    Array* array() { return std::get_if<Array>(&mValue); }
    const std::string* string() const { return std::get_if<std::string>(&mValue); }
    const Data* data() const { return std::get_if<Data>(&mValue); }
    std::optional<Date> date() const;
    std::optional<bool> boolean() const;

    // Numbers of any kind, converted: integers to the signed or unsigned range when they fit
    // (reals are truncated toward zero and must fit too), booleans as 0 or 1.
    std::optional<int64_t> integer() const;
    std::optional<uint64_t> unsignedInteger() const;
    std::optional<double> real() const;

    // Dictionary look-up; nullptr when this is not a dictionary or has no such key.
    const PropertyList* objectForKey(std::string_view key) const;

    bool operator==(const PropertyList& other) const = default;

private:
    using Storage = std::variant<Dictionary, Array, std::string, int64_t, uint64_t, double, bool, Date, Data>;
    static Storage fromUnsigned(uint64_t value) {
        if (value <= static_cast<uint64_t>(INT64_MAX)) return static_cast<int64_t>(value);
        return value;
    }

    Storage mValue;
};
