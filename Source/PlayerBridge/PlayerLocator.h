// Where the running player is: the process id of the first running application with the
// player's bundle identifier, or 0 when none runs.
//
// The bridge asks at every send, so a player that quit and started again is found anew. By
// default the shared running-application source is asked; tests may install a look-up of their own.
#pragma once

#include <functional>

#include "platform/Carbon/MacTypes.h"

inline constexpr const char* kPlayerBundleIdentifier = "com.apple.iTunes";

using PlayerProcessLookup = std::function<SInt32()>;

// The running player's process id, 0 when none runs. Main thread.
SInt32 PBRunningPlayerProcessID();

// Installs a look-up (an empty one restores the running-application source).
void PBSetPlayerProcessLookup(PlayerProcessLookup lookup);

// Installs a look-up for a scope and restores the previous one after it.
class ScopedPlayerProcessLookup {
public:
    explicit ScopedPlayerProcessLookup(PlayerProcessLookup lookup);
    ~ScopedPlayerProcessLookup();
    ScopedPlayerProcessLookup(const ScopedPlayerProcessLookup&) = delete;
    ScopedPlayerProcessLookup& operator=(const ScopedPlayerProcessLookup&) = delete;

private:
    PlayerProcessLookup fPrevious;
};
