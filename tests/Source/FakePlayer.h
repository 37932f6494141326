// A player for the controller's and the track model's tests: a current track with plain fields,
// the state and volume, the user's playlists, and a record of the commands sent.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Source/PlayerAccess.h"

struct FakeTrack : PlayerTrack {
    std::optional<std::string> mName, mArtist, mAlbum, mGenre, mLocation, mPath;
    SInt32 mNumber{1}, mDuration{200}, mRating{0}, mBpm{0}, mIndex{-1};
    SInt64 mId{0};
    std::vector<std::shared_ptr<NSImage>> mArtwork;
    mutable std::vector<SInt32> bpmWrites;
    mutable std::vector<SInt32> ratingWrites;
    mutable std::vector<std::string> genreWrites;

    std::optional<std::string> name() const override { return mName; }
    std::optional<std::string> artist() const override { return mArtist; }
    std::optional<std::string> album() const override { return mAlbum; }
    std::optional<std::string> genre() const override { return mGenre; }
    SInt32 trackNumber() const override { return mNumber; }
    SInt32 duration() const override { return mDuration; }
    SInt32 rating() const override { return mRating; }
    SInt32 bpm() const override { return mBpm; }
    void setBpm(SInt32 bpm) const override { bpmWrites.push_back(bpm); }
    void setRating(SInt32 rating) const override { ratingWrites.push_back(rating); }
    SInt64 persistentId() const override { return mId; }
    std::optional<std::string> location() const override { return mLocation; }
    std::optional<std::string> path() const override { return mPath; }
    void setGenre(const std::string& genre) const override { genreWrites.push_back(genre); }
    std::vector<std::shared_ptr<NSImage>> artwork() const override { return mArtwork; }
    SInt32 trackIndex() const override { return mIndex; }
};

// A playlist of fake tracks; a cursor from index i hands out tracks i, i+1, … in order.
struct FakePlaylist : PlayerPlaylist {
    SInt64 mId{0x1234};
    std::optional<std::string> mName;
    std::vector<std::shared_ptr<FakeTrack>> tracks;
    bool cursorFails{false};

    SInt64 persistentId() const override { return mId; }
    std::optional<std::string> name() const override { return mName; }
    SInt32 trackCount() const override { return static_cast<SInt32>(tracks.size()); }
    std::shared_ptr<PlayerTrack> trackWithPersistentId(SInt64 persistentId) const override {
        for (const auto& track : tracks)
            if (track->mId == persistentId) return track;
        return nullptr;
    }
    std::unique_ptr<PlayerTrackCursor> tracksFromIndex(SInt32 index) const override {
        struct Cursor : PlayerTrackCursor {
            std::vector<std::shared_ptr<FakeTrack>> rest;
            size_t at{0};
            std::shared_ptr<PlayerTrack> nextTrack() override {
                return at < rest.size() ? rest[at++] : nullptr;
            }
        };
        if (cursorFails) return nullptr;
        auto cursor = std::make_unique<Cursor>();
        for (size_t i = index > 0 ? static_cast<size_t>(index - 1) : tracks.size(); i < tracks.size(); ++i)
            cursor->rest.push_back(tracks[i]);
        return cursor;
    }
    // Tracks with the given BPMs and ids 1, 2, …; their index set to their place.
    static std::shared_ptr<FakePlaylist> withBpms(const std::vector<SInt32>& bpms);
};

inline std::shared_ptr<FakeTrack> makeTrack(SInt64 id, SInt32 bpm, const std::string& name = "Song") {
    auto track = std::make_shared<FakeTrack>();
    track->mId = id;
    track->mBpm = bpm;
    track->mName = name;
    track->mArtist = "Artist of " + name;
    track->mAlbum = "Album of " + name;
    track->mLocation = "file:///music/" + name + ".mp3";
    track->mPath = "/music/" + name + ".mp3";
    return track;
}

inline std::shared_ptr<FakePlaylist> FakePlaylist::withBpms(const std::vector<SInt32>& bpms) {
    auto playlist = std::make_shared<FakePlaylist>();
    for (size_t i = 0; i < bpms.size(); ++i) {
        auto track = makeTrack(static_cast<SInt64>(i + 1), bpms[i], "Track " + std::to_string(i + 1));
        track->mIndex = static_cast<SInt32>(i + 1);
        playlist->tracks.push_back(track);
    }
    return playlist;
}

