#include "Source/PlaylistMenus.h"

#include <QString>
#include <algorithm>

#include "Source/ApplescriptController.h"
#include "Source/PlayerAccess.h"
#include "Source/PlayerStatus.h"
#include "Source/PlaylistMenusHost.h"
#include "Source/UserPlaylists.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Menu.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppleEvents/AEDescriptor.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/PropertyListSerialization.h"

namespace {

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

// The texts of a list descriptor's items that read as text and are not empty, in order.
std::vector<std::string> textsOfList(const AEDesc& list) {
    std::vector<std::string> texts;
    long count = 0;
    if (AECountItems(&list, &count) != noErr) return texts;
    for (long i = 1; i <= count; ++i) {
        AEDesc item;
        if (AEGetNthDesc(&list, i, typeUTF8Text, nullptr, &item) != noErr) continue;
        std::string text(item.bytes().begin(), item.bytes().end());
        if (!text.empty()) texts.push_back(std::move(text));
    }
    return texts;
}

long itemCount(const AEDesc& list) {
    long count = 0;
    return AECountItems(&list, &count) == noErr ? count : 0;
}

}  // namespace

PlaylistMenus::PlaylistMenus(PlaylistMenusHost& host, PlayerAccess& player, PlayerStatus& model,
                             std::unique_ptr<UserPlaylists> libraryPlaylists)
    : mHost(host), mPlayer(player), mModel(model), mLibraryPlaylists(std::move(libraryPlaylists)) {}

PlaylistMenus::~PlaylistMenus() = default;

// ---------------------------------------------------------------------------------------------
// Playlists.

std::vector<PlaylistEntry> PlaylistMenus::playlistEntries() {
    if (mHost.iTunesIsRunning()) {
        if (!mPlayerEntries) mPlayerEntries = readPlayerPlaylists();
        if (!mPlayerEntries->empty()) return *mPlayerEntries;
    }
    std::vector<PlaylistEntry> entries;
    const auto& names = mLibraryPlaylists->playlists();
    const auto& ids = mLibraryPlaylists->playlistIDs();
    for (size_t i = 0; i < names.size() && i < ids.size(); ++i) entries.push_back({names[i], ids[i]});
    return entries;
}

std::vector<PlaylistEntry> PlaylistMenus::readPlayerPlaylists() {
    std::vector<PlaylistEntry> entries;
    for (const auto& playlist : mPlayer.userPlaylists()) {
        const std::optional<std::string> name = playlist->name();
        const SInt64 id = playlist->persistentId();
        // A playlist whose name or ID did not read cannot be offered or found again.
        if (!name || id == 0 || id == -1) continue;
        entries.push_back({*name, id});
    }
    return entries;
}

std::vector<std::string> PlaylistMenus::playlists() {
    std::vector<std::string> names;
    for (auto& entry : playlistEntries()) names.push_back(std::move(entry.name));
    return names;
}

std::vector<SInt64> PlaylistMenus::playlistIDs() {
    std::vector<SInt64> ids;
    for (const auto& entry : playlistEntries()) ids.push_back(entry.persistentID);
    return ids;
}

size_t PlaylistMenus::playlistIndexForPersistentID(const std::vector<SInt64>& ids, SInt64 persistentID) {
    return static_cast<size_t>(std::find(ids.begin(), ids.end(), persistentID) - ids.begin());
}

SInt64 PlaylistMenus::playlistPersistentIDForIndex(const std::vector<SInt64>& ids, size_t index) {
    return index < ids.size() ? ids[index] : 0;
}

std::unique_ptr<NSMenu> PlaylistMenus::makeAddToPlaylistMenu() {
    auto menu = std::make_unique<NSMenu>(localized("Add to Playlist"));
    menu->needsUpdate = [this](NSMenu& shown) { menuNeedsUpdate(shown); };
    mAddToPlaylistMenu = menu.get();
    return menu;
}

void PlaylistMenus::setAddToPlaylistPopUp(PopUpButton* popUp) {
    mAddToPlaylistPopUp = popUp;
    if (!popUp) return;
    popUp->menuNeedsUpdate = [this] { popUpNeedsUpdate(); };
    popUp->action = [this] { addToPlaylist(); };
}

