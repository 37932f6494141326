// The user's plain playlists as the player's library file lists them: what the add-to-playlist
// menus offer while the player does not run. Read once when made and again only on request.
// The file can be hundreds of megabytes, so the application reads it on a thread of its own
// and the lists stay empty until the main thread takes the result through the scheduler.
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/Carbon/MacTypes.h"
#include "platform/Foundation/Result.h"

class Scheduler;

class UserPlaylists {
public:
    UserPlaylists(const UserPlaylists&) = delete;
    UserPlaylists& operator=(const UserPlaylists&) = delete;

    using Log = std::function<void(const std::string& message)>;
    enum class Reading { AtOnce, InBackground };

    // Names and persistent IDs, in the file's order; always of the same length.
    struct Lists {
        std::vector<std::string> names;
        std::vector<SInt64> ids;
    };

    // "~/Music/iTunes/iTunes Music Library.xml" with the home folder of $HOME.
    static std::string defaultLibraryPath();

    // Reads the library file at once, or in the background with the result handed to the main
    // thread through the current scheduler. A file that cannot be read is logged (without a
    // log: one line on the standard error stream) and gives no playlists.
    explicit UserPlaylists(std::string libraryPath = defaultLibraryPath(), Reading reading = Reading::AtOnce,
                           Log log = {});
    // Waits for a background read still in progress; its result is dropped.
    ~UserPlaylists();

    // Drops both lists and reads the file again, at once.
    void getPlaylists();
    // Appends the plain playlists of the file (no master library, smart, special or folder
    // playlist, none with a zero ID); a missing or unreadable file adds nothing.
    void readPlaylistsFromLibrary();
    // Blocks until a background read has handed its result to the scheduler (which still has
    // to run it); at once when none is in progress.
    void waitForBackgroundRead();

    // The plain playlists of the file at path, or why it could not be read. Any thread; the
    // file may be as large as the machine's memory.
    static Result<Lists> readLibrary(const std::string& path);

    const std::vector<std::string>& playlists() const { return mLists.names; }
    const std::vector<SInt64>& playlistIDs() const { return mLists.ids; }

private:
    void startBackgroundRead();
    void take(Result<Lists> read);

    std::string mPath;
    Log mLog;
    Lists mLists;
    std::thread mReader;
    // Results of earlier reads than the latest are dropped.
    uint64_t mGeneration{0};
    // A posted result checks this on the main thread before it touches the lists.
    std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);
};
