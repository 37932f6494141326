// What the global hot keys do. Hot key 1 remembers the application that was active, so that an
// Assign can return to it, and brings the main window forward over any application; hot key 2
// does nothing. Main thread only.
#pragma once

#include <optional>

#include "platform/Foundation/RunningApplication.h"

class HotKeyActionsHost;

class HotKeyActions {
public:
    HotKeyActions(const HotKeyActions&) = delete;
    HotKeyActions& operator=(const HotKeyActions&) = delete;

    // The host is not owned and must outlive the actions.
    explicit HotKeyActions(HotKeyActionsHost& host) : fHost(host) {}

    void hotKey1Action();
    void hotKey2Action() {}

    // The application hot key 1 found active; kept until the next Assign or the next press.
    const std::optional<NSRunningApplication>& runningApplication() const { return fRunningApplication; }
    void forgetRunningApplication() { fRunningApplication.reset(); }

private:
    HotKeyActionsHost& fHost;
    std::optional<NSRunningApplication> fRunningApplication;
};
