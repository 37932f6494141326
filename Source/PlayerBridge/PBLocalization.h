// Localized names of the bridge's pseudo-playlists: looked up by key in the main bundle's
// default strings table, the key itself when it has none.
//
// Tests may install a look-up of their own in place of the bundle's table.
#pragma once

#include <functional>
#include <string>

using PBStringLookup = std::function<std::string(const std::string& key)>;

// Main thread only.
std::string PBLocalizedString(const std::string& key);
void PBSetLocalizedStringLookup(PBStringLookup lookup);

class ScopedPBLocalizedStringLookup {
public:
    explicit ScopedPBLocalizedStringLookup(PBStringLookup lookup);
    ~ScopedPBLocalizedStringLookup();
    ScopedPBLocalizedStringLookup(const ScopedPBLocalizedStringLookup&) = delete;
    ScopedPBLocalizedStringLookup& operator=(const ScopedPBLocalizedStringLookup&) = delete;

private:
    PBStringLookup fPrevious;
};
