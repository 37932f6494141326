// The desktop's own key bindings, which an application's shortcut must not take: a list of
// the bindings the provider knows, and a probe for one combination. On X11 the probe asks for a
// passive grab on the root window from a connection of its own: another client's grab, this
// process's global hot keys included, refuses it. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct xcb_connection_t;

struct SymbolicHotKey {
    int keyCode{-1};              // virtual key code
    uint32_t carbonModifiers{0};  // Carbon mask
    bool enabled{true};
};

class DesktopShortcuts {
public:
    virtual ~DesktopShortcuts() = default;

    // The bindings the desktop lists; nullopt when they cannot be read.
    virtual std::optional<std::vector<SymbolicHotKey>> symbolicHotKeys() = 0;
    // Whether another client holds the combination (Carbon mask).
    virtual bool isCombinationHeld(int keyCode, uint32_t carbonModifiers) = 0;

    // The provider in use: made on first use for this desktop unless one was installed.
    static DesktopShortcuts& current();
    // Installs a provider (not owned; nullptr restores the desktop's own).
    static void setCurrent(DesktopShortcuts* provider);
};

// The desktop seen through the X server: it lists no bindings of its own (X keeps no list of
// them) and probes each combination with a passive grab. Without a display it holds nothing.
class X11DesktopShortcuts : public DesktopShortcuts {
public:
    // The display name as XOpenDisplay takes it; empty means $DISPLAY.
    explicit X11DesktopShortcuts(std::string displayName = {});
    ~X11DesktopShortcuts() override;
    X11DesktopShortcuts(const X11DesktopShortcuts&) = delete;
    X11DesktopShortcuts& operator=(const X11DesktopShortcuts&) = delete;

    std::optional<std::vector<SymbolicHotKey>> symbolicHotKeys() override;
    bool isCombinationHeld(int keyCode, uint32_t carbonModifiers) override;

private:
    bool connect();
    std::string mDisplayName;
    xcb_connection_t* mConnection{nullptr};
    bool mTried{false};
};

// The X modifier mask of a Carbon mask: Command is Control, Control is Mod4 (Super), Option is
// Mod1 (Alt).
uint16_t x11ModifiersFromCarbon(uint32_t carbonModifiers);
