// What the rules pane asks of the program around it: the user's playlists, and the system's
// accessibility access that the player's info window needs. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "platform/Carbon/MacTypes.h"

// A playlist as the rule sheet offers it: the name shown and the persistent ID stored.
struct UserPlaylist {
    std::string name;
    SInt64 persistentID{0};
    bool operator==(const UserPlaylist&) const = default;
};

class RulesPrefsControllerHost {
public:
    virtual ~RulesPrefsControllerHost() = default;

    // The running player's user playlists, else those of its library file, in the player's order.
    virtual std::vector<UserPlaylist> userPlaylists() = 0;
    virtual bool accessibilityEnabled() = 0;
    virtual void openAccessibilitySettings() = 0;
};