void PlaylistMenus::menuNeedsUpdate(NSMenu& menu) {
    if (&menu != mAddToPlaylistMenu) return;
    mMenuEntries = playlistEntries();
    menu.removeAllItems();
    for (size_t i = 0; i < mMenuEntries.size(); ++i) {
        const long tag = static_cast<long>(i);
        menu.addItemWithTitle(mMenuEntries[i].name, [this, tag] { addToPlaylistFromMenu(tag); })->setTag(tag);
    }
}

void PlaylistMenus::popUpNeedsUpdate() {
    if (!mAddToPlaylistPopUp) return;
    mPopUpEntries = playlistEntries();
    while (mAddToPlaylistPopUp->numberOfItems() > 1)
        mAddToPlaylistPopUp->removeItemAtIndex(mAddToPlaylistPopUp->numberOfItems() - 1);
    // The pop-up's command is enabled while the player runs, as the menus validate it.
    const bool running = mHost.iTunesIsRunning();
    for (size_t i = 0; i < mPopUpEntries.size(); ++i) {
        mAddToPlaylistPopUp->addItemWithTitle(mPopUpEntries[i].name, static_cast<long>(i));
        mAddToPlaylistPopUp->itemAtIndex(mAddToPlaylistPopUp->numberOfItems() - 1)->enabled = running;
    }
}

void PlaylistMenus::addToPlaylistFromMenu(long tag) {
    if (!mModel.track() || tag < 0) return;
    std::vector<SInt64> ids;
    for (const auto& entry : mMenuEntries) ids.push_back(entry.persistentID);
    const SInt64 id = playlistPersistentIDForIndex(ids, static_cast<size_t>(tag));
    if (id == 0) return;
    addToPlaylistWithID(id);
}

void PlaylistMenus::addToPlaylist() {
    if (!mModel.track() || !mAddToPlaylistPopUp) return;
    const int k = mAddToPlaylistPopUp->indexOfSelectedItem();
    if (k < 1 || mPopUpEntries.size() < static_cast<size_t>(k)) return;
    addToPlaylistWithID(mPopUpEntries[static_cast<size_t>(k) - 1].persistentID);
}

void PlaylistMenus::addToPlaylistWithID(SInt64 persistentID) {
    // One command: a player that leaves a request unanswered is not waited on again.
    mPlayer.refreshAnswered([&] { addTrackToPlaylist(persistentID); });
}

void PlaylistMenus::addTrackToPlaylist(SInt64 persistentID) {
    const std::shared_ptr<PlayerTrack> track = mModel.track();
    if (!track) return;
    const std::optional<std::string> path = track->path();
    if (!path) {
        // A stream has no file to add; only a silent player is worth telling about.
        if (!mHost.iTunesIsResponding(kAddProbeTicks)) addToPlaylistFailed();
        return;
    }
    const std::shared_ptr<PlayerPlaylist> playlist = mPlayer.playlistWithPersistentId(persistentID);
    if (!playlist) {
        // Not found is no failure while the player answers (the playlist went meanwhile); a
        // silent player would otherwise drop the user's choice without a word.
        if (!mHost.iTunesIsResponding(kAddProbeTicks)) addToPlaylistFailed();
        return;
    }
    if (playlist->trackWithPersistentId(track->persistentId())) return;
    const SInt16 status = mPlayer.addTrackPath(*path, playlist.get());
    if (status == fnfErr)
        trackFileMissing(*path);
    else if (status != 0)
        addToPlaylistFailed();
}

void PlaylistMenus::addToPlaylistFailed() {
    unresponsiveAlert("Add to playlist failed");
}

void PlaylistMenus::trackFileMissing(const std::string& path) {
    std::string text = localized("TRACKFILEMISSING");
    if (auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, path);
    failureAlert("Add to playlist failed", text);
}

void PlaylistMenus::unresponsiveAlert(const char* message) {
    failureAlert(message, localized("ITUNESNOTRESPONDING"));
}

