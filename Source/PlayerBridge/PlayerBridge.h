// The player application as one object: transport commands, the player's properties, its
// current track and playlist, search, adding and removing tracks, look-ups by persistent ID,
// and the player's version, which decides the form of persistent ID the player understands.
//
// One shared instance lives for the whole process. Every event goes to the player as it runs
// now (looked up at each send). Failure is the failure value (null, nullopt, -1, 0xFFFFFFFF);
// nothing is raised. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Source/PlayerBridge/PBAppleEventObject.h"

class PBTrack;
class PBPlaylist;
class PBPlaylistEnumerator;
class PBUserPlaylistEnumerator;

using PBTrackList = std::vector<std::shared_ptr<PBTrack>>;
using PBPlaylistList = std::vector<std::shared_ptr<PBPlaylist>>;

class PlayerBridge : public PBAppleEventObject {
public:
    static PlayerBridge& sharedInstance();

    // Commands: 'hook' events with "'----':'null'()", sent without a reply (0x11).
    void backTrack() const { command(fourCC("Back")); }
    void fastForward() const { command(fourCC("Fast")); }
    void nextTrack() const { command(fourCC("Next")); }
    void pause() const { command(fourCC("Paus")); }
    void play() const { command(fourCC("Play")); }
    void playPause() const { command(fourCC("PlPs")); }
    void previousTrack() const { command(fourCC("Prev")); }
    void resume() const { command(fourCC("Resu")); }
    void rewind() const { command(fourCC("Rwnd")); }
    void stop() const { command(fourCC("Stop")); }
    // A heap event of the command, or null when it cannot be built.
    std::unique_ptr<AppleEvent> newCommandEvent(AEEventID eventID) const;
    void sendCommand(const AppleEvent& event) const;

    void playTrack(const PBTrack& track) const;
    // Nothing is sent when the path names no file.
    void playTrackWithPath(const std::string& path) const;

    SInt32 playerVolume() const { return getPropertyAsIntegerForDesc(fourCC("pVol")); }
    void setPlayerVolume(SInt32 volume) const { setPropertyWithInteger(volume, fourCC("pVol")); }
    SInt32 playerPosition() const { return getPropertyAsIntegerForDesc(fourCC("pPos")); }
    void setPlayerPosition(SInt32 position) const { setPropertyWithInteger(position, fourCC("pPos")); }
    // 'kPSP', 'kPSp', 'kPSS', 'kPSF' or 'kPSR'; 0xFFFFFFFF when the request failed.
    UInt32 playerState() const { return getPropertyAsEnumForDesc(fourCC("pPlS")); }
    bool fixedIndexing() const { return (getPropertyAsIntegerForDesc(fourCC("pFix")) & 0xFF) != 0; }
    void setFixedIndexing(bool fixed) const { setPropertyWithInteger(fixed ? 1 : 0, fourCC("pFix")); }

    std::shared_ptr<PBTrack> currentTrack() const;
    std::shared_ptr<PBPlaylist> currentPlaylist() const;
    std::optional<PBTrackList> selectedTracks() const;
    std::shared_ptr<PBPlaylist> libraryPlaylist() const;

    // field 0 searches every field.
    std::optional<PBTrackList> search(const PBPlaylist& playlist, const std::string& text,
                                      OSType field) const;

    // fnfErr when the path names no file (nothing is sent); else the first failing status of
    // building, sending and reading the reply's list, or 0.
    SInt16 addTrackPath(const std::string& path, const PBPlaylist* playlist) const;
    // The tracks the player added, or nullopt.
    std::optional<PBTrackList> addTrack(const PBTrack& track, const PBPlaylist* playlist) const;
    void removeTrack(const PBTrack& track, const PBPlaylist* playlist) const;

    SInt32 playlistCount() const { return getCountOfElementsOfClass(fourCC("cPly")); }
    std::unique_ptr<PBPlaylistEnumerator> playlistEnumerator() const;
    std::unique_ptr<PBUserPlaylistEnumerator> userPlaylistEnumerator() const;
    PBPlaylistList playlists() const;
    PBPlaylistList userPlaylists() const;
    SInt32 userPlaylistCount() const;
    std::shared_ptr<PBPlaylist> rootPlaylist() const;
    std::shared_ptr<PBPlaylist> rootUserPlaylist() const;

    std::shared_ptr<PBPlaylist> playlistWithPersistentId(SInt64 persistentId) const;
    std::shared_ptr<PBTrack> trackWithPersistentId(SInt64 persistentId) const;
    std::shared_ptr<PBTrack> trackWithPersistentIdString(const std::string& persistentId) const;

    // Read once per process; nullopt (and 0) until a read succeeds.
    std::optional<std::string> versionString() const;
    UInt32 versionNumber() const;
    bool versionGreaterThan(UInt32 version) const { return versionNumber() > version; }
    bool versionLessThan(UInt32 version) const { return versionNumber() < version; }
    // major << 8 | minor << 4 | third, each cut to 8 bits (the fields overlap above 15).
    static UInt32 packedVersion(std::string_view version);
    // Forgets the cached version, so the next call reads it again (tests start players of
    // several versions in one process).
    static void forgetCachedVersion();

private:
    PlayerBridge() = default;
    void command(AEEventID eventID) const;

    static std::optional<std::string> cachedVersion;
    static UInt32 cachedVersionInt;
};

// The tracks of a reply whose direct parameter reads as a list, up to the first item that
// cannot be read; nullopt when there is no list.
std::optional<PBTrackList> PBTracksOfReplyList(const AppleEvent* reply);
