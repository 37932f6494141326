// One playlist of the player: its name, kind, tracks, parent and persistent ID, and look-ups
// of its tracks by persistent ID.
//
// A playlist made from the player's descriptor starts with both IDs unread (-1); a
// pseudo-playlist (the cache's root, "LIBRARY", "STORE", "PLAYLISTS": IDs 0 to 3) is the
// application's descriptor with both IDs 0. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Source/PlayerBridge/PBAppleEventObject.h"

class PBTrack;
class PBTrackEnumerator;

class PBPlaylist : public PBAppleEventObject {
public:
    // A playlist of the player, both IDs unread.
    static std::shared_ptr<PBPlaylist> create(AEDesc descriptor);
    // A pseudo-playlist: the application's descriptor, both IDs 0.
    static std::shared_ptr<PBPlaylist> createPseudoPlaylist();

    PBPlaylist();
    explicit PBPlaylist(AEDesc descriptor);

    // IDs 0 to 3 give the pseudo-playlists' localized names without asking the player.
    std::optional<std::string> name();
    UInt32 specialKind() const { return getPropertyAsEnumForDesc(fourCC("pSpK")); }
    SInt32 trackCount() const { return getCountOfElementsOfClass(fourCC("cTrk")); }
    std::vector<std::shared_ptr<PBTrack>> tracks();
    std::vector<std::shared_ptr<PBTrack>> tracksFromIndex(SInt32 index);  // 1-based
    std::unique_ptr<PBTrackEnumerator> trackEnumerator();
    std::unique_ptr<PBTrackEnumerator> trackEnumeratorFromIndex(SInt32 index);

    // The player's parent of this playlist, null at the top or when it cannot be read.
    std::shared_ptr<PBPlaylist> parentPlaylist();
    // Stored once read; 0 for a playlist at the top.
    SInt64 parentPlaylistId();
    void setParentPlaylistId(SInt64 id) { fParentPlaylistId = id; }
    void setPersistentId(SInt64 id) { fPersistentId = id; }

    // The children's IDs, ordered by name (comparePlaylistName) since the last addition.
    std::vector<SInt64> childPlaylistIds();
    void addChildPlaylistId(SInt64 id);

    // -1 below packed version 0x600. The text form (0x720 to 0x721) is stored once read; the
    // 64-bit form is read at every call.
    SInt64 persistentId();
    SInt64 persistentIdNumber() { return persistentId(); }
    // As the track's: nullopt below 0x600 and when the ID cannot be read.
    std::optional<std::string> persistentIdAsString() const;

    std::shared_ptr<PBTrack> trackWithPersistentId(SInt64 persistentId) const;
    // Only 1 to 16 hexadecimal digits are looked up; any other text answers null.
    std::shared_ptr<PBTrack> trackWithPersistentIdString(const std::string& persistentId) const;
    std::shared_ptr<PBTrack> trackWithDatabaseId(SInt32 databaseId) const;

    // Not offered: log a warning and answer false.
    bool isSpecialKind() const;
    bool isCached() const;

private:
    std::shared_ptr<PBPlaylist> sharedPlaylist();

    std::vector<SInt64> fChildPlaylistIds;
    bool fAreChildrenSorted{false};
    SInt64 fPersistentId{-1};
    SInt64 fParentPlaylistId{-1};
};

// PBRootUserPlaylist: a playlist kind of its own that nothing makes.
class PBRootUserPlaylist : public PBPlaylist {
public:
    using PBPlaylist::PBPlaylist;
};

// Orders two playlists of the shared cache by name, case-insensitively: -1, 0 or 1. Playlists
// the cache lacks sort after those it has; equal names (and two missing entries) are ordered
// by persistent ID, so the order is strict.
int comparePlaylistName(SInt64 persistentId, SInt64 otherPersistentId);
