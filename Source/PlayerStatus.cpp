#include "Source/PlayerStatus.h"

#include <array>
#include <cstdlib>
#include <utility>

#include "Source/PlayerStatusHost.h"
#include "platform/AppKit/Image.h"
#include "platform/Foundation/Bundle.h"

namespace {

constexpr std::array<std::pair<UInt32, PlayState>, 5> kPlayStates{{
    {fourCC("kPSP"), kPlayStatePlaying},
    {fourCC("kPSF"), kPlayStatePlaying},
    {fourCC("kPSR"), kPlayStatePlaying},
    {fourCC("kPSp"), kPlayStatePaused},
    {fourCC("kPSS"), kPlayStateStopped},
}};

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

const PropertyList* infoValue(const PropertyList::Dictionary& info, const char* key) {
    auto found = info.find(key);
    return found == info.end() ? nullptr : &found->second;
}

std::optional<std::string> infoText(const PropertyList::Dictionary& info, const char* key) {
    const PropertyList* value = infoValue(info, key);
    if (value == nullptr) return std::nullopt;
    if (const std::string* text = value->string()) return *text;
    return std::nullopt;
}

// Numbers as they are (unsigned ones above the signed range keep their bits), texts by their
// leading integer, anything else 0.
SInt64 infoInteger(const PropertyList::Dictionary& info, const char* key) {
    const PropertyList* value = infoValue(info, key);
    if (value == nullptr) return 0;
    if (auto number = value->integer()) return *number;
    if (auto number = value->unsignedInteger()) return static_cast<SInt64>(*number);
    if (const std::string* text = value->string()) return std::strtoll(text->c_str(), nullptr, 10);
    return 0;
}

bool artworkWorthFetching(const std::string& location) {
    return location.starts_with("file:/") || location.starts_with("itms:/");
}

}  // namespace

PlayState playStateForPlayerState(UInt32 playerState) {
    for (const auto& [code, state] : kPlayStates)
        if (code == playerState) return state;
    return kPlayStateNone;
}

PlayerStatus::PlayerStatus(PlayerStatusHost& controller, PlayerAccess& player)
    : mController(controller), mPlayer(player) {
    mTrackName = statusText();
    mNoArtwork = NSImage::imageNamed("NoArtwork.png");
    mNoArtworkForNotify = NSImage::imageNamed("NoArtwork_white.png");
}

std::string PlayerStatus::statusText() {
    return localized(mController.iTunesIsRunning() ? "iTunes not playing" : "iTunes not running");
}

std::shared_ptr<NSImage> PlayerStatus::artwork() const {
    return mArtwork ? mArtwork : mNoArtwork;
}

std::shared_ptr<NSImage> PlayerStatus::artworkForNotify() const {
    return mArtwork ? mArtwork : mNoArtworkForNotify;
}

PlayState PlayerStatus::eyeTunesState() const {
    return playStateForPlayerState(mPlayer.playerState());
}

std::string PlayerStatus::trackRatingStars() const {
    const int stars = mTrackRating / 20;
    if (stars < 1 || stars > 5) return {};
    std::string text;
    for (int i = 0; i < stars; ++i) text += "\u2605";
    return text;
}

namespace {

struct StatusProperty {
    std::string_view name;
    PropertyList (*read)(const PlayerStatus&);
};

constexpr StatusProperty kStatusProperties[] = {
    {"trackName", [](const PlayerStatus& s) { return PropertyList(s.trackName()); }},
    {"trackArtist", [](const PlayerStatus& s) { return PropertyList(s.trackArtist()); }},
    {"trackAlbum", [](const PlayerStatus& s) { return PropertyList(s.trackAlbum()); }},
    {"trackGenre", [](const PlayerStatus& s) { return PropertyList(s.trackGenre()); }},
    {"trackRatingStars", [](const PlayerStatus& s) { return PropertyList(s.trackRatingStars()); }},
    {"trackBPM", [](const PlayerStatus& s) { return PropertyList(s.trackBPM()); }},
    {"trackDuration", [](const PlayerStatus& s) { return PropertyList(s.trackDuration()); }},
    {"trackNumber", [](const PlayerStatus& s) { return PropertyList(s.trackNumber()); }},
    {"trackRating", [](const PlayerStatus& s) { return PropertyList(s.trackRating()); }},
    {"playerVolume", [](const PlayerStatus& s) { return PropertyList(s.playerVolume()); }},
    {"playState", [](const PlayerStatus& s) { return PropertyList(s.playState()); }},
    {"persistentID", [](const PlayerStatus& s) { return PropertyList(int64_t{s.persistentID()}); }},
    {"assigned", [](const PlayerStatus& s) { return PropertyList(s.assigned()); }},
    {"nostars", [](const PlayerStatus&) { return PropertyList(PlayerStatus::nostars); }},
    {"onestar", [](const PlayerStatus&) { return PropertyList(PlayerStatus::onestar); }},
    {"twostars", [](const PlayerStatus&) { return PropertyList(PlayerStatus::twostars); }},
    {"threestars", [](const PlayerStatus&) { return PropertyList(PlayerStatus::threestars); }},
    {"fourstars", [](const PlayerStatus&) { return PropertyList(PlayerStatus::fourstars); }},
    {"fivestars", [](const PlayerStatus&) { return PropertyList(PlayerStatus::fivestars); }},
};

}  // namespace

