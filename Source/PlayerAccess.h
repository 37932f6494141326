// The player as the track model and the controller reach it: the current track with the
// properties they read and write, the player's state and volume, and the transport commands they
// send. The bridge stands behind it in the program; tests give a player of their own.
// Failure values are the bridge's: -1 for numbers, nullopt for texts, null for a track.
// Main thread only.
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
    virtual SInt32 trackCount() const = 0;
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

    // Runs one refresh's requests; false when the player left one of them unanswered (no reply
    // within its time-out), in which case the refresh's later requests failed at once instead
    // of each waiting again.
    virtual bool refreshAnswered(const std::function<void()>& refresh) {
        refresh();
        return true;
    }
};
