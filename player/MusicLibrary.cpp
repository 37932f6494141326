#include "player/MusicLibrary.h"

#include <algorithm>
#include <set>
#include <utility>

#include "platform/Carbon/FileReference.h"

namespace player {

namespace {

constexpr UInt64 kLibraryPlaylistSeed = 0x4C49425241525921ULL;

// SplitMix64: spreads a seed into a well-mixed 64-bit value.
UInt64 mix(UInt64 value) {
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

}  // namespace

MusicLibrary::MusicLibrary() {
    auto library = std::make_unique<LibraryPlaylist>();
    library->playlistID = fNextPlaylistID++;
    library->persistentID = mix(kLibraryPlaylistSeed);
    library->name = "Library";
    library->kind = PlaylistKind::library;
    indexPlaylist(*library);
    fPlaylists.push_back(std::move(library));
}

void MusicLibrary::indexPlaylist(LibraryPlaylist& playlist) {
    fPlaylistsByID[playlist.playlistID] = &playlist;
    fPlaylistsByPersistentID[playlist.persistentID] = &playlist;
}

const LibraryTrack* MusicLibrary::track(SInt32 trackID) const {
    const auto found = fTracks.find(trackID);
    return found == fTracks.end() ? nullptr : found->second.get();
}

LibraryTrack* MusicLibrary::track(SInt32 trackID) {
    const auto found = fTracks.find(trackID);
    return found == fTracks.end() ? nullptr : found->second.get();
}

const LibraryTrack* MusicLibrary::trackWithPersistentID(UInt64 persistentID) const {
    const auto found = fTracksByPersistentID.find(persistentID);
    return found == fTracksByPersistentID.end() ? nullptr : found->second;
}

const LibraryTrack* MusicLibrary::trackWithLocation(const std::string& location) const {
    if (location.empty()) return nullptr;
    // URLs that spell one path differently ("localhost", escapes) name the same file.
    const std::optional<std::string> path = PathFromFileURL(location);
    for (const SInt32 id : libraryPlaylist().items) {
        const LibraryTrack* found = track(id);
        if (found &&
            (found->location == location || (path && !found->location.empty() && found->path() == *path)))
            return found;
    }
    return nullptr;
}

const LibraryPlaylist* MusicLibrary::playlist(SInt32 playlistID) const {
    const auto found = fPlaylistsByID.find(playlistID);
    return found == fPlaylistsByID.end() ? nullptr : found->second;
}

LibraryPlaylist* MusicLibrary::playlist(SInt32 playlistID) {
    return const_cast<LibraryPlaylist*>(std::as_const(*this).playlist(playlistID));
}

const LibraryPlaylist* MusicLibrary::playlistWithPersistentID(UInt64 persistentID) const {
    const auto found = fPlaylistsByPersistentID.find(persistentID);
    return found == fPlaylistsByPersistentID.end() ? nullptr : found->second;
}

std::vector<const LibraryPlaylist*> MusicLibrary::playlists() const {
    std::vector<const LibraryPlaylist*> result;
    result.reserve(fPlaylists.size());
    for (const auto& playlist : fPlaylists) result.push_back(playlist.get());
    return result;
}

std::vector<SInt32> MusicLibrary::tracksOf(const LibraryPlaylist& playlist) const {
    std::vector<SInt32> result;
    if (!playlist.isFolder()) {
        for (const SInt32 id : playlist.items) {
            if (track(id)) result.push_back(id);
        }
        return result;
    }
    // Depth-first over the folder's children in order; a cycle of parents in a damaged file ends
    // at a folder already visited.
    std::set<SInt32> seen;
    std::set<const LibraryPlaylist*> visited{&playlist};
    const auto collect = [&](const auto& self, const LibraryPlaylist& folder) -> void {
        for (const auto& child : fPlaylists) {
            if (child->parentPersistentID != folder.persistentID || !visited.insert(child.get()).second)
                continue;
            if (child->isFolder()) {
                self(self, *child);
                continue;
            }
            for (const SInt32 id : child->items) {
                if (track(id) && seen.insert(id).second) result.push_back(id);
            }
        }
    };
    collect(collect, playlist);
    return result;
}

const LibraryPlaylist* MusicLibrary::parentOf(const LibraryPlaylist& playlist) const {
    if (!playlist.parentPersistentID) return nullptr;
    const LibraryPlaylist* parent = playlistWithPersistentID(*playlist.parentPersistentID);
    return parent && parent != &playlist ? parent : nullptr;
}

UInt64 MusicLibrary::newPersistentID(UInt64 seed) const {
    UInt64 candidate = mix(seed ^ libraryPersistentID);
    while (candidate == 0 || trackWithPersistentID(candidate) || playlistWithPersistentID(candidate))
        candidate = mix(candidate);
    return candidate;
}

LibraryTrack& MusicLibrary::addTrack(LibraryTrack track) {
    if (track.trackID <= 0 || fTracks.count(track.trackID)) {
        while (fTracks.count(fNextTrackID)) ++fNextTrackID;
        track.trackID = fNextTrackID++;
    }
    fNextTrackID = std::max(fNextTrackID, track.trackID + 1);
    if (track.persistentID == 0 || trackWithPersistentID(track.persistentID) ||
        playlistWithPersistentID(track.persistentID))
        track.persistentID = newPersistentID(static_cast<UInt64>(track.trackID));
    const SInt32 id = track.trackID;
    auto& stored = fTracks[id];
    stored = std::make_unique<LibraryTrack>(std::move(track));
    fTracksByPersistentID[stored->persistentID] = stored.get();
    fPlaylists.front()->items.push_back(id);
    return *stored;
}

bool MusicLibrary::removeTrack(SInt32 trackID) {
    const auto found = fTracks.find(trackID);
    if (found == fTracks.end()) return false;
    fTracksByPersistentID.erase(found->second->persistentID);
    fTracks.erase(found);
    for (const auto& playlist : fPlaylists) std::erase(playlist->items, trackID);
    return true;
}

LibraryPlaylist& MusicLibrary::addPlaylist(LibraryPlaylist playlist) {
    if (playlist.kind == PlaylistKind::library) {
        LibraryPlaylist& library = *fPlaylists.front();
        std::vector<SInt32> order;
        std::set<SInt32> listed;
        for (const SInt32 id : playlist.items) {
            if (track(id) && listed.insert(id).second) order.push_back(id);
        }
        for (const SInt32 id : library.items) {
            if (!listed.count(id)) order.push_back(id);
        }
        fPlaylistsByID.erase(library.playlistID);
        fPlaylistsByPersistentID.erase(library.persistentID);
        if (playlist.playlistID > 0 && !this->playlist(playlist.playlistID))
            library.playlistID = playlist.playlistID;
        // A persistent ID another playlist or a track has stays theirs.
        if (playlist.persistentID != 0 && !playlistWithPersistentID(playlist.persistentID) &&
            !trackWithPersistentID(playlist.persistentID))
            library.persistentID = playlist.persistentID;
        indexPlaylist(library);
        if (!playlist.name.empty()) library.name = playlist.name;
        library.items = std::move(order);
        fNextPlaylistID = std::max(fNextPlaylistID, library.playlistID + 1);
        return library;
    }
    if (playlist.playlistID <= 0 || this->playlist(playlist.playlistID)) {
        while (this->playlist(fNextPlaylistID)) ++fNextPlaylistID;
        playlist.playlistID = fNextPlaylistID++;
    }
    fNextPlaylistID = std::max(fNextPlaylistID, playlist.playlistID + 1);
    if (playlist.persistentID == 0 || playlistWithPersistentID(playlist.persistentID) ||
        trackWithPersistentID(playlist.persistentID))
        playlist.persistentID = newPersistentID(static_cast<UInt64>(playlist.playlistID) << 32);
    if (playlist.isFolder()) playlist.items.clear();
    std::erase_if(playlist.items, [this](SInt32 id) { return !track(id); });
    fPlaylists.push_back(std::make_unique<LibraryPlaylist>(std::move(playlist)));
    indexPlaylist(*fPlaylists.back());
    return *fPlaylists.back();
}

bool MusicLibrary::removePlaylist(SInt32 playlistID) {
    const LibraryPlaylist* target = playlist(playlistID);
    if (!target || target->kind == PlaylistKind::library) return false;
    std::set<UInt64> doomed{target->persistentID};
    // Everything whose chain of parents reaches the removed playlist goes with it.
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& candidate : fPlaylists) {
            if (candidate->parentPersistentID && doomed.count(*candidate->parentPersistentID) &&
                doomed.insert(candidate->persistentID).second)
                grew = true;
        }
    }
    std::erase_if(fPlaylists, [&](const std::unique_ptr<LibraryPlaylist>& p) {
        if (p->kind == PlaylistKind::library || !doomed.count(p->persistentID)) return false;
        fPlaylistsByID.erase(p->playlistID);
        fPlaylistsByPersistentID.erase(p->persistentID);
        return true;
    });
    return true;
}

}  // namespace player
