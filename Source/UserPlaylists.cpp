#include "Source/UserPlaylists.h"

#include <cstdlib>

#include "Source/PlayerBridge/PersistentID.h"
#include "platform/Foundation/PropertyListSerialization.h"

namespace {

bool isTrue(const PropertyList* value) {
    return value && value->integer().value_or(0) != 0;
}

// Keys whose mere presence marks a playlist the user cannot add tracks to.
constexpr const char* kSkippedIfPresent[] = {"Smart Info", "Distinguished Kind"};

bool isPlainPlaylist(const PropertyList& playlist) {
    if (isTrue(playlist.objectForKey("Master")) || isTrue(playlist.objectForKey("Folder"))) return false;
    for (const char* key : kSkippedIfPresent)
        if (playlist.objectForKey(key)) return false;
    return true;
}

}  // namespace

std::string UserPlaylists::defaultLibraryPath() {
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/Music/iTunes/iTunes Music Library.xml";
}

UserPlaylists::UserPlaylists(std::string libraryPath) : mPath(std::move(libraryPath)) {
    readPlaylistsFromLibrary();
}

void UserPlaylists::getPlaylists() {
    mPlaylists.clear();
    mPlaylistIDs.clear();
    readPlaylistsFromLibrary();
}

void UserPlaylists::readPlaylistsFromLibrary() {
    const Result<PropertyList> library = PropertyListSerialization::propertyListWithContentsOfFile(mPath);
    if (!library) return;
    const PropertyList* lists = library.value().objectForKey("Playlists");
    if (!lists || !lists->array()) return;
    for (const PropertyList& playlist : *lists->array()) {
        if (!playlist.dictionary() || !isPlainPlaylist(playlist)) continue;
        const PropertyList* id = playlist.objectForKey("Playlist Persistent ID");
        const PropertyList* name = playlist.objectForKey("Name");
        // An entry without a name or ID text is skipped alone: the rest of the file still counts.
        if (!id || !id->string() || !name || !name->string()) continue;
        const SInt64 persistentID = longlongValue(*id->string());
        if (persistentID == 0) continue;
        mPlaylists.push_back(*name->string());
        mPlaylistIDs.push_back(persistentID);
    }
}
