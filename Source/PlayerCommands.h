// The transport, seek, rating and volume commands of the window, the menus and their shortcuts,
// sent to the player without waiting for replies. Next and Next-plus-skip can jump over tracks
// whose tempo is already done (skip mode), so a playlist can be tagged one missing tempo at a
// time. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "platform/Carbon/MacTypes.h"

class PlayerAccess;
class PlayerCommandsHost;
class PlayerStatus;

class PlayerCommands {
public:
    PlayerCommands(const PlayerCommands&) = delete;
    PlayerCommands& operator=(const PlayerCommands&) = delete;

    // None is owned; all must outlive the commands.
    PlayerCommands(PlayerCommandsHost& host, PlayerAccess& player, PlayerStatus& model);

    // How a command was sent: by a control, menu item or shortcut (skip mode follows the Option
    // key), or by the program itself after an Assign (skip mode follows "SkipIfHasBPM").
    enum class Sender { Control, None };

    void previousTrack();
    void pausePlayTrack();
    // The held transport buttons: fast-forward or rewind while held, resume on release.
    void fastForward();
    void rewind();
    void resume();
    void nextTrack(Sender sender);
    void nextPlusSkipForward(Sender sender);
    void skipForward();
    void skipBack();

    void ratingUp();
    void ratingDown();

    void volumeUp();
    void volumeDown();
    // The slider's value to the model and the player.
    void volumeChanged();

    void switchToiTunes();

    // The seek step in seconds: "AdvanceSeconds" read as a leading integer (after blanks, with a
    // sign); 1 to 300 as it is, anything else 10.
    static SInt32 advanceSecondsFrom(const std::optional<std::string>& text);
    SInt32 advanceSeconds() const;

private:
    bool skipModeFor(Sender sender) const;
    void next(Sender sender, bool seek);
    void applyRating(SInt32 rating);
    void setVolume(SInt32 value);

    PlayerCommandsHost& mHost;
    PlayerAccess& mPlayer;
    PlayerStatus& mModel;
};
