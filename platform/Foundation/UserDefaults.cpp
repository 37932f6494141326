#include "platform/Foundation/UserDefaults.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

std::string_view trimmedLeft(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    return text;
}

// The leading decimal integer of a text, clamped to the 64-bit range; 0 when there is none.
int64_t leadingInteger(std::string_view text) {
    text = trimmedLeft(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    uint64_t magnitude = 0;
    const uint64_t limit =
        negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    for (char c : text) {
        if (c < '0' || c > '9') break;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (negative)
        return magnitude == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min()
                                                : -static_cast<int64_t>(magnitude);
    return static_cast<int64_t>(magnitude);
}

double leadingReal(std::string_view text) {
    text = trimmedLeft(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        return (!text.empty() && text.front() == '-') ? -HUGE_VAL : HUGE_VAL;
    }
    return error == std::errc() ? value : 0.0;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string numberText(const PropertyList& value) {
    switch (value.type()) {
        case PropertyList::Type::Integer:
            return std::to_string(*value.integer());
        case PropertyList::Type::UnsignedInteger:
            return std::to_string(*value.unsignedInteger());
        case PropertyList::Type::Boolean:
            return *value.boolean() ? "1" : "0";
        default: {
            char buffer[32];
            const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, *value.real());
            return error == std::errc() ? std::string(buffer, end) : std::string();
        }
    }
}

}  // namespace

NSUserDefaults::NSUserDefaults(PreferencesStore& store, std::string domain)
    : mStore(store), mDomain(std::move(domain)) {}

NSUserDefaults& NSUserDefaults::standardUserDefaults() {
    static NSUserDefaults defaults(PreferencesStore::shared(), std::string(kBeatwickPreferencesDomain));
    return defaults;
}

void NSUserDefaults::registerDefaults(const PropertyList::Dictionary& defaults) {
    std::lock_guard lock(mMutex);
    for (const auto& [key, value] : defaults) mRegistered.insert_or_assign(key, value);
}

std::optional<PropertyList> NSUserDefaults::objectForKey(std::string_view key) const {
    if (std::optional<PropertyList> stored = mStore.copyValue(key, mDomain)) return stored;
    std::lock_guard lock(mMutex);
    auto it = mRegistered.find(key);
    if (it == mRegistered.end()) return std::nullopt;
    return it->second;
}

bool NSUserDefaults::boolForKey(std::string_view key) const {
    const std::optional<PropertyList> value = objectForKey(key);
    if (!value) return false;
    if (const std::string* text = value->string()) {
        const std::string_view t = trimmedLeft(*text);
        return equalsIgnoringCase(t, "YES") || equalsIgnoringCase(t, "true") || leadingInteger(t) != 0;
    }
    if (value->type() == PropertyList::Type::UnsignedInteger) return true;
    if (value->isNumber()) return value->real().value_or(0) != 0;
    return false;
}

int64_t NSUserDefaults::integerForKey(std::string_view key) const {
    const std::optional<PropertyList> value = objectForKey(key);
    if (!value) return 0;
    if (const std::string* text = value->string()) return leadingInteger(*text);
    if (value->type() == PropertyList::Type::UnsignedInteger) return std::numeric_limits<int64_t>::max();
    if (value->type() == PropertyList::Type::Real) {
        const double r = *value->real();
        if (std::isnan(r)) return 0;
        if (r >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
        if (r <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    }
    return value->integer().value_or(0);
}

double NSUserDefaults::doubleForKey(std::string_view key) const {
    const std::optional<PropertyList> value = objectForKey(key);
    if (!value) return 0;
    if (const std::string* text = value->string()) return leadingReal(*text);
    return value->real().value_or(0);
}

std::optional<std::string> NSUserDefaults::stringForKey(std::string_view key) const {
    const std::optional<PropertyList> value = objectForKey(key);
    if (!value) return std::nullopt;
    if (const std::string* text = value->string()) return *text;
    if (value->isNumber()) return numberText(*value);
    return std::nullopt;
}

std::optional<PropertyList::Array> NSUserDefaults::arrayForKey(std::string_view key) const {
    std::optional<PropertyList> value = objectForKey(key);
    if (!value || !value->array()) return std::nullopt;
    return std::move(*value->array());
}

std::optional<PropertyList::Dictionary> NSUserDefaults::dictionaryForKey(std::string_view key) const {
    std::optional<PropertyList> value = objectForKey(key);
    if (!value || !value->dictionary()) return std::nullopt;
    return std::move(*value->dictionary());
}

std::optional<PropertyList::Data> NSUserDefaults::dataForKey(std::string_view key) const {
    std::optional<PropertyList> value = objectForKey(key);
    if (!value || !value->data()) return std::nullopt;
    return *value->data();
}

void NSUserDefaults::setObject(const PropertyList& value, std::string_view key) {
    if (mStore.setValue(key, value, mDomain)) mStore.synchronize(mDomain);
}

void NSUserDefaults::removeObjectForKey(std::string_view key) {
    mStore.setValue(key, std::nullopt, mDomain);
    mStore.synchronize(mDomain);
}

bool NSUserDefaults::synchronize() {
    return mStore.synchronize(mDomain).ok();
}

PropertyList::Dictionary NSUserDefaults::dictionaryRepresentation() const {
    PropertyList::Dictionary all;
    {
        std::lock_guard lock(mMutex);
        all = mRegistered;
    }
    for (auto& [key, value] : mStore.copyDomain(mDomain)) all.insert_or_assign(key, std::move(value));
    return all;
}
