// The controller's environment in the running program: the liveness probe over Apple events,
// the modifier keys and the activation from the application layer, the click sounds on the audio
// layer, the Application Support folder; the player's launch, its broadcast, the workspace's
// notices and the active application on the session bus. Main thread only.
#pragma once

#include "Source/ControllerEnvironment.h"
#include "platform/Foundation/DistributedNotificationCenter.h"

class SystemControllerEnvironment : public ControllerEnvironment {
public:
    SystemControllerEnvironment() = default;
    ~SystemControllerEnvironment() override;
    SystemControllerEnvironment(const SystemControllerEnvironment&) = delete;
    SystemControllerEnvironment& operator=(const SystemControllerEnvironment&) = delete;

    bool launchPlayerWithPlayEvent() override;
    bool launchPlayer() override;
    void terminateApplication() override;
    bool probePlayer(pid_t processIdentifier, UInt32 ticks) override;
    void observePlayerInfo(std::function<void(const NSNotification&)> observer) override;
    void stopObservingPlayerInfo() override;
    void observeWorkspace(std::function<void(const NSRunningApplication&)> launched,
                          std::function<void(const NSRunningApplication&)> terminated) override;
    void stopObservingWorkspace() override;
    std::optional<NSRunningApplication> activeApplication() override;
    std::optional<XWindowID> activeWindow() override { return ActiveWindowID(); }
    bool windowExists(XWindowID window) override { return WindowExists(window); }
    bool activateWindow(XWindowID window) override { return ActivateWindow(window); }
    SInt64 currentDate() override;
    UInt32 currentModifierFlags() override;
    void checkVersion(bool userAsked) override;
    std::shared_ptr<UKSound> makeUKSound(const std::string& path) override;
    std::shared_ptr<NSSound> makeNSSound(const std::string& path) override;
    std::optional<std::string> applicationSupportDirectory() override;

private:
    std::optional<NSDistributedNotificationCenter::ObserverToken> fPlayerInfoToken;
    bool fWorkspaceObserved{false};
};
