#include "Source/PlayerBridge/PBPlaylistCache.h"

#include <algorithm>
#include <array>
#include <utility>

#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBPlaylistEnumerator.h"

namespace {

constexpr SInt64 kRootID = 0;
constexpr SInt64 kLibraryID = 1;
constexpr SInt64 kStoreID = 2;
constexpr SInt64 kPlaylistsID = 3;

constexpr OSType kKindFolder = fourCC("kSpF");
constexpr OSType kKindNone = fourCC("kSpN");

// Special kinds whose place in the all-playlists tree is fixed.
constexpr std::array<std::pair<OSType, SInt64>, 8> kParentByKind = {{
    {fourCC("kSpA"), kLibraryID},
    {fourCC("kSpI"), kLibraryID},
    {fourCC("kSpP"), kLibraryID},
    {fourCC("kSpT"), kLibraryID},
    {fourCC("kSpV"), kLibraryID},
    {fourCC("kSpZ"), kLibraryID},
    {fourCC("kSpM"), kStoreID},
    {fourCC("kSpS"), kPlaylistsID},
}};

bool isPseudoID(SInt64 id) {
    return id >= kRootID && id <= kPlaylistsID;
}

bool isUserKind(UInt32 kind) {
    return kind == kKindNone || kind == kKindFolder;
}

std::shared_ptr<PBPlaylist> pseudoPlaylist(SInt64 id) {
    auto playlist = PBPlaylist::createPseudoPlaylist();
    playlist->setPersistentId(id);
    playlist->setParentPlaylistId(kRootID);
    return playlist;
}

SInt64 parentIdOf(PBPlaylist& playlist) {
    const auto parent = playlist.parentPlaylist();
    return parent ? parent->persistentId() : 0;
}

template <typename Table>
void linkChildren(Table& table) {
    for (auto& [id, playlist] : table) {
        if (id == kRootID) continue;
        const auto parent = table.find(playlist->parentPlaylistId());
        if (parent != table.end()) parent->second->addChildPlaylistId(playlist->persistentIdNumber());
    }
}

}  // namespace

PBPlaylistCache& PBPlaylistCache::sharedInstance() {
    static PBPlaylistCache* shared = [] {
        static PBPlaylistCache cache;
        cache.reload();
        return &cache;
    }();
    return *shared;
}

std::shared_ptr<PBPlaylist> PBPlaylistCache::playlistForPersistentId(SInt64 persistentId) const {
    const auto found = playlists.find(persistentId);
    return found != playlists.end() ? found->second : nullptr;
}

std::shared_ptr<PBPlaylist> PBPlaylistCache::userPlaylistForPersistentId(SInt64 persistentId) const {
    const auto found = userPlaylists.find(persistentId);
    return found != userPlaylists.end() ? found->second : nullptr;
}

void PBPlaylistCache::reload() {
    playlists.clear();
    userPlaylists.clear();

    for (SInt64 id : {kRootID, kLibraryID, kStoreID, kPlaylistsID}) playlists[id] = pseudoPlaylist(id);
    {
        PBPlaylistEnumerator enumerator;
        while (auto playlist = enumerator.nextObject())
            playlists[playlist->persistentId()] = std::move(playlist);
    }
    for (auto& [id, playlist] : playlists) {
        if (isPseudoID(id)) continue;
        const UInt32 kind = playlist->specialKind();
        const auto fixed = std::find_if(kParentByKind.begin(), kParentByKind.end(),
                                        [kind](const auto& entry) { return entry.first == kind; });
        if (fixed != kParentByKind.end()) {
            playlist->setParentPlaylistId(fixed->second);
        } else if (isUserKind(kind)) {
            const SInt64 parent = parentIdOf(*playlist);
            playlist->setParentPlaylistId(parent != 0 ? parent : kPlaylistsID);
        }
        // Any other kind reads its parent from the player when first asked.
    }
    linkChildren(playlists);

    userPlaylists[kRootID] = pseudoPlaylist(kRootID);
    {
        PBPlaylistEnumerator enumerator;
        while (auto playlist = enumerator.nextObject())
            if (isUserKind(playlist->specialKind()))
                userPlaylists[playlist->persistentId()] = std::move(playlist);
    }
    for (auto& [id, playlist] : userPlaylists) {
        if (isPseudoID(id) || !isUserKind(playlist->specialKind())) continue;
        playlist->setParentPlaylistId(parentIdOf(*playlist));
    }
    linkChildren(userPlaylists);
}
