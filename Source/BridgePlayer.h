// The player reached through the shared player bridge.
#pragma once

#include "Source/PlayerAccess.h"

class PBPlaylist;
class PBTrack;

// Main thread only.
class BridgePlayer : public PlayerAccess {
public:
    UInt32 playerState() const override;
    SInt32 playerVolume() const override;
    std::shared_ptr<PlayerTrack> currentTrack() const override;
    std::shared_ptr<PlayerPlaylist> currentPlaylist() const override;
    SInt32 playerPosition() const override;
    void nextTrack() const override;
    void backTrack() const override;
    void playPause() const override;
    void fastForward() const override;
    void rewind() const override;
    void resume() const override;
    void playTrack(const PlayerTrack& track) const override;
    void setPlayerPosition(SInt32 seconds) const override;
    bool refreshAnswered(const std::function<void()>& refresh) override;
    bool refreshLeftUnanswered() const override;
    void noteRefreshUnanswered() override;
    void setPlayerVolume(SInt32 volume) const override;
    std::vector<std::shared_ptr<PlayerPlaylist>> userPlaylists() const override;
    std::shared_ptr<PlayerPlaylist> playlistWithPersistentId(SInt64 persistentId) const override;
    std::shared_ptr<PlayerTrack> trackWithPersistentId(SInt64 persistentId) const override;
    SInt16 addTrackPath(const std::string& path, const PlayerPlaylist* playlist) const override;
    void removeTrack(const PlayerTrack& track, const PlayerPlaylist* playlist) const override;
};

// One of the bridge's playlists as the commands see it.
class BridgePlaylist : public PlayerPlaylist {
public:
    explicit BridgePlaylist(std::shared_ptr<PBPlaylist> playlist) : mPlaylist(std::move(playlist)) {}

    SInt64 persistentId() const override;
    std::optional<std::string> name() const override;
    SInt32 trackCount() const override;
    std::shared_ptr<PlayerTrack> trackWithPersistentId(SInt64 persistentId) const override;
    std::unique_ptr<PlayerTrackCursor> tracksFromIndex(SInt32 index) const override;

    const std::shared_ptr<PBPlaylist>& pbPlaylist() const { return mPlaylist; }

private:
    std::shared_ptr<PBPlaylist> mPlaylist;
};

// One of the bridge's tracks as the model sees it.
class BridgeTrack : public PlayerTrack {
public:
    explicit BridgeTrack(std::shared_ptr<PBTrack> track) : mTrack(std::move(track)) {}

    std::optional<std::string> name() const override;
    std::optional<std::string> artist() const override;
    std::optional<std::string> album() const override;
    std::optional<std::string> genre() const override;
    SInt32 trackNumber() const override;
    SInt32 duration() const override;
    SInt32 rating() const override;
    SInt32 bpm() const override;
    void setBpm(SInt32 bpm) const override;
    void setRating(SInt32 rating) const override;
    SInt64 persistentId() const override;
    std::optional<std::string> location() const override;
    std::optional<std::string> path() const override;
    void setGenre(const std::string& genre) const override;
    std::vector<std::shared_ptr<NSImage>> artwork() const override;
    SInt32 trackIndex() const override;

    const std::shared_ptr<PBTrack>& pbTrack() const { return mTrack; }

private:
    std::shared_ptr<PBTrack> mTrack;
};
