// What the hot-key actions ask of the application around them: the application that is active,
// coming forward, and the main window. Main thread only.
#pragma once

#include <optional>

#include "platform/Foundation/RunningApplication.h"

class HotKeyActionsHost {
public:
    virtual ~HotKeyActionsHost() = default;

    // The active application, as the workspace tells it (it may be this program).
    virtual std::optional<NSRunningApplication> activeApplication() = 0;
    // This program becomes the active application, whatever else is active.
    virtual void activateIgnoringOtherApps() = 0;
    // The main window, key, with the tap area taking the keys.
    virtual void showMainWindow() = 0;
};
