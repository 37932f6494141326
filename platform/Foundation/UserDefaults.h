// The user defaults: the application's preference domain over factory values registered at
// start-up (from the bundle's "Defaults.plist"), with Cocoa's conversions in the typed getters.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/PropertyList.h"

// Every member may be called from any thread.
class NSUserDefaults {
public:
    NSUserDefaults(const NSUserDefaults&) = delete;
    NSUserDefaults& operator=(const NSUserDefaults&) = delete;

    NSUserDefaults(PreferencesStore& store, std::string domain);

    // The application's domain ("com.orvo.Beatwick") in the shared store.
    static NSUserDefaults& standardUserDefaults();

    // Adds factory values, beneath whatever the user has set; they are never saved.
    void registerDefaults(const PropertyList::Dictionary& defaults);

    // The user's value, else the registered one; nullopt when neither exists.
    std::optional<PropertyList> objectForKey(std::string_view key) const;

    // NO when absent; numbers are YES when not 0; strings are YES for "YES" or "true" (in any
    // case) or when they start with a non-zero integer.
    bool boolForKey(std::string_view key) const;
    // 0 when absent; reals are truncated; strings give their leading integer (clamped).
    int64_t integerForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    float floatForKey(std::string_view key) const { return static_cast<float>(doubleForKey(key)); }
    // Strings as they are, numbers as their text; nullopt otherwise.
    std::optional<std::string> stringForKey(std::string_view key) const;
    std::optional<PropertyList::Array> arrayForKey(std::string_view key) const;
    std::optional<PropertyList::Dictionary> dictionaryForKey(std::string_view key) const;
    std::optional<PropertyList::Data> dataForKey(std::string_view key) const;

    // Each change is written through to the domain's file at once, so nothing set is lost to
    // a crash; a failed write is reported by the store and retried at the next change.
    void setObject(const PropertyList& value, std::string_view key);
    void setBool(bool value, std::string_view key) { setObject(PropertyList(value), key); }
    void setInteger(int64_t value, std::string_view key) { setObject(PropertyList(value), key); }
    void setDouble(double value, std::string_view key) { setObject(PropertyList(value), key); }
    void removeObjectForKey(std::string_view key);

    // Writes pending changes, else reads the file again. YES when the domain is saved.
    bool synchronize();

    // Registered values overlaid with the user's.
    PropertyList::Dictionary dictionaryRepresentation() const;

private:
    PreferencesStore& mStore;
    const std::string mDomain;
    mutable std::mutex mMutex;  // guards mRegistered
    PropertyList::Dictionary mRegistered;
};
