// A player for the controller's and the track model's tests: a current track with plain fields,
// the state and volume, and a record of the commands sent.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Source/PlayerAccess.h"

struct FakeTrack : PlayerTrack {
    std::optional<std::string> mName, mArtist, mAlbum, mGenre, mLocation;
    SInt32 mNumber{1}, mDuration{200}, mRating{0}, mBpm{0};
    SInt64 mId{0};
    std::vector<std::shared_ptr<NSImage>> mArtwork;
    mutable std::vector<SInt32> bpmWrites;
    mutable std::vector<SInt32> ratingWrites;

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
    std::vector<std::shared_ptr<NSImage>> artwork() const override { return mArtwork; }
};

inline std::shared_ptr<FakeTrack> makeTrack(SInt64 id, SInt32 bpm, const std::string& name = "Song") {
    auto track = std::make_shared<FakeTrack>();
    track->mId = id;
    track->mBpm = bpm;
    track->mName = name;
    track->mArtist = "Artist of " + name;
    track->mAlbum = "Album of " + name;
    track->mLocation = "file:///music/" + name + ".mp3";
    return track;
}

struct FakePlayer : PlayerAccess {
    UInt32 state{fourCC("kPSP")};
    SInt32 volume{55};
    std::shared_ptr<FakeTrack> track;
    mutable int nextCount{0};
    mutable std::vector<SInt32> positions;
    // A hung player: the current track goes unanswered, each refresh that asks costing a
    // time-out (timeouts counts them).
    bool answering{true};
    mutable bool unanswered{false};
    int timeouts{0};

    UInt32 playerState() const override { return state; }
    SInt32 playerVolume() const override { return volume; }
    std::shared_ptr<PlayerTrack> currentTrack() const override {
        if (answering) return track;
        unanswered = true;
        return nullptr;
    }
    bool refreshAnswered(const std::function<void()>& refresh) override {
        unanswered = false;
        refresh();
        if (unanswered) ++timeouts;
        return !unanswered;
    }
    void nextTrack() const override { ++nextCount; }
    void setPlayerPosition(SInt32 seconds) const override { positions.push_back(seconds); }
};
