// The add-to-playlist menu and pop-up, the genre list with its pop-up, and Get Info. Playlists
// come from the running player, else from its library file; genres and Get Info go through the
// bundle's scripts. Each menu keeps the (name, ID) pairs it was built with, so a choice adds the
// track to the playlist the user saw even when the player's list changed meanwhile.
// Main thread only; scripts run synchronously on it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Carbon/MacTypes.h"

class NSMenu;
class PlayerAccess;
class PlayerStatus;
class PlaylistMenusHost;
class PopUpButton;
class UserPlaylists;

struct PlaylistEntry {
    std::string name;
    SInt64 persistentID{0};
    bool operator==(const PlaylistEntry&) const = default;
};

class PlaylistMenus {
public:
    PlaylistMenus(const PlaylistMenus&) = delete;
    PlaylistMenus& operator=(const PlaylistMenus&) = delete;

    static constexpr UInt32 kAddProbeTicks = 20;
    static constexpr UInt32 kScriptProbeTicks = 120;
    static constexpr const char* kGenreSeparator = "\u2022\u2022\u2022";
    static constexpr const char* kUniversalAccessPrefs =
        "/System/Library/PreferencePanes/UniversalAccessPref.prefPane";

    // None is owned but the library's list; all must outlive the menus.
    PlaylistMenus(PlaylistMenusHost& host, PlayerAccess& player, PlayerStatus& model,
                  std::unique_ptr<UserPlaylists> libraryPlaylists);
    ~PlaylistMenus();

    // The user's playlists: the running player's, else (or when it lists none) the library
    // file's. Names and IDs in one read, so they always pair up.
    // The player's list is read once and kept until forgotten: asking it costs several requests
    // per playlist.
    std::vector<PlaylistEntry> playlistEntries();
    // The player's list may have changed (a playerInfo notice, the player launched or quit).
    void forgetPlayerPlaylists() { mPlayerEntries.reset(); }
    std::vector<std::string> playlists();
    std::vector<SInt64> playlistIDs();
    UserPlaylists& libraryPlaylists() { return *mLibraryPlaylists; }

    // The position of the first ID equal to `persistentID`; the array's count when none is.
    static size_t playlistIndexForPersistentID(const std::vector<SInt64>& ids, SInt64 persistentID);
    // The ID at the 0-based position; 0 past the end.
    static SInt64 playlistPersistentIDForIndex(const std::vector<SInt64>& ids, size_t index);

    // The Add-to-playlist menu, rebuilt before it shows; the menus wire it in as a submenu.
    std::unique_ptr<NSMenu> makeAddToPlaylistMenu();
    // The window's pull-down: item 0 is its image and stays; rebuilt before it shows.
    void setAddToPlaylistPopUp(PopUpButton* popUp);
    // Rebuilds the menu when it is one of the two add-to-playlist menus.
    void menuNeedsUpdate(NSMenu& menu);
    void popUpNeedsUpdate();
    // A choice from the menu (the item's tag) or from the pop-up (its selected index).
    void addToPlaylistFromMenu(long tag);
    void addToPlaylist();
    void addToPlaylistFailed();

    // "Genre not specified", then (with any genre) "•••", then the genres sorted
    // case-insensitively; built on first use.
    std::vector<std::string> genres();
    void getGenreList();
    void getGenreListFailed();
    // The genre pop-up's choice: index 0 clears the track's genre, another sets its title.
    void selectGenre(int index, const std::string& title);

    void getTrackInfo();
    void getTrackInfoFailed();
    void openUniversalAccessPrefs();

private:
    void rebuild(const std::vector<PlaylistEntry>& entries, NSMenu& menu);
    std::vector<PlaylistEntry> readPlayerPlaylists();
    void addToPlaylistWithID(SInt64 persistentID);
    void addTrackToPlaylist(SInt64 persistentID);
    void unresponsiveAlert(const char* message);
    // The track's file is not there: the player has nothing to add.
    void trackFileMissing(const std::string& path);
    void failureAlert(const char* message, const std::string& informativeText);
    static std::vector<std::string> genreListFrom(std::vector<std::string> genres);

    PlaylistMenusHost& mHost;
    PlayerAccess& mPlayer;
    PlayerStatus& mModel;
    std::unique_ptr<UserPlaylists> mLibraryPlaylists;

    NSMenu* mAddToPlaylistMenu{nullptr};
    PopUpButton* mAddToPlaylistPopUp{nullptr};
    // What each menu showed when it was last built, by tag (the menu) and by index - 1 (the pop-up).
    std::vector<PlaylistEntry> mMenuEntries;
    std::vector<PlaylistEntry> mPopUpEntries;

    std::optional<std::vector<std::string>> mGenreList;
    // What the running player listed when last asked.
    std::optional<std::vector<PlaylistEntry>> mPlayerEntries;
};
