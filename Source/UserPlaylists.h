// The user's plain playlists as the player's library file lists them: what the add-to-playlist
// menus offer while the player does not run. Read once when made and again only on request.
// Main thread only.
#pragma once

#include <string>
#include <vector>

#include "platform/Carbon/MacTypes.h"

class UserPlaylists {
public:
    // "~/Music/iTunes/iTunes Music Library.xml" with the home folder of $HOME.
    static std::string defaultLibraryPath();

    // Reads the library file at once.
    explicit UserPlaylists(std::string libraryPath = defaultLibraryPath());

    // Drops both lists and reads the file again.
    void getPlaylists();
    // Appends the plain playlists of the file (no master library, smart, special or folder
    // playlist, none with a zero ID); a missing or unreadable file adds nothing.
    void readPlaylistsFromLibrary();

    // Names and persistent IDs, in the file's order; always of the same length.
    const std::vector<std::string>& playlists() const { return mPlaylists; }
    const std::vector<SInt64>& playlistIDs() const { return mPlaylistIDs; }

private:
    std::string mPath;
    std::vector<std::string> mPlaylists;
    std::vector<SInt64> mPlaylistIDs;
};