struct FakePlayer : PlayerAccess {
    UInt32 state{fourCC("kPSP")};
    SInt32 volume{55};
    SInt32 position{30};
    std::shared_ptr<FakeTrack> track;
    std::shared_ptr<FakePlaylist> playlist;
    std::vector<std::shared_ptr<FakePlaylist>> userLists;
    SInt16 addStatus{0};  // what addTrackPath answers
    mutable int nextCount{0};
    mutable std::vector<SInt32> positions;
    mutable std::vector<SInt32> volumes;
    // Every command in the order sent: "next", "back", "playpause", "ff", "rew", "resume",
    // "play <track name>", "position N", "volume N", "add <path> to <playlist id>",
    // "remove <track id> from <playlist id>".
    mutable std::vector<std::string> commands;
    // A hung player: the current track goes unanswered, each refresh that asks costing a
    // time-out (timeouts counts them).
    bool answering{true};
    mutable bool unanswered{false};
    int timeouts{0};
    // Told each time the current track is asked for, as the player would be.
    std::function<void()> onAsked;
    // Refreshes and commands run as one batch of requests (outermost ones counted), and the
    // requests for the current track, playlist and position made outside any.
    int batches{0};
    int batchDepth{0};
    mutable int requestsOutsideBatches{0};

    UInt32 playerState() const override { return state; }
    SInt32 playerVolume() const override { return volume; }
    std::shared_ptr<PlayerTrack> currentTrack() const override {
        if (onAsked) onAsked();
        noteRequest();
        if (answering) return track;
        unanswered = true;
        return nullptr;
    }
    bool refreshAnswered(const std::function<void()>& refresh) override {
        if (batchDepth++ == 0) {
            ++batches;
            unanswered = false;
        }
        refresh();
        if (--batchDepth == 0 && unanswered) ++timeouts;
        return !unanswered;
    }
    bool refreshLeftUnanswered() const override { return batchDepth > 0 && unanswered; }
    std::shared_ptr<PlayerPlaylist> currentPlaylist() const override {
        noteRequest();
        return playlist;
    }
    SInt32 playerPosition() const override {
        noteRequest();
        return position;
    }
    void noteRequest() const {
        if (batchDepth == 0) ++requestsOutsideBatches;
    }
    void nextTrack() const override {
        ++nextCount;
        commands.push_back("next");
    }
    void backTrack() const override { commands.push_back("back"); }
    void playPause() const override { commands.push_back("playpause"); }
    void fastForward() const override { commands.push_back("ff"); }
    void rewind() const override { commands.push_back("rew"); }
    void resume() const override { commands.push_back("resume"); }
    void playTrack(const PlayerTrack& played) const override {
        commands.push_back("play " + played.name().value_or("?"));
    }
    void setPlayerPosition(SInt32 seconds) const override {
        positions.push_back(seconds);
        commands.push_back("position " + std::to_string(seconds));
    }
    void setPlayerVolume(SInt32 value) const override {
        volumes.push_back(value);
        commands.push_back("volume " + std::to_string(value));
    }
    mutable int userPlaylistReads{0};  // each one costs the real player several requests a playlist
    std::vector<std::shared_ptr<PlayerPlaylist>> userPlaylists() const override {
        ++userPlaylistReads;
        return {userLists.begin(), userLists.end()};
    }
    std::shared_ptr<PlayerPlaylist> playlistWithPersistentId(SInt64 persistentId) const override {
        for (const auto& list : userLists)
            if (list->mId == persistentId) return list;
        return nullptr;
    }
    std::shared_ptr<PlayerTrack> trackWithPersistentId(SInt64 persistentId) const override {
        return track && track->mId == persistentId ? track : nullptr;
    }
    SInt16 addTrackPath(const std::string& path, const PlayerPlaylist* list) const override {
        commands.push_back("add " + path + " to " + std::to_string(list ? list->persistentId() : 0));
        return addStatus;
    }
    void removeTrack(const PlayerTrack& removed, const PlayerPlaylist* list) const override {
        commands.push_back("remove " + std::to_string(removed.persistentId()) + " from " +
                           std::to_string(list ? list->persistentId() : 0));
    }
};
