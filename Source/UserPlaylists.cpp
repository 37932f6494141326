#include "Source/UserPlaylists.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <limits>
#include <system_error>

#include "Source/PlayerBridge/PersistentID.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/Scheduler.h"

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

// A library no larger than the machine's memory may be read; past that it could not be held.
size_t physicalMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return std::numeric_limits<size_t>::max();
    return static_cast<size_t>(pages) * static_cast<size_t>(pageSize);
}

}  // namespace

std::string UserPlaylists::defaultLibraryPath() {
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/Music/iTunes/iTunes Music Library.xml";
}

UserPlaylists::UserPlaylists(std::string libraryPath, Reading reading, Log log)
    : mPath(std::move(libraryPath)), mLog(std::move(log)) {
    if (reading == Reading::InBackground)
        startBackgroundRead();
    else
        readPlaylistsFromLibrary();
}

UserPlaylists::~UserPlaylists() {
    waitForBackgroundRead();
}

void UserPlaylists::waitForBackgroundRead() {
    if (mReader.joinable()) mReader.join();
}

void UserPlaylists::getPlaylists() {
    mLists = {};
    readPlaylistsFromLibrary();
}

void UserPlaylists::readPlaylistsFromLibrary() {
    ++mGeneration;
    take(readLibrary(mPath));
}

void UserPlaylists::startBackgroundRead() {
    waitForBackgroundRead();
    const uint64_t generation = ++mGeneration;
    Scheduler& scheduler = Scheduler::current();
    std::weak_ptr<bool> alive = mAlive;
    // The thread owns copies of everything it uses; only the posted task, on the main thread,
    // touches this object, and only while it lives.
    try {
        mReader = std::thread([this, path = mPath, generation, alive, &scheduler] {
            auto read = std::make_shared<Result<Lists>>(readLibrary(path));
            scheduler.post([this, generation, alive, read] {
                if (alive.expired() || generation != mGeneration) return;
                take(std::move(*read));
            });
        });
    } catch (const std::system_error&) {
        // No thread to be had: late lists are better than none.
        take(readLibrary(mPath));
    }
}

void UserPlaylists::take(Result<Lists> read) {
    if (!read) {
        const std::string message = "No playlists from the player's library: " + read.error();
        if (mLog)
            mLog(message);
        else
            std::cerr << message << std::endl;
        return;
    }
    Lists& lists = read.value();
    mLists.names.insert(mLists.names.end(), std::make_move_iterator(lists.names.begin()),
                        std::make_move_iterator(lists.names.end()));
    mLists.ids.insert(mLists.ids.end(), lists.ids.begin(), lists.ids.end());
}

Result<UserPlaylists::Lists> UserPlaylists::readLibrary(const std::string& path) {
    PropertyListReadOptions options;
    options.maximumLength = physicalMemory();
    // The tracks are most of the file and none of what is needed here.
    options.keptTopLevelKeys = {"Playlists"};
    const Result<PropertyList> library =
        PropertyListSerialization::propertyListWithContentsOfFile(path, nullptr, options);
    if (!library) return Failure{library.error()};
    Lists lists;
    const PropertyList* playlists = library.value().objectForKey("Playlists");
    if (!playlists || !playlists->array()) return lists;
    for (const PropertyList& playlist : *playlists->array()) {
        if (!playlist.dictionary() || !isPlainPlaylist(playlist)) continue;
        const PropertyList* id = playlist.objectForKey("Playlist Persistent ID");
        const PropertyList* name = playlist.objectForKey("Name");
        // An entry without a name or ID text is skipped alone: the rest of the file still counts.
        if (!id || !id->string() || !name || !name->string()) continue;
        const SInt64 persistentID = longlongValue(*id->string());
        if (persistentID == 0) continue;
        lists.names.push_back(*name->string());
        lists.ids.push_back(persistentID);
    }
    return lists;
}
