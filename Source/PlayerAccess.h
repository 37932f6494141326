// The player as the track model and the controller reach it: the current track with the
// properties they read and write, the player's state and volume, the transport commands they
// send, and the user's playlists with look-ups by persistent ID. The bridge stands behind it in the program;
// tests give a player of their own. Failure values are the bridge's: -1 for numbers, nullopt for texts, null
// for a track. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Carbon/MacTypes.h"

class NSImage;

class PlayerTrack {
public:
    virtual ~PlayerTrack() = default;

    virtual std::optional<std::string> name() const = 0;
    virtual std::optional<std::string> artist() const = 0;
    virtual std::optional<std::string> album() const = 0;
    virtual std::optional<std::string> genre() const = 0;
    virtual SInt32 trackNumber() const = 0;
    virtual SInt32 duration() const = 0;
    virtual SInt32 rating() const = 0;
    virtual SInt32 bpm() const = 0;
    // Sent without waiting for a reply.
    virtual void setBpm(SInt32 bpm) const = 0;
    virtual void setRating(SInt32 rating) const = 0;
    // -1 when it cannot be read.
    virtual SInt64 persistentId() const = 0;
    // The file URL as text.
    virtual std::optional<std::string> location() const = 0;
    // The POSIX path of the track's file; nullopt for a track without one (a stream).
    virtual std::optional<std::string> path() const = 0;
    // Sent without waiting for a reply.
    virtual void setGenre(const std::string& genre) const = 0;
    virtual std::vector<std::shared_ptr<NSImage>> artwork() const = 0;
    // The track's 1-based index in the playlist it was reached through; -1 when unreadable.
    virtual SInt32 trackIndex() const = 0;
};

// Walks a playlist's tracks in order; null once there are no more or a request failed.
class PlayerTrackCursor {
public:
    virtual ~PlayerTrackCursor() = default;
    virtual std::shared_ptr<PlayerTrack> nextTrack() = 0;
};

class PlayerPlaylist {
public:
    virtual ~PlayerPlaylist() = default;
    // -1 when it cannot be read.
    virtual SInt64 persistentId() const = 0;
    virtual std::optional<std::string> name() const = 0;
    virtual SInt32 trackCount() const = 0;
    // The playlist's track with that ID, or null.
    virtual std::shared_ptr<PlayerTrack> trackWithPersistentId(SInt64 persistentId) const = 0;
    // The tracks from the 1-based index on, the track at the index first; null on failure.
    virtual std::unique_ptr<PlayerTrackCursor> tracksFromIndex(SInt32 index) const = 0;
};

class PlayerAccess {
public:
    virtual ~PlayerAccess() = default;

    // 'kPSP', 'kPSp', 'kPSS', 'kPSF', 'kPSR'; 0xFFFFFFFF when the request failed.
    virtual UInt32 playerState() const = 0;
    virtual SInt32 playerVolume() const = 0;
    virtual std::shared_ptr<PlayerTrack> currentTrack() const = 0;
    virtual std::shared_ptr<PlayerPlaylist> currentPlaylist() const = 0;
    // -1 when it cannot be read.
    virtual SInt32 playerPosition() const = 0;

    // Commands: sent without waiting for a reply.
    virtual void nextTrack() const = 0;
    virtual void backTrack() const = 0;
    virtual void playPause() const = 0;
    virtual void fastForward() const = 0;
    virtual void rewind() const = 0;
    virtual void resume() const = 0;
    virtual void playTrack(const PlayerTrack& track) const = 0;
    virtual void setPlayerPosition(SInt32 seconds) const = 0;
    virtual void setPlayerVolume(SInt32 volume) const = 0;

    // Runs the requests of one refresh or command with one time-out of waiting in all; false
    // when the player left one of them unanswered (no reply within its time-out) or the waiting
    // was spent on slow replies, in which case the later requests failed at once instead of
    // each waiting again.
    virtual bool refreshAnswered(const std::function<void()>& refresh) {
        refresh();
        return true;
    }
    // Within refreshAnswered: a request of it has gone unanswered, so the player is not to be
    // waited on again.
    virtual bool refreshLeftUnanswered() const { return false; }
    // Within refreshAnswered: a wait of its own beside the player's requests (the liveness
    // probe) went unanswered; the later requests fail at once.
    virtual void noteRefreshUnanswered() {}
    // The user's plain playlists (neither special nor smart), in the player's order; empty when
    // the player does not answer.
    virtual std::vector<std::shared_ptr<PlayerPlaylist>> userPlaylists() const = 0;
    virtual std::shared_ptr<PlayerPlaylist> playlistWithPersistentId(SInt64 persistentId) const = 0;
    virtual std::shared_ptr<PlayerTrack> trackWithPersistentId(SInt64 persistentId) const = 0;
    // Adds the file to the playlist (the library when null). fnfErr when the path names no
    // file (nothing is sent); else the first failing status, or 0.
    virtual SInt16 addTrackPath(const std::string& path, const PlayerPlaylist* playlist) const = 0;
    // Removes the track from the playlist (the library when null).
    virtual void removeTrack(const PlayerTrack& track, const PlayerPlaylist* playlist) const = 0;
};
