#include "Source/PlayerBridge/PlayerLocator.h"

#include <utility>

namespace {

PlayerProcessLookup& lookup() {
    static PlayerProcessLookup current;
    return current;
}

}  // namespace

SInt32 PBRunningPlayerProcessID() {
    return lookup() ? lookup()() : 0;
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
