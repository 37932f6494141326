// The program's picture of the player: the current track with its texts, numbers and artwork,
// the player's volume and play state, and whether this program assigned the track's BPM.
// Refreshed from the player's playerInfo notification or by asking the player. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "Source/PlayerAccess.h"
#include "platform/Carbon/MacTypes.h"
#include "platform/Foundation/KeyValueCoding.h"
#include "platform/Foundation/PropertyList.h"

class PlayerStatusHost;

// 1 playing (also fast-forwarding and rewinding), 2 paused, 3 stopped, 4 no track or other.
using PlayState = SInt32;
inline constexpr PlayState kPlayStatePlaying = 1;
inline constexpr PlayState kPlayStatePaused = 2;
inline constexpr PlayState kPlayStateStopped = 3;
inline constexpr PlayState kPlayStateNone = 4;

// The play state of a player state code ('kPSP' and so on); 4 for anything else.
PlayState playStateForPlayerState(UInt32 playerState);

class PlayerStatus : public KeyValueCoding {
public:
    PlayerStatus(const PlayerStatus&) = delete;
    PlayerStatus& operator=(const PlayerStatus&) = delete;

    static constexpr UInt32 kProbeTicks = 20;

    // Neither is owned; both must outlive the model.
    PlayerStatus(PlayerStatusHost& controller, PlayerAccess& player);

    // Clears the track: the status text as name, empty texts, numbers 0, volume 70, state 4.
    // The BPM, persistent ID, track and assigned flag are cleared too, so a relaunched player
    // never shows the previous track's tempo.
    void reset();
    // Full refresh by asking the player.
    void updateWithPlayerBridge();
    // Refresh from the notification's user info (may be absent) and the state.
    void updateForNotification(const std::optional<PropertyList::Dictionary>& info, PlayState state);

    PlayState eyeTunesState() const;

    // The skip walk through the current playlist after the current track: the first track whose
    // tempo is not done yet when some were skipped; when every later track is done, the last one
    // with `noneLeft` set; null when the next track is not done anyway or nothing can be decided.
    // A track is done when it has a BPM and, with `onlyConfirmed`, this program recorded it.
    std::shared_ptr<PlayerTrack> getNextTrack(bool onlyConfirmed, bool& noneLeft);

    std::shared_ptr<PlayerTrack> track() const { return mTrack; }
    const std::string& oldTrackName() const { return mOldTrackName; }
    void setOldTrackName(const std::optional<std::string>& v) { mOldTrackName = v.value_or(""); }
    const std::string& trackName() const { return mTrackName; }
    void setTrackName(const std::optional<std::string>& v) { mTrackName = v.value_or(""); }
    const std::string& trackArtist() const { return mTrackArtist; }
    void setTrackArtist(const std::optional<std::string>& v) { mTrackArtist = v.value_or(""); }
    const std::string& trackAlbum() const { return mTrackAlbum; }
    void setTrackAlbum(const std::optional<std::string>& v) { mTrackAlbum = v.value_or(""); }
    const std::string& trackGenre() const { return mTrackGenre; }
    void setTrackGenre(const std::optional<std::string>& v) { mTrackGenre = v.value_or(""); }

    // The artwork, else the placeholder.
    std::shared_ptr<NSImage> artwork() const;
    std::shared_ptr<NSImage> artworkForNotify() const;
    bool hasArtwork() const { return mArtwork != nullptr; }

    SInt32 trackBPM() const { return mTrackBPM; }
    void setTrackBPM(SInt32 v) { mTrackBPM = v; }
    SInt32 trackDuration() const { return mTrackDuration; }
    void setTrackDuration(SInt32 v) { mTrackDuration = v; }
    SInt32 trackNumber() const { return mTrackNumber; }
    void setTrackNumber(SInt32 v) { mTrackNumber = v; }
    SInt32 trackRating() const { return mTrackRating; }
    void setTrackRating(SInt32 v) { mTrackRating = v; }
    SInt32 trackOldRating() const { return mTrackOldRating; }
    void setTrackOldRating(SInt32 v) { mTrackOldRating = v; }
    SInt32 playerVolume() const { return mPlayerVolume; }
    void setPlayerVolume(SInt32 v) { mPlayerVolume = v; }
    SInt64 persistentID() const { return mPersistentID; }
    void setPersistentID(SInt64 v) { mPersistentID = v; }
    SInt64 noNextPlaylistID() const { return mNoNextPlaylistID; }
    void setNoNextPlaylistID(SInt64 v) { mNoNextPlaylistID = v; }
    bool assigned() const { return mAssigned; }
    void setAssigned(bool v) { mAssigned = v; }
    PlayState playState() const { return mPlayState; }
    PlayState state() const { return mPlayState; }
    void setPlayState(PlayState v) { mPlayState = v; }

    // trackRating / 20 black stars, or "" below one star.
    std::string trackRatingStars() const;

    static constexpr SInt32 nostars = 0, onestar = 20, twostars = 40, threestars = 60, fourstars = 80,
                            fivestars = 100;

    // The properties a rule's condition reads, by their names above, the star counts included.
    std::optional<PropertyList> valueForKeyPath(std::string_view keyPath) const override;

private:
    std::string statusText();
    // Texts and numbers from the track and player, as a full refresh reads them.
    void readTrack(const PlayerTrack& track);
    // The assigned flag, the persistent ID and the artwork of the new track.
    void finishRefresh(SInt64 id, bool fetchArtwork);
    void clearTrack();

    PlayerStatusHost& mController;
    PlayerAccess& mPlayer;

    std::shared_ptr<PlayerTrack> mTrack;
    std::string mOldTrackName, mTrackName, mTrackArtist, mTrackAlbum, mTrackGenre;
    std::shared_ptr<NSImage> mArtwork;
    std::shared_ptr<NSImage> mNoArtwork;
    std::shared_ptr<NSImage> mNoArtworkForNotify;
    SInt32 mTrackBPM{0}, mTrackDuration{0}, mTrackNumber{0}, mTrackRating{0}, mTrackOldRating{0};
    SInt32 mPlayerVolume{70};
    SInt64 mPersistentID{0};
    SInt64 mNoNextPlaylistID{0};
    bool mAssigned{false};
    PlayState mPlayState{kPlayStateNone};
};
