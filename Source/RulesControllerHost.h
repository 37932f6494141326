// What the rule engine asks of the player around it: playlists and tracks found by persistent ID,
// adding a file to a playlist and removing a track from one, the track's file, bringing the player
// forward and opening its info window. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Carbon/MacTypes.h"

class PlayerPlaylist;
class PlayerTrack;

class RulesControllerHost {
public:
    virtual ~RulesControllerHost() = default;

    // The player's playlist with that persistent ID; null when it is gone or cannot be looked up.
    virtual std::shared_ptr<PlayerPlaylist> playlistWithPersistentId(SInt64 persistentId) = 0;
    // The playlist's own track object for the track with that persistent ID, or null.
    virtual std::shared_ptr<PlayerTrack> trackInPlaylist(const PlayerPlaylist& playlist,
                                                         SInt64 trackPersistentId) = 0;
    // The POSIX path of the track's file; nullopt for a track without one (a stream).
    virtual std::optional<std::string> pathOfTrack(const PlayerTrack& track) = 0;
    // A rule that cannot act goes on to its next step; a failed add is only logged.
    // The add's status: 0 when it reached the player, fnfErr when the file is not there.
    virtual SInt16 addTrackPath(const std::string& path, const PlayerPlaylist& playlist) = 0;
    virtual void removeTrack(const PlayerTrack& track, const PlayerPlaylist& playlist) = 0;
    // Brings the running player forward, ignoring other applications; nothing when it is not running.
    virtual void activatePlayer() = 0;
    // Opens the player's info window for the current track; errors are swallowed.
    virtual void runGetInfoScript() = 0;
};
