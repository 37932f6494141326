// The version check's one entrance: the weekly check at launch and the check the menu asks for
// both go through the environment, and a newer version that either finds is announced. Main
// thread only.
#pragma once

#include <functional>
#include <memory>

#include "platform/Carbon/MacTypes.h"

class ControllerEnvironment;
class NSUserDefaults;
class NewVersionAlert;
class PreferencesStore;
class Window;
struct NSNotification;

class VersionCheck {
public:
    VersionCheck(const VersionCheck&) = delete;
    VersionCheck& operator=(const VersionCheck&) = delete;

    // Seconds between weekly checks.
    static constexpr SInt64 kUpdateCheckInterval = 604800;

    // None is owned; all must outlive the check.
    struct Services {
        ControllerEnvironment& environment;
        NSUserDefaults& defaults;              // "CheckForUpdates"
        PreferencesStore& preferences;         // "LastUpdateCheck"
        std::function<Window*()> sheetWindow;  // the main window while it is visible
        std::function<void()> linkHomepage;
    };
    explicit VersionCheck(Services services);
    ~VersionCheck();

    // At launch: a check when "CheckForUpdates" is on, a week has passed since the stored
    // "LastUpdateCheck" and Option is not held; its date is stored first.
    void checkWeekly();
    // The menu's check, which tells the user of a failure too.
    void checkAsked();
    // The worker's "DoUIUpdate": a newer version is announced; any other record is ignored.
    void answered(const NSNotification& notification);

private:
    Services fServices;
    std::unique_ptr<NewVersionAlert> fNewVersionAlert;
};