std::optional<PropertyList> PlayerStatus::valueForKeyPath(std::string_view keyPath) const {
    for (const StatusProperty& property : kStatusProperties)
        if (property.name == keyPath) return property.read(*this);
    return std::nullopt;
}

void PlayerStatus::clearTrack() {
    mTrack.reset();
    mTrackBPM = 0;
    mPersistentID = 0;
    mAssigned = false;
}

void PlayerStatus::reset() {
    mTrackName = statusText();
    mOldTrackName.clear();
    mTrackArtist.clear();
    mTrackAlbum.clear();
    mTrackGenre.clear();
    mTrackDuration = mTrackNumber = mTrackRating = mTrackOldRating = 0;
    mPlayerVolume = 70;
    mNoNextPlaylistID = 0;
    mPlayState = kPlayStateNone;
    mArtwork.reset();
    clearTrack();
}

void PlayerStatus::readTrack(const PlayerTrack& track) {
    setTrackName(track.name());
    setTrackArtist(track.artist());
    setTrackAlbum(track.album());
    setTrackGenre(track.genre());
    mTrackNumber = track.trackNumber();
    mTrackDuration = track.duration();
    mTrackRating = track.rating();
    mTrackBPM = track.bpm();
    mPlayerVolume = mPlayer.playerVolume();
}

void PlayerStatus::finishRefresh(SInt64 id, bool fetchArtwork) {
    mAssigned = false;
    if (id != 0 && id != -1 && mTrackBPM > 0) mAssigned = mController.trackAssigned(id, mTrackBPM, false);
    mPersistentID = id;
    // A stream shows the placeholder, never the artwork of the track before it.
    mArtwork.reset();
    if (fetchArtwork && mTrack) {
        auto images = mTrack->artwork();
        if (!images.empty()) mArtwork = images.front();
    }
}

void PlayerStatus::updateWithPlayerBridge() {
    if (!mController.iTunesIsRunning()) {
        reset();
        return;
    }
    mPlayState = eyeTunesState();
    if (mPlayState == kPlayStateNone && !mController.iTunesIsResponding(kProbeTicks)) {
        mTrackName = localized("iTunes not responding");
        return;
    }
    mTrack = mPlayer.currentTrack();
    if (!mTrack) {
        clearTrack();
        mTrackName = localized("iTunes not playing");
        return;
    }
    const bool fetchArtwork = artworkWorthFetching(mTrack->location().value_or(""));
    readTrack(*mTrack);
    finishRefresh(mTrack->persistentId(), fetchArtwork);
}

void PlayerStatus::updateForNotification(const std::optional<PropertyList::Dictionary>& info,
                                         PlayState state) {
    mPlayState = state;
    mTrack.reset();
    if (state == kPlayStateNone) return;  // the last track's texts stay on screen
    mTrack = mPlayer.currentTrack();
    if (!mTrack) {
        reset();
        return;
    }
    mOldTrackName = mTrackName;
    mTrackOldRating = mTrackRating;

    std::string location;
    if (info) {
        auto text = infoText(*info, "Location");
        if (!text) text = infoText(*info, "Store URL");
        location = text.value_or("");
    } else {
        location = mTrack->location().value_or("");
    }
    const bool fetchArtwork = artworkWorthFetching(location);

    SInt64 id = 0;
    if (info) {
        setTrackName(infoText(*info, "Name"));
        setTrackArtist(infoText(*info, "Artist"));
        setTrackAlbum(infoText(*info, "Album"));
        setTrackGenre(infoText(*info, "Genre"));
        mTrackNumber = static_cast<SInt32>(infoInteger(*info, "Track Number"));
        mTrackDuration = mTrack->duration();
        mTrackRating = mTrack->rating();
        mTrackBPM = mTrack->bpm();
        mPlayerVolume = mPlayer.playerVolume();
        id = infoInteger(*info, "PersistentID");
    } else {
        readTrack(*mTrack);
        id = mTrack->persistentId();
    }
    finishRefresh(id, fetchArtwork);
}

std::shared_ptr<PlayerTrack> PlayerStatus::getNextTrack(bool onlyConfirmed, bool& noneLeft) {
    noneLeft = false;
    if (!mTrack) return nullptr;
    auto playlist = mPlayer.currentPlaylist();
    if (!playlist) return nullptr;
    if (mNoNextPlaylistID != 0) {
        if (mNoNextPlaylistID == playlist->persistentId()) return nullptr;
        mNoNextPlaylistID = 0;
    }
    const SInt32 index = mTrack->trackIndex();
    const SInt32 count = playlist->trackCount();
    // An index past the end (or unreadable) would start the walk elsewhere in the list.
    if (index <= 0 || count <= 0 || index >= count) return nullptr;
    auto tracks = playlist->tracksFromIndex(index);
    if (!tracks || !tracks->nextTrack()) return nullptr;
    auto candidate = tracks->nextTrack();
    if (!candidate) return nullptr;

    auto done = [&](const PlayerTrack& track) {
        const SInt32 bpm = track.bpm();
        if (bpm <= 0) return false;
        if (!onlyConfirmed) return true;
        const SInt64 id = track.persistentId();
        return id != 0 && id != -1 && mController.trackAssigned(id, bpm, false);
    };
    if (!done(*candidate)) return nullptr;
    for (;;) {
        auto next = tracks->nextTrack();
        if (!next) {
            noneLeft = true;
            return candidate;
        }
        candidate = std::move(next);
        if (!done(*candidate)) return candidate;
    }
}
