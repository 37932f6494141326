// A property-list value whose dictionaries keep their keys in the order they were read, so that a
// library file written back keeps the order it had. Scalars (texts, numbers, truth values, dates,
// data) are held as PropertyList values.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/Foundation/PropertyList.h"

namespace player {

class OrderedPropertyList {
public:
    using Entry = std::pair<std::string, OrderedPropertyList>;
    using Dictionary = std::vector<Entry>;
    using Array = std::vector<OrderedPropertyList>;

    OrderedPropertyList() : fValue(Dictionary{}) {}
    OrderedPropertyList(Dictionary value) : fValue(std::move(value)) {}
    OrderedPropertyList(Array value) : fValue(std::move(value)) {}
    // A dictionary or array given here is converted, its keys in the sorted order they have.
    OrderedPropertyList(const PropertyList& value);

    const Dictionary* dictionary() const { return std::get_if<Dictionary>(&fValue); }
    Dictionary* dictionary() { return std::get_if<Dictionary>(&fValue); }
    const Array* array() const { return std::get_if<Array>(&fValue); }
    Array* array() { return std::get_if<Array>(&fValue); }
    // The value when it is neither a dictionary nor an array, else nullptr.
    const PropertyList* scalar() const { return std::get_if<PropertyList>(&fValue); }

    // The scalar's value when it has that type.
    const std::string* string() const { return scalar() ? scalar()->string() : nullptr; }
    const PropertyList::Data* data() const { return scalar() ? scalar()->data() : nullptr; }
    std::optional<int64_t> integer() const;
    std::optional<bool> boolean() const;
    std::optional<PropertyList::Date> date() const;

    // The first value of a key; nullptr when this is no dictionary or has no such key.
    const OrderedPropertyList* objectForKey(std::string_view key) const;

    bool operator==(const OrderedPropertyList& other) const = default;

private:
    std::variant<Dictionary, Array, PropertyList> fValue;
};

}  // namespace player
