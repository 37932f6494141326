// The two global hot keys: their key codes and modifiers (Cocoa masks, as the key recorder
// stores them) kept under "HotKey1" and "HotKey2" in the user defaults, registered with the
// desktop, and a listener for each that runs when its key is pressed. One exists for the life of
// the application. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/AppKit/GlobalHotKeys.h"

class NSUserDefaults;

class HotKeyController {
public:
    HotKeyController(const HotKeyController&) = delete;
    HotKeyController& operator=(const HotKeyController&) = delete;

    using Listener = std::function<void()>;
    using Log = std::function<void(const std::string&)>;
    // No hot key.
    static constexpr uint32_t kNoKeyCode = 0xFFFFFFFF;

    // Installs the press handler, then loads and registers the stored hot keys.
    explicit HotKeyController(NSUserDefaults& defaults, Log log = {});
    ~HotKeyController();

    // `target` names the listener's owner (null is refused, as an empty action is).
    void setHotKey1Listener(const void* target, Listener action);
    void setHotKey2Listener(const void* target, Listener action);

    // Changes hot key 1; the same combination again changes nothing.
    void updateHotKey(const std::string& displayString, uint32_t keyCode, uint32_t modifiers);

    void loadHotKeysFromPrefs();
    void saveHotKeysToPrefs();
    // The bundle's factory values, registered but not saved.
    void restoreHotKeysFromDefaults();
    void registerHotKeys();
    void unregisterHotKeys();

    std::string currentKey1String() const;
    std::string currentKey2String() const;

    uint32_t keyCode1() const { return fKeyCode1; }
    uint32_t modifiers1() const { return fModifiers1; }
    uint32_t keyCode2() const { return fKeyCode2; }
    uint32_t modifiers2() const { return fModifiers2; }
    bool hotKey1Registered() const { return fHotKeyRef1 != nullptr; }
    bool hotKey2Registered() const { return fHotKeyRef2 != nullptr; }

    // What the desktop's press handler runs (also for tests that press without a display).
    void handleHotKey(EventHotKeyID id);

    static constexpr EventHotKeyID kHotKey1ID{0x5A526831 /* 'ZRh1' */, 1};
    static constexpr EventHotKeyID kHotKey2ID{0x5A526832 /* 'ZRh2' */, 2};

private:
    void setListener(int number, const void* target, Listener action);
    void log(const std::string& message) const;

    NSUserDefaults& mDefaults;
    Log mLog;
    uint32_t fKeyCode1{kNoKeyCode}, fModifiers1{0};
    EventHotKeyRef fHotKeyRef1{nullptr};
    uint32_t fKeyCode2{kNoKeyCode}, fModifiers2{0};
    EventHotKeyRef fHotKeyRef2{nullptr};
    Listener mListener1, mListener2;
};
