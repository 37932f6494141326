// The announcement of a newer version than the running one, opened from the version check's
// result whether the user asked for the check or it came weekly: a sheet on the main window when
// that is visible, else a modal alert, with the "Alerts" texts of a major update or an update.
// "Get It" opens the home page; the box "Stop checking for updates" turns the weekly check off.
// One alert at a time: a second result while one is open adds nothing. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/AppKit/Alert.h"

class NSUserDefaults;
struct NSNotification;

class NewVersionAlert {
public:
    NewVersionAlert(const NewVersionAlert&) = delete;
    NewVersionAlert& operator=(const NewVersionAlert&) = delete;

    struct Services {
        NSUserDefaults& defaults;              // "CheckForUpdates"
        std::function<Window*()> sheetWindow;  // the main window while it is visible
        std::function<void()> linkHomepage;
    };
    explicit NewVersionAlert(Services services);

    // The version check's "DoUIUpdate": whether its record announces a major update (true) or
    // an update (false); nothing for any other record.
    static std::optional<bool> majorUpdateIn(const NSNotification& notification);

    void newVersionAvailable(bool forMajorUpdate);
    void newVersionAlertDidEnd(NSModalResponse returnCode, bool stopChecking);
    bool isOpen() const { return fOpen; }

private:
    Services fServices;
    bool fOpen{false};
    // An alert that ends after its announcer is gone changes nothing.
    std::shared_ptr<int> fAlive = std::make_shared<int>(0);
};
