#include "player/OrderedPropertyList.h"

namespace player {

OrderedPropertyList::OrderedPropertyList(const PropertyList& value) {
    if (const PropertyList::Dictionary* dictionary = value.dictionary()) {
        Dictionary entries;
        entries.reserve(dictionary->size());
        for (const auto& [key, item] : *dictionary) entries.emplace_back(key, OrderedPropertyList(item));
        fValue = std::move(entries);
    } else if (const PropertyList::Array* array = value.array()) {
        Array items(array->begin(), array->end());
        fValue = std::move(items);
    } else {
        fValue = value;
    }
}

std::optional<int64_t> OrderedPropertyList::integer() const {
    return scalar() ? scalar()->integer() : std::nullopt;
}

std::optional<bool> OrderedPropertyList::boolean() const {
    return scalar() ? scalar()->boolean() : std::nullopt;
}

std::optional<PropertyList::Date> OrderedPropertyList::date() const {
    return scalar() ? scalar()->date() : std::nullopt;
}

const OrderedPropertyList* OrderedPropertyList::objectForKey(std::string_view key) const {
    const Dictionary* entries = dictionary();
    if (!entries) return nullptr;
    for (const Entry& entry : *entries) {
        if (entry.first == key) return &entry.second;
    }
    return nullptr;
}

}  // namespace player
