#include "Source/PlayerRulesHost.h"

#include "Source/ApplescriptController.h"
#include "Source/PlayerAccess.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "Source/PlaylistMenus.h"
#include "Source/WorkspaceAdditions.h"

std::shared_ptr<PlayerPlaylist> PlayerRulesHost::playlistWithPersistentId(SInt64 persistentId) {
    return fPlayer.playlistWithPersistentId(persistentId);
}

std::shared_ptr<PlayerTrack> PlayerRulesHost::trackInPlaylist(const PlayerPlaylist& playlist,
                                                              SInt64 trackPersistentId) {
    return playlist.trackWithPersistentId(trackPersistentId);
}

std::optional<std::string> PlayerRulesHost::pathOfTrack(const PlayerTrack& track) {
    return track.path();
}

SInt16 PlayerRulesHost::addTrackPath(const std::string& path, const PlayerPlaylist& playlist) {
    return fPlayer.addTrackPath(path, &playlist);
}

void PlayerRulesHost::removeTrack(const PlayerTrack& track, const PlayerPlaylist& playlist) {
    fPlayer.removeTrack(track, &playlist);
}

void PlayerRulesHost::activatePlayer() {
    if (auto player = WorkspaceAdditions::runningApplicationWithIdentifier(kPlayerBundleIdentifier))
        player->activateWithOptions(NSApplicationActivateIgnoringOtherApps);
}

void PlayerRulesHost::runGetInfoScript() {
    // A rule's Get Info is best effort: the script logs its own failures.
    try {
        ApplescriptController::withResource("GetInfo").run();
    } catch (...) {
    }
}

std::vector<UserPlaylist> PlayerRulesHost::userPlaylists() {
    std::vector<UserPlaylist> playlists;
    for (const PlaylistEntry& entry : fPlaylists.playlistEntries())
        playlists.push_back({entry.name, entry.persistentID});
    return playlists;
}

void PlayerRulesHost::openAccessibilitySettings() {
    fPlaylists.openUniversalAccessPrefs();
}
