// The application bundle: its resources, its information keys and its localized string tables,
// found in the Resources folder beside the executable or under the install prefix.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/StringsTable.h"

// Every member may be called from any thread.
class NSBundle {
public:
    NSBundle(const NSBundle&) = delete;
    NSBundle& operator=(const NSBundle&) = delete;

    static NSBundle& mainBundle();

    // The Resources folder: $BEATWICK_RESOURCE_DIR when set, else <executable dir>/Resources,
    // else <executable dir>/../share/beatwick/Resources.
    std::string resourcePath() const;
    // "name.type" (or just name when type is empty) in the Resources folder, or in its
    // subdirectory; nullopt when no such file exists.
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const;
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type,
                                               std::string_view subdirectory) const;
    // Text keys ("CFBundleExecutable", "CFBundleName", "CFBundleShortVersionString",
    // "CFBundleVersion", ...) of Resources/Info.plist.
    std::optional<std::string> objectForInfoDictionaryKey(std::string_view key) const;
    // From <table>.strings (table "" means "Localizable"); a missing key returns value when it is
    // non-empty, else the key.
    std::string localizedStringForKey(std::string_view key, std::string_view value,
                                      std::string_view table) const;

private:
    NSBundle() = default;

    mutable std::mutex mMutex;  // guards the caches, keyed by full path
    mutable std::map<std::string, PropertyList::Dictionary, std::less<>> mInfo;
    mutable std::map<std::string, StringsTable, std::less<>> mTables;
};

// A user-visible text of the main bundle's "Localizable" table, keyed by its English text; the
// key itself when the table has no entry. The comment is for translators only. Any thread.
inline std::string NSLocalizedString(std::string_view key, std::string_view /*comment*/) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}
