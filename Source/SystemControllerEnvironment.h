// The controller's environment in the running program: the liveness probe over Apple events,
// the modifier keys and the activation from the application layer, the click sounds on the audio
// layer, the Application Support folder. The player's launch, its broadcast and the workspace's
// notices need the session bus; until it is wired in they report nothing and a launch fails.
#pragma once

#include "Source/ControllerEnvironment.h"

class SystemControllerEnvironment : public ControllerEnvironment {
public:
    bool launchPlayerWithPlayEvent() override;
    bool probePlayer(pid_t processIdentifier, UInt32 ticks) override;
    void observePlayerInfo(std::function<void(const NSNotification&)> observer) override;
    void stopObservingPlayerInfo() override;
    void observeWorkspace(std::function<void(const NSRunningApplication&)> launched,
                          std::function<void(const NSRunningApplication&)> terminated) override;
    std::optional<NSRunningApplication> activeApplication() override;
    SInt64 currentDate() override;
    UInt32 currentModifierFlags() override;
    void checkVersion() override;
    std::shared_ptr<UKSound> makeUKSound(const std::string& path) override;
    std::shared_ptr<NSSound> makeNSSound(const std::string& path) override;
    std::optional<std::string> applicationSupportDirectory() override;

private:
    std::function<void(const NSNotification&)> mPlayerInfoObserver;
};
