// Walks the player's playlists ('cPly'), or with PBUserPlaylistEnumerator its plain user
// playlists ('cUPl' that are neither smart nor special).
//
// The count of elements is read once, at creation, from the shared PlayerBridge; an unreadable
// count (-1, as when the player does not run) enumerates nothing. Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/Carbon/MacTypes.h"

class PBPlaylist;

class PBPlaylistEnumerator {
public:
    PBPlaylistEnumerator(const PBPlaylistEnumerator&) = delete;
    PBPlaylistEnumerator& operator=(const PBPlaylistEnumerator&) = delete;

    PBPlaylistEnumerator();
    virtual ~PBPlaylistEnumerator();

    OSType appleEventClass() const { return fAppleEventClass; }
    // The next playlist, or null at the end or when it cannot be read.
    virtual std::shared_ptr<PBPlaylist> nextObject();
    // The playlists from the current position until nextObject answers null.
    std::vector<std::shared_ptr<PBPlaylist>> allObjects();

protected:
    explicit PBPlaylistEnumerator(OSType appleEventClass);

private:
    OSType fAppleEventClass;
    SInt32 count{-1};
    SInt32 seq{0};
};

class PBUserPlaylistEnumerator : public PBPlaylistEnumerator {
public:
    PBUserPlaylistEnumerator();
    // Skips playlists of another kind than 'kSpN' or 'kNon', smart ones, and those whose 'pSmt'
    // cannot be read.
    std::shared_ptr<PBPlaylist> nextObject() override;
};
