#include "player/PlayerModel.h"

#include <algorithm>

#include "player/ScriptingCodes.h"

namespace player {

namespace {

constexpr DescType kPlayStateCodes[] = {kPlayerStopped, kPlayerPlaying, kPlayerPaused, kPlayerFastForwarding,
                                        kPlayerRewinding};

}  // namespace

DescType PlayStateCode(PlayState state) {
    return kPlayStateCodes[static_cast<size_t>(state)];
}

PlayerModel::PlayerModel(MusicLibrary library, VersionProfile profile,
                         std::shared_ptr<const PlaybackClock> clock)
    : fLibrary(std::move(library)),
      fProfile(std::move(profile)),
      fClock(clock ? std::move(clock) : std::make_shared<SteadyPlaybackClock>()) {
    fAnchorTime = now();
}

const LibraryTrack* PlayerModel::currentTrack() const {
    return fTrackID ? fLibrary.track(fTrackID) : nullptr;
}

const LibraryPlaylist* PlayerModel::currentPlaylist() const {
    return fPlaylistID ? fLibrary.playlist(fPlaylistID) : nullptr;
}

int PlayerModel::rate() const {
    switch (fState) {
        case PlayState::playing:
            return 1;
        case PlayState::fastForwarding:
            return kSkimRate;
        case PlayState::rewinding:
            return -kSkimRate;
        case PlayState::stopped:
        case PlayState::paused:
            break;
    }
    return 0;
}

int64_t PlayerModel::positionAt(int64_t time) const {
    const LibraryTrack* track = currentTrack();
    if (!track) return 0;
    const int64_t position = fAnchorPosition + (time - fAnchorTime) * rate();
    return std::clamp<int64_t>(position, 0, std::max<int64_t>(track->durationMilliseconds(), 0));
}

int64_t PlayerModel::positionMilliseconds() const {
    return positionAt(now());
}

void PlayerModel::anchor(int64_t position, int64_t time) {
    fAnchorPosition = position;
    fAnchorTime = time;
}

void PlayerModel::setState(PlayState state) {
    const int64_t time = now();
    anchor(positionAt(time), time);
    fState = state;
}

bool PlayerModel::setPosition(int64_t milliseconds) {
    const LibraryTrack* track = currentTrack();
    if (!track) return false;
    changing([&] {
        anchor(std::clamp<int64_t>(milliseconds, 0, std::max<int64_t>(track->durationMilliseconds(), 0)),
               now());
        advanceToEnd(now());
    });
    return true;
}

void PlayerModel::setVolume(SInt32 volume) {
    fVolume = std::clamp<SInt32>(volume, 0, 100);
}

std::vector<SInt32> PlayerModel::queue() const {
    const LibraryPlaylist* playlist = currentPlaylist();
    return fLibrary.tracksOf(playlist ? *playlist : fLibrary.libraryPlaylist());
}

std::ptrdiff_t PlayerModel::currentIndex(const std::vector<SInt32>& queue) const {
    if (fIndex < queue.size() && queue[fIndex] == fTrackID) return static_cast<std::ptrdiff_t>(fIndex);
    const auto found = std::find(queue.begin(), queue.end(), fTrackID);
    // A track taken out of its playlist while it played is followed by what followed it there.
    if (found == queue.end()) return static_cast<std::ptrdiff_t>(std::min(fIndex, queue.size())) - 1;
    return found - queue.begin();
}

void PlayerModel::moveTo(const std::vector<SInt32>& queue, std::ptrdiff_t index, int64_t time) {
    if (index < 0 || static_cast<size_t>(index) >= queue.size()) {
        fTrackID = 0;
        fIndex = 0;
        fState = PlayState::stopped;
        anchor(0, time);
        return;
    }
    fTrackID = queue[static_cast<size_t>(index)];
    fIndex = static_cast<size_t>(index);
    if (fState == PlayState::fastForwarding || fState == PlayState::rewinding) fState = PlayState::playing;
    anchor(0, time);
}

template <typename Change>
void PlayerModel::changing(Change change) {
    const SInt32 track = fTrackID;
    const PlayState state = fState;
    change();
    if (fTrackID != track && fTrackChanged) fTrackChanged(*this);
    if (fState != state && fPlayStateChanged) fPlayStateChanged(*this);
}

bool PlayerModel::play() {
    bool playing = true;
    changing([&] {
        advanceToEnd(now());
        if (fState == PlayState::playing) return;
        if (currentTrack()) {
            setState(PlayState::playing);
            return;
        }
        if (!currentPlaylist()) fPlaylistID = fLibrary.libraryPlaylist().playlistID;
        const std::vector<SInt32> tracks = queue();
        if (tracks.empty()) {
            playing = false;
            return;
        }
        moveTo(tracks, 0, now());
        fState = PlayState::playing;
    });
    return playing;
}

bool PlayerModel::playTrack(SInt32 trackID, SInt32 playlistID) {
    const LibraryPlaylist* playlist = fLibrary.playlist(playlistID);
    if (!playlist || !fLibrary.track(trackID)) return false;
    const std::vector<SInt32> tracks = fLibrary.tracksOf(*playlist);
    const auto found = std::find(tracks.begin(), tracks.end(), trackID);
    if (found == tracks.end()) return false;
    changing([&] {
        fPlaylistID = playlistID;
        fState = PlayState::playing;
        moveTo(tracks, found - tracks.begin(), now());
    });
    return true;
}

void PlayerModel::pause() {
    changing([&] {
        advanceToEnd(now());
        if (fState != PlayState::stopped) setState(PlayState::paused);
    });
}

void PlayerModel::playPause() {
    update();
    if (fState == PlayState::playing || fState == PlayState::fastForwarding ||
        fState == PlayState::rewinding) {
        pause();
    } else {
        play();
    }
}

void PlayerModel::stop() {
    changing([&] {
        advanceToEnd(now());
        fState = PlayState::stopped;
        anchor(0, now());
    });
}

void PlayerModel::nextTrack() {
    changing([&] {
        advanceToEnd(now());
        if (!currentTrack()) return;
        const std::vector<SInt32> tracks = queue();
        moveTo(tracks, currentIndex(tracks) + 1, now());
    });
}

void PlayerModel::previousTrack() {
    changing([&] {
        advanceToEnd(now());
        if (!currentTrack()) return;
        const std::vector<SInt32> tracks = queue();
        const std::ptrdiff_t index = currentIndex(tracks);
        if (index <= 0) {
            anchor(0, now());
            return;
        }
        moveTo(tracks, index - 1, now());
    });
}

void PlayerModel::backTrack() {
    update();
    if (!currentTrack()) return;
    if (positionMilliseconds() > kBackTrackRestartMilliseconds) {
        anchor(0, now());
        return;
    }
    previousTrack();
}

void PlayerModel::fastForward() {
    changing([&] {
        advanceToEnd(now());
        if (currentTrack()) setState(PlayState::fastForwarding);
    });
}

void PlayerModel::rewind() {
    changing([&] {
        advanceToEnd(now());
        if (currentTrack()) setState(PlayState::rewinding);
    });
}

void PlayerModel::resume() {
    changing([&] {
        advanceToEnd(now());
        if (fState == PlayState::fastForwarding || fState == PlayState::rewinding)
            setState(PlayState::playing);
    });
}

void PlayerModel::advanceToEnd(int64_t time) {
    // Each pass ends one track (or one rewind to a start); the queue is finite and never wraps,
    // so the loop ends.
    while (const LibraryTrack* track = currentTrack()) {
        const int speed = rate();
        if (speed == 0) return;
        const int64_t duration = std::max<int64_t>(track->durationMilliseconds(), 0);
        const int64_t position = fAnchorPosition + (time - fAnchorTime) * speed;
        if (speed > 0) {
            if (position < duration) return;
            const int64_t reached = fAnchorTime + (duration - fAnchorPosition + speed - 1) / speed;
            const std::vector<SInt32> tracks = queue();
            moveTo(tracks, currentIndex(tracks) + 1, std::min(reached, time));
        } else {
            if (position > 0) return;
            const int64_t reached = fAnchorTime + fAnchorPosition / kSkimRate;
            fState = PlayState::playing;
            anchor(0, std::min(reached, time));
        }
    }
}

void PlayerModel::update() {
    changing([&] { advanceToEnd(now()); });
}

std::optional<int64_t> PlayerModel::millisecondsUntilTrackEnds() const {
    const LibraryTrack* track = currentTrack();
    const int speed = rate();
    if (!track || speed == 0) return std::nullopt;
    const int64_t position = positionMilliseconds();
    if (speed < 0) return (position + kSkimRate - 1) / kSkimRate;
    const int64_t remaining = std::max<int64_t>(track->durationMilliseconds(), 0) - position;
    return std::max<int64_t>((remaining + speed - 1) / speed, 0);
}

void PlayerModel::libraryChanged() {
    changing([&] {
        if (fPlaylistID && !fLibrary.playlist(fPlaylistID))
            fPlaylistID = fLibrary.libraryPlaylist().playlistID;
        if (fTrackID && !fLibrary.track(fTrackID)) {
            fTrackID = 0;
            fState = PlayState::stopped;
            anchor(0, now());
        }
    });
    if (fLibraryChanged) fLibraryChanged(*this);
}

}  // namespace player
