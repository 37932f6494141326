// The stand-in's library: its tracks and its playlists, with the library playlist first.
//
// The library playlist holds every track, in library order; removing a track from the library
// removes it from every playlist. Folders hold no items of their own. Tracks and playlists are
// found by id and persistent ID through indexes, so their ids stay as they were added. Not
// thread-safe: the model that owns it is used from one thread.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "player/LibraryPlaylist.h"
#include "player/LibraryTrack.h"

namespace player {

class MusicLibrary {
public:
    MusicLibrary();
    MusicLibrary(const MusicLibrary&) = delete;
    MusicLibrary& operator=(const MusicLibrary&) = delete;
    MusicLibrary(MusicLibrary&&) = default;
    MusicLibrary& operator=(MusicLibrary&&) = default;

    UInt64 libraryPersistentID{0};
    std::string musicFolder;  // a file:// URL, or empty

    const LibraryTrack* track(SInt32 trackID) const;
    LibraryTrack* track(SInt32 trackID);
    const LibraryTrack* trackWithPersistentID(UInt64 persistentID) const;
    // The track of a file:// URL, found by its path.
    const LibraryTrack* trackWithLocation(const std::string& location) const;
    size_t trackCount() const { return fTracks.size(); }

    const LibraryPlaylist& libraryPlaylist() const { return *fPlaylists.front(); }
    const LibraryPlaylist* playlist(SInt32 playlistID) const;
    LibraryPlaylist* playlist(SInt32 playlistID);
    const LibraryPlaylist* playlistWithPersistentID(UInt64 persistentID) const;
    // Every playlist in library order, the library playlist first.
    std::vector<const LibraryPlaylist*> playlists() const;

    // The tracks of a playlist in order: a folder's are those of the playlists inside it, each
    // once; a missing track id is left out.
    std::vector<SInt32> tracksOf(const LibraryPlaylist& playlist) const;
    const LibraryPlaylist* parentOf(const LibraryPlaylist& playlist) const;

    // Adds a track at the end of the library. A track id of 0 or one in use gets a new id, a
    // persistent ID of 0 or one in use a new one.
    LibraryTrack& addTrack(LibraryTrack track);
    // Removes the track from the library and every playlist; false when there is none.
    bool removeTrack(SInt32 trackID);
    // Adds a playlist after the others (its items are kept as given, the tracks must exist). A
    // library playlist takes the place of the current one: its name, ids and order of tracks
    // are adopted, tracks it does not list keep their place after the listed ones.
    LibraryPlaylist& addPlaylist(LibraryPlaylist playlist);
    // Removes a playlist and, for a folder, everything inside it; the library playlist stays.
    bool removePlaylist(SInt32 playlistID);

private:
    UInt64 newPersistentID(UInt64 seed) const;

    void indexPlaylist(LibraryPlaylist& playlist);

    std::unordered_map<SInt32, std::unique_ptr<LibraryTrack>> fTracks;
    std::vector<std::unique_ptr<LibraryPlaylist>> fPlaylists;
    std::unordered_map<UInt64, LibraryTrack*> fTracksByPersistentID;
    std::unordered_map<SInt32, LibraryPlaylist*> fPlaylistsByID;
    std::unordered_map<UInt64, LibraryPlaylist*> fPlaylistsByPersistentID;
    SInt32 fNextTrackID{1000};
    SInt32 fNextPlaylistID{5000};
};

}  // namespace player
