#include "Source/PlayerBridge/PlayerLocator.h"

#include <utility>

#include "platform/Foundation/RunningApplication.h"

namespace {

PlayerProcessLookup& lookup() {
    static PlayerProcessLookup current;
    return current;
}

}  // namespace

SInt32 PBRunningPlayerProcessID() {
    if (lookup()) return lookup()();
    const std::optional<NSRunningApplication> player =
        RunningApplicationSource::shared()->runningApplicationWithBundleIdentifier(kPlayerBundleIdentifier);
    return player ? player->processIdentifier : 0;
}

void PBSetPlayerProcessLookup(PlayerProcessLookup replacement) {
    lookup() = std::move(replacement);
}

ScopedPlayerProcessLookup::ScopedPlayerProcessLookup(PlayerProcessLookup replacement)
    : fPrevious(std::move(lookup())) {
    lookup() = std::move(replacement);
}

ScopedPlayerProcessLookup::~ScopedPlayerProcessLookup() {
    lookup() = std::move(fPrevious);
}
