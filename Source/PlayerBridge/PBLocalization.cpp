#include "Source/PlayerBridge/PBLocalization.h"

#include <utility>

#include "platform/Foundation/Bundle.h"

namespace {

PBStringLookup& lookup() {
    static PBStringLookup current;
    return current;
}

}  // namespace

std::string PBLocalizedString(const std::string& key) {
    if (lookup()) return lookup()(key);
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

void PBSetLocalizedStringLookup(PBStringLookup replacement) {
    lookup() = std::move(replacement);
}

ScopedPBLocalizedStringLookup::ScopedPBLocalizedStringLookup(PBStringLookup replacement)
    : fPrevious(std::move(lookup())) {
    lookup() = std::move(replacement);
}

ScopedPBLocalizedStringLookup::~ScopedPBLocalizedStringLookup() {
    lookup() = std::move(fPrevious);
}
