// What the controller needs of the system around it beyond the player's object model: launching
// the player, the liveness probe's send, the player's broadcast and the workspace's launch and
// quit notices, the active application and window, the clock of the update check, the modifier
// keys, the version check, the click sounds and the Application Support folder. The program's
// environment stands on the bus, X and the audio layer; tests give one of their own. Main thread
// only.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Carbon/MacTypes.h"
#include "platform/Foundation/ActiveWindow.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/RunningApplication.h"

class NSSound;
class UKSound;

class ControllerEnvironment {
public:
    virtual ~ControllerEnvironment() = default;

    // Launches the player ("com.apple.iTunes") without activating it, with its play event.
    // true when the launch was started.
    virtual bool launchPlayerWithPlayEvent() = 0;
    // Launches the player without waiting for it and without a launch event.
    virtual bool launchPlayer() = 0;
    // Sends the player's process the probe event (get its position), waiting at most `ticks`
    // (1/60 s) for the reply. true exactly when the send returned no error.
    virtual bool probePlayer(pid_t processIdentifier, UInt32 ticks) = 0;

    // The player's "com.apple.iTunes.playerInfo" broadcast.
    virtual void observePlayerInfo(std::function<void(const NSNotification&)> observer) = 0;
    virtual void stopObservingPlayerInfo() = 0;
    // The workspace's launch and quit notices of any application.
    virtual void observeWorkspace(std::function<void(const NSRunningApplication&)> launched,
                                  std::function<void(const NSRunningApplication&)> terminated) = 0;
    virtual void stopObservingWorkspace() = 0;

    virtual std::optional<NSRunningApplication> activeApplication() = 0;
    // The active window, whatever program owns it (it may be one of this program's).
    virtual std::optional<XWindowID> activeWindow() = 0;
    // The window is still there.
    virtual bool windowExists(XWindowID window) = 0;
    // Brings the window forward, whatever program owns it; false when that could not be asked.
    virtual bool activateWindow(XWindowID window) = 0;
    // Whole seconds since 1 January 2001.
    virtual SInt64 currentDate() = 0;
    virtual UInt32 currentModifierFlags() = 0;
    // The version check on the network worker, asked for from the menu or weekly; only the
    // asked check tells of a failure.
    virtual void checkVersion(bool userAsked) = 0;

    // The sound of the file at path, or null when there is none to play.
    virtual std::shared_ptr<UKSound> makeUKSound(const std::string& path) = 0;
    virtual std::shared_ptr<NSSound> makeNSSound(const std::string& path) = 0;

    virtual std::optional<std::string> applicationSupportDirectory() = 0;
    // Ends the event loop, so the program quits as after its last window closed.
    virtual void terminateApplication() = 0;
};
