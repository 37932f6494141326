// Reading an object's properties by name, as predicates and other generic code do: the property
// values are property-list numbers, booleans and strings.
#pragma once

#include <optional>
#include <string_view>

#include "platform/Foundation/PropertyList.h"

class KeyValueCoding {
public:
    virtual ~KeyValueCoding() = default;

    // The value of the property at the key path; nullopt when the object has no such property.
    virtual std::optional<PropertyList> valueForKeyPath(std::string_view keyPath) const = 0;
};
