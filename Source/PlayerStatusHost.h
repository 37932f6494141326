// What the track model asks of its controller. Main thread only.
#pragma once

#include "platform/Carbon/MacTypes.h"

class PlayerStatusHost {
public:
    virtual ~PlayerStatusHost() = default;

    // Some running application is the player.
    virtual bool iTunesIsRunning() = 0;
    // The player answers a request within the time-out (ticks of 1/60 second).
    virtual bool iTunesIsResponding(UInt32 ticks) = 0;
    // The assigned-tracks look-up (update false) or replacement (update true).
    virtual bool trackAssigned(SInt64 persistentID, SInt32 bpm, bool updateValue) = 0;
};
