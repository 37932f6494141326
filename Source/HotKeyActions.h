// What the global hot keys do. Hot key 1 remembers the window that was active, so that an Assign
// can return to it whatever program owns it, and brings the main window forward over any application; hot key
// 2 does nothing. Main thread only.
#pragma once

#include <optional>

#include "platform/Foundation/ActiveWindow.h"

class HotKeyActionsHost;

class HotKeyActions {
public:
    HotKeyActions(const HotKeyActions&) = delete;
    HotKeyActions& operator=(const HotKeyActions&) = delete;

    // The host is not owned and must outlive the actions.
    explicit HotKeyActions(HotKeyActionsHost& host) : fHost(host) {}

    void hotKey1Action();
    void hotKey2Action() {}

    // The window hot key 1 found active; kept until the next Assign or the next press.
    std::optional<XWindowID> previousWindow() const { return fPreviousWindow; }
    void forgetPreviousWindow() { fPreviousWindow.reset(); }

private:
    HotKeyActionsHost& fHost;
    std::optional<XWindowID> fPreviousWindow;
};
