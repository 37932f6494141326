#include "Source/VersionCheck.h"

#include "Source/ControllerEnvironment.h"
#include "Source/NewVersionAlert.h"
#include "platform/AppKit/Event.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"

VersionCheck::VersionCheck(Services services) : fServices(std::move(services)) {}

VersionCheck::~VersionCheck() = default;

void VersionCheck::checkWeekly() {
    if (!fServices.defaults.boolForKey("CheckForUpdates")) return;
    ControllerEnvironment& environment = fServices.environment;
    PreferencesStore& preferences = fServices.preferences;
    const SInt64 now = environment.currentDate();
    SInt64 last = 0;
    if (auto stored = preferences.copyValue("LastUpdateCheck", kCFPreferencesCurrentApplication))
        last = stored->integer().value_or(0);
    if (last != 0 && now < last + kUpdateCheckInterval) return;
    if (environment.currentModifierFlags() & NSAlternateKeyMask) return;
    preferences.setValue("LastUpdateCheck", PropertyList(static_cast<SInt32>(now)),
                         kCFPreferencesCurrentApplication);
    preferences.synchronize(kCFPreferencesCurrentApplication);
    // A check that cannot start is tried again next week; the launch goes on.
    try {
        environment.checkVersion(false);
    } catch (...) {
    }
}

void VersionCheck::checkAsked() {
    fServices.environment.checkVersion(true);
}

void VersionCheck::answered(const NSNotification& notification) {
    const std::optional<bool> major = NewVersionAlert::majorUpdateIn(notification);
    if (!major) return;
    if (!fNewVersionAlert)
        fNewVersionAlert = std::make_unique<NewVersionAlert>(
            NewVersionAlert::Services{fServices.defaults, fServices.sheetWindow, fServices.linkHomepage});
    fNewVersionAlert->newVersionAvailable(*major);
}
