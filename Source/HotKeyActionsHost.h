// What the hot-key actions ask of the application around them: the window that is active,
// coming forward, and the main window. Main thread only.
#pragma once

#include <optional>

#include "platform/Foundation/ActiveWindow.h"

class HotKeyActionsHost {
public:
    virtual ~HotKeyActionsHost() = default;

    // The active window, whatever program owns it (it may be one of this program's).
    virtual std::optional<XWindowID> activeWindow() = 0;
    // This program becomes the active application, whatever else is active.
    virtual void activateIgnoringOtherApps() = 0;
    // The main window, key, with the tap area taking the keys.
    virtual void showMainWindow() = 0;
};