void PlaylistMenus::failureAlert(const char* message, const std::string& informativeText) {
    NSAlert alert;
    alert.addButtonWithTitle(localized("OK"));
    alert.messageText = localized(message);
    alert.informativeText = informativeText;
    alert.alertStyle = NSAlertStyle::Critical;
    if (Window* window = mHost.sheetWindow())
        alert.beginSheetModalForWindow(window, [this](NSModalResponse) { mHost.showMainWindow(); });
    else
        alert.runModal();
}

// ---------------------------------------------------------------------------------------------
// Genres.

std::vector<std::string> PlaylistMenus::genreListFrom(std::vector<std::string> genres) {
    std::stable_sort(genres.begin(), genres.end(), [](const std::string& a, const std::string& b) {
        return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
    });
    genres.insert(genres.begin(), localized("Genre not specified"));
    if (genres.size() > 1) genres.insert(genres.begin() + 1, kGenreSeparator);
    return genres;
}

std::vector<std::string> PlaylistMenus::genres() {
    if (!mGenreList) getGenreList();
    // Neither the player nor the resources gave a list: the pop-up still needs its first entry.
    if (!mGenreList) return genreListFrom({});
    return *mGenreList;
}

void PlaylistMenus::getGenreList() {
    if (!mHost.iTunesIsResponding(kScriptProbeTicks)) {
        getGenreListFailed();
        return;
    }
    if (!mHost.iTunesIsRunning()) return;
    std::optional<AEDesc> result;
    try {
        result = ApplescriptController::withResource("GetGenreList").run();
    } catch (...) {
        result.reset();
    }
    if (!result || itemCount(*result) < 1) {
        getGenreListFailed();
        return;
    }
    const bool hadList = mGenreList.has_value();
    mGenreList = genreListFrom(textsOfList(*result));
    if (hadList) mHost.genresChanged();
}

void PlaylistMenus::getGenreListFailed() {
    std::vector<std::string> names;
    if (auto path = NSBundle::mainBundle().pathForResource("DefaultGenres", "plist")) {
        const Result<PropertyList> read = PropertyListSerialization::propertyListWithContentsOfFile(*path);
        if (read && read.value().array())
            for (const PropertyList& name : *read.value().array())
                if (name.string() && !name.string()->empty()) names.push_back(*name.string());
    }
    mGenreList = genreListFrom(std::move(names));
}

void PlaylistMenus::selectGenre(int index, const std::string& title) {
    const std::shared_ptr<PlayerTrack> track = mModel.track();
    if (!track || index < 0) return;
    track->setGenre(index == 0 ? std::string() : title);
}

// ---------------------------------------------------------------------------------------------
// Get Info.

void PlaylistMenus::getTrackInfo() {
    if (!mHost.accessibilityEnabled()) {
        NSAlert alert;
        alert.addButtonWithTitle(localized("Open"));
        alert.addButtonWithTitle(localized("Cancel"));
        alert.messageText = localized("\"Enable access for assistive devices\" not enabled.");
        alert.informativeText = localized("UNIVERSALACCESS") + " " + localized("UNIVERSALOPEN");
        alert.alertStyle = NSAlertStyle::Critical;
        if (Window* window = mHost.sheetWindow()) {
            alert.beginSheetModalForWindow(window, [this](NSModalResponse answer) {
                mHost.showMainWindow();
                if (answer == NSAlertFirstButtonReturn) openUniversalAccessPrefs();
            });
        } else if (alert.runModal() == NSAlertFirstButtonReturn) {
            openUniversalAccessPrefs();
        }
        return;
    }
    if (!mHost.iTunesIsResponding(kScriptProbeTicks)) {
        getTrackInfoFailed();
        return;
    }
    if (!mHost.iTunesIsRunning()) return;
    try {
        ApplescriptController::withResource("GetInfo").run();
    } catch (...) {
    }
}

void PlaylistMenus::getTrackInfoFailed() {
    unresponsiveAlert("Get track info failed");
}

void PlaylistMenus::openUniversalAccessPrefs() {
    mHost.openFile(kUniversalAccessPrefs);
}
