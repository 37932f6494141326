// Two trees of the player's playlists, keyed by persistent ID: every playlist under the
// pseudo-playlists "LIBRARY", "STORE" and "PLAYLISTS" of a root 0, and the user playlists and
// folders under a root 0 of their own.
//
// Built on first use and kept for the process; reload rebuilds both. Main thread only.
#pragma once

#include <map>
#include <memory>

#include "platform/Carbon/MacTypes.h"

class PBPlaylist;

class PBPlaylistCache {
public:
    PBPlaylistCache(const PBPlaylistCache&) = delete;
    PBPlaylistCache& operator=(const PBPlaylistCache&) = delete;

    // The shared cache, loaded from the player the first time it is asked for.
    static PBPlaylistCache& sharedInstance();

    std::shared_ptr<PBPlaylist> playlistForPersistentId(SInt64 persistentId) const;
    std::shared_ptr<PBPlaylist> userPlaylistForPersistentId(SInt64 persistentId) const;
    void reload();

private:
    PBPlaylistCache() = default;

    using Table = std::map<SInt64, std::shared_ptr<PBPlaylist>>;
    Table playlists;
    Table userPlaylists;
};
