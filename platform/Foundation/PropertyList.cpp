#include "platform/Foundation/PropertyList.h"

#include <cmath>
#include <limits>

bool PropertyList::isNumber() const {
    const Type t = type();
    return t == Type::Integer || t == Type::UnsignedInteger || t == Type::Real || t == Type::Boolean;
}

std::optional<PropertyList::Date> PropertyList::date() const {
    if (const Date* d = std::get_if<Date>(&mValue)) return *d;
    return std::nullopt;
}

std::optional<bool> PropertyList::boolean() const {
    if (const bool* b = std::get_if<bool>(&mValue)) return *b;
    return std::nullopt;
}

std::optional<int64_t> PropertyList::integer() const {
    if (const int64_t* i = std::get_if<int64_t>(&mValue)) return *i;
    if (const uint64_t* u = std::get_if<uint64_t>(&mValue)) {
        if (*u <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return static_cast<int64_t>(*u);
        return std::nullopt;
    }
    if (const double* r = std::get_if<double>(&mValue)) {
        // 2^63 is the first double beyond the signed range.
        if (std::isnan(*r) || *r >= 9223372036854775808.0 || *r < -9223372036854775808.0) return std::nullopt;
        return static_cast<int64_t>(*r);
    }
    if (const bool* b = std::get_if<bool>(&mValue)) return *b ? 1 : 0;
    return std::nullopt;
}

std::optional<uint64_t> PropertyList::unsignedInteger() const {
    if (const uint64_t* u = std::get_if<uint64_t>(&mValue)) return *u;
    if (const int64_t* i = std::get_if<int64_t>(&mValue)) {
        if (*i >= 0) return static_cast<uint64_t>(*i);
        return std::nullopt;
    }
    if (const double* r = std::get_if<double>(&mValue)) {
        if (std::isnan(*r) || *r <= -1.0 || *r >= 18446744073709551616.0) return std::nullopt;
        return static_cast<uint64_t>(*r);
    }
    if (const bool* b = std::get_if<bool>(&mValue)) return *b ? 1u : 0u;
    return std::nullopt;
}

std::optional<double> PropertyList::real() const {
    if (const double* r = std::get_if<double>(&mValue)) return *r;
    if (const int64_t* i = std::get_if<int64_t>(&mValue)) return static_cast<double>(*i);
    if (const uint64_t* u = std::get_if<uint64_t>(&mValue)) return static_cast<double>(*u);
    if (const bool* b = std::get_if<bool>(&mValue)) return *b ? 1.0 : 0.0;
    return std::nullopt;
}

const PropertyList* PropertyList::objectForKey(std::string_view key) const {
    const Dictionary* d = dictionary();
    if (!d) return nullptr;
    auto it = d->find(key);
    return it == d->end() ? nullptr : &it->second;
}
