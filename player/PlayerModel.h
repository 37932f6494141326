// The stand-in player's application state: its library, the version it reports, the current
// track and playlist, the play state, the position in the track and the sound volume.
//
// Playback runs on an injected clock: while playing, the position advances with the clock, at
// three times the speed while fast-forwarding and backwards while rewinding; at the end of a
// track the next one of the current playlist starts, and after the last one playback stops.
// update() brings the state up to the clock's present; handlers hear of a changed current
// track and a changed play state. Not thread-safe: one thread (the stand-in's event loop or a
// test) owns the model, and the handlers run on it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "player/MusicLibrary.h"
#include "player/PlaybackClock.h"
#include "player/VersionProfile.h"

namespace player {

enum class PlayState : UInt8 { stopped, playing, paused, fastForwarding, rewinding };

// 'kPSS', 'kPSP', 'kPSp', 'kPSF', 'kPSR'.
DescType PlayStateCode(PlayState state);

class PlayerModel {
public:
    using Handler = std::function<void(const PlayerModel&)>;

    static constexpr int kSkimRate = 3;
    // Back track restarts the current track when it has played longer than this.
    static constexpr int64_t kBackTrackRestartMilliseconds = 2000;

    explicit PlayerModel(MusicLibrary library = MusicLibrary(),
                         VersionProfile profile = VersionProfile::current(),
                         std::shared_ptr<const PlaybackClock> clock = nullptr);
    PlayerModel(const PlayerModel&) = delete;
    PlayerModel& operator=(const PlayerModel&) = delete;

    MusicLibrary& library() { return fLibrary; }
    const MusicLibrary& library() const { return fLibrary; }
    const VersionProfile& profile() const { return fProfile; }
    void setProfile(VersionProfile profile) { fProfile = std::move(profile); }

    PlayState playState() const { return fState; }
    const LibraryTrack* currentTrack() const;
    // The playlist the current track plays from; the last one played from when stopped, and
    // nullptr when nothing has played yet.
    const LibraryPlaylist* currentPlaylist() const;
    // 0 without a current track.
    int64_t positionMilliseconds() const;
    // Moves within the current track (clamped to it); false without one.
    bool setPosition(int64_t milliseconds);
    SInt32 volume() const { return fVolume; }
    void setVolume(SInt32 volume);
    bool fixedIndexing() const { return fFixedIndexing; }
    void setFixedIndexing(bool fixed) { fFixedIndexing = fixed; }
    const std::vector<SInt32>& selection() const { return fSelection; }
    void setSelection(std::vector<SInt32> trackIDs) { fSelection = std::move(trackIDs); }

    // Resumes a paused or skimming track, or starts the current track, or the first of the
    // current playlist (the library when none); false when there is nothing to play.
    bool play();
    // Plays a track of a playlist from its start; false when either is not there or the track
    // is not in the playlist.
    bool playTrack(SInt32 trackID, SInt32 playlistID);
    void pause();
    void playPause();
    // Stops and rewinds the current track, which stays current.
    void stop();
    // The next track of the playlist, in the same play state; after the last one, stopped
    // with no current track.
    void nextTrack();
    // The previous track; the first one restarts.
    void previousTrack();
    // Restarts a track that has played longer than kBackTrackRestartMilliseconds, else previous.
    void backTrack();
    void fastForward();
    void rewind();
    // Ends fast-forwarding or rewinding and plays on.
    void resume();

    // Brings playback up to the clock's present: moves the position, starts the next tracks.
    void update();
    // Clock time until the current track ends at the present speed; nullopt when nothing moves
    // towards an end (stopped, paused, no track).
    std::optional<int64_t> millisecondsUntilTrackEnds() const;

    // To be called after the library changed: a deleted current track stops playback, and the
    // library-changed handler runs.
    void libraryChanged();

    void setTrackChangedHandler(Handler handler) { fTrackChanged = std::move(handler); }
    void setPlayStateChangedHandler(Handler handler) { fPlayStateChanged = std::move(handler); }
    void setLibraryChangedHandler(Handler handler) { fLibraryChanged = std::move(handler); }

private:
    int rate() const;
    int64_t now() const { return fClock->milliseconds(); }
    int64_t positionAt(int64_t time) const;
    void anchor(int64_t position, int64_t time);
    void setState(PlayState state);
    std::vector<SInt32> queue() const;
    // The current track's place in the queue; -1 and on when it is no longer there.
    std::ptrdiff_t currentIndex(const std::vector<SInt32>& queue) const;
    // Makes the track at index of the queue current at position 0, or none when out of range.
    void moveTo(const std::vector<SInt32>& queue, std::ptrdiff_t index, int64_t time);
    void advanceToEnd(int64_t time);
    template <typename Change>
    void changing(Change change);

    MusicLibrary fLibrary;
    VersionProfile fProfile;
    std::shared_ptr<const PlaybackClock> fClock;

    PlayState fState{PlayState::stopped};
    SInt32 fTrackID{0};
    SInt32 fPlaylistID{0};
    size_t fIndex{0};
    int64_t fAnchorPosition{0};
    int64_t fAnchorTime{0};
    SInt32 fVolume{100};
    bool fFixedIndexing{false};
    std::vector<SInt32> fSelection;

    Handler fTrackChanged;
    Handler fPlayStateChanged;
    Handler fLibraryChanged;
};

}  // namespace player
