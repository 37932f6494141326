// Global hot keys: key combinations that reach this application while any application is in
// front. On X11 each is a passive grab of the key on the root window, taken for every state of
// Caps Lock and Num Lock, so the locks never stop a hot key. A combination another client holds
// cannot be grabbed: its registration fails without a word. Presses arrive on the main thread,
// once per press however long the key is held. Without an X display (another platform, or none
// at all) registrations succeed and nothing is ever pressed. Main thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/Carbon/MacTypes.h"

struct EventHotKeyID {
    OSType signature{0};
    UInt32 id{0};
    bool operator==(const EventHotKeyID&) const = default;
};

using EventHotKeyRef = struct OpaqueEventHotKeyRef*;

inline constexpr OSStatus eventHotKeyExistsErr = -9878;
inline constexpr OSStatus eventHotKeyInvalidErr = -9879;

// `keyCode` is a virtual key code, `carbonModifiers` a Carbon modifier mask.
OSStatus RegisterEventHotKey(UInt32 keyCode, UInt32 carbonModifiers, EventHotKeyID id,
                             EventHotKeyRef* outRef);
OSStatus UnregisterEventHotKey(EventHotKeyRef ref);

// The one handler of presses for the process; an empty one drops them.
void InstallHotKeyHandler(std::function<void(EventHotKeyID)> handler);

// Whether hot keys reach this process at all (an X display is there).
bool GlobalHotKeysAvailable();
