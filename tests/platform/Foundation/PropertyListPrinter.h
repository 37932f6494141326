// Readable property lists in test failure messages.
#pragma once

#include <ostream>

#include "platform/Foundation/PropertyList.h"

inline void PrintTo(const PropertyList& value, std::ostream* out) {
    using Type = PropertyList::Type;
    switch (value.type()) {
        case Type::Dictionary: {
            *out << "{";
            for (const auto& [key, item] : *value.dictionary()) {
                *out << '"' << key << "\": ";
                PrintTo(item, out);
                *out << "; ";
            }
            *out << "}";
            break;
        }
        case Type::Array:
            *out << "(";
            for (const PropertyList& item : *value.array()) {
                PrintTo(item, out);
                *out << ", ";
            }
            *out << ")";
            break;
        case Type::String:
            *out << '"' << *value.string() << '"';
            break;
        case Type::Integer:
            *out << *value.integer();
            break;
        case Type::UnsignedInteger:
            *out << *value.unsignedInteger() << "u";
            break;
        case Type::Real:
            *out << *value.real() << "r";
            break;
        case Type::Boolean:
            *out << (*value.boolean() ? "YES" : "NO");
            break;
        case Type::Date:
            *out << "date " << value.date()->seconds;
            break;
        case Type::Data:
            *out << "<" << value.data()->size() << " bytes>";
            break;
    }
}
