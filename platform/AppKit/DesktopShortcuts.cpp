#include "platform/AppKit/DesktopShortcuts.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>

#include "platform/AppKit/KeyCodes.h"

namespace {

struct ModifierBit {
    uint32_t carbon;
    uint16_t x11;
};

constexpr ModifierBit kX11Modifiers[] = {
    {kCarbonShiftKey, XCB_MOD_MASK_SHIFT},
    {kCarbonCommandKey, XCB_MOD_MASK_CONTROL},
    {kCarbonOptionKey, XCB_MOD_MASK_1},
    {kCarbonControlKey, XCB_MOD_MASK_4},
};

constexpr uint8_t kBadAccess = 10;

// Where there is no display, nothing is bound and nothing can be probed.
class NoDesktopShortcuts : public DesktopShortcuts {
public:
    std::optional<std::vector<SymbolicHotKey>> symbolicHotKeys() override {
        return std::vector<SymbolicHotKey>{};
    }
    bool isCombinationHeld(int, uint32_t) override { return false; }
};

DesktopShortcuts* gInstalled = nullptr;

}  // namespace

uint16_t x11ModifiersFromCarbon(uint32_t carbonModifiers) {
    uint16_t mask = 0;
    for (const ModifierBit& bit : kX11Modifiers)
        if (carbonModifiers & bit.carbon) mask |= bit.x11;
    return mask;
}

DesktopShortcuts& DesktopShortcuts::current() {
    if (gInstalled) return *gInstalled;
    static std::unique_ptr<DesktopShortcuts> own = []() -> std::unique_ptr<DesktopShortcuts> {
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            return std::make_unique<X11DesktopShortcuts>();
        return std::make_unique<NoDesktopShortcuts>();
    }();
    return *own;
}

void DesktopShortcuts::setCurrent(DesktopShortcuts* provider) {
    gInstalled = provider;
}

X11DesktopShortcuts::X11DesktopShortcuts(std::string displayName) : mDisplayName(std::move(displayName)) {}

X11DesktopShortcuts::~X11DesktopShortcuts() {
    if (mConnection) xcb_disconnect(mConnection);
}

bool X11DesktopShortcuts::connect() {
    if (mTried) return mConnection != nullptr;
    mTried = true;
    if (mDisplayName.empty() && !std::getenv("DISPLAY")) return false;
    xcb_connection_t* connection =
        xcb_connect(mDisplayName.empty() ? nullptr : mDisplayName.c_str(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    mConnection = connection;
    return true;
}

std::optional<std::vector<SymbolicHotKey>> X11DesktopShortcuts::symbolicHotKeys() {
    // Never unreadable: an unreadable list would refuse every combination.
    return std::vector<SymbolicHotKey>{};
}

bool X11DesktopShortcuts::isCombinationHeld(int keyCode, uint32_t carbonModifiers) {
    const std::optional<uint32_t> evdev = evdevCodeForKeyCode(keyCode);
    if (!evdev || !connect()) return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(mConnection)).data;
    if (!screen) return false;
    const auto keycode = static_cast<xcb_keycode_t>(*evdev + 8);
    const uint16_t modifiers = x11ModifiersFromCarbon(carbonModifiers);
    xcb_generic_error_t* error =
        xcb_request_check(mConnection, xcb_grab_key_checked(mConnection, 1, screen->root, modifiers, keycode,
                                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    if (error) {
        const bool held = error->error_code == kBadAccess;
        std::free(error);
        return held;
    }
    // Ours now, so give it back, and answer only once the server has it back: the caller may ask
    // for the same combination from another connection at once.
    std::free(xcb_request_check(mConnection,
                                xcb_ungrab_key_checked(mConnection, keycode, screen->root, modifiers)));
    return false;
}
