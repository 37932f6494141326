// The player as the rule engine and the rules pane reach it: playlists and tracks by persistent
// ID, adding and removing tracks, the track's file, bringing the player forward, its info window,
// and the user playlists the rule sheet offers. Main thread only.
#pragma once

#include "Source/Preferences/RulesPrefsControllerHost.h"
#include "Source/RulesControllerHost.h"

class PlayerAccess;
class PlaylistMenus;

class PlayerRulesHost : public RulesControllerHost, public RulesPrefsControllerHost {
public:
    // Neither is owned; both must outlive the host.
    PlayerRulesHost(PlayerAccess& player, PlaylistMenus& playlists)
        : fPlayer(player), fPlaylists(playlists) {}

    std::shared_ptr<PlayerPlaylist> playlistWithPersistentId(SInt64 persistentId) override;
    std::shared_ptr<PlayerTrack> trackInPlaylist(const PlayerPlaylist& playlist,
                                                 SInt64 trackPersistentId) override;
    std::optional<std::string> pathOfTrack(const PlayerTrack& track) override;
    SInt16 addTrackPath(const std::string& path, const PlayerPlaylist& playlist) override;
    void removeTrack(const PlayerTrack& track, const PlayerPlaylist& playlist) override;
    void activatePlayer() override;
    void runGetInfoScript() override;

    std::vector<UserPlaylist> userPlaylists() override;
    // The accessibility check has no counterpart on this desktop: it answers yes.
    bool accessibilityEnabled() override { return true; }
    void openAccessibilitySettings() override;

private:
    PlayerAccess& fPlayer;
    PlaylistMenus& fPlaylists;
};
