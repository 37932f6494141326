#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

#include "platform/AppKit/DesktopShortcuts.h"
#include "platform/AppKit/KeyCodes.h"
#include "tests/platform/AppKit/PrivateXServer.h"

namespace {

// Another client of the server, holding one passive grab as a desktop's key daemon does.
struct GrabbingClient {
    GrabbingClient(const std::string& display, int keyCode, uint16_t modifiers) {
        connection = xcb_connect(display.c_str(), nullptr);
        root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const auto keycode = static_cast<xcb_keycode_t>(*evdevCodeForKeyCode(keyCode) + 8);
        xcb_generic_error_t* error =
            xcb_request_check(connection, xcb_grab_key_checked(connection, 1, root, modifiers, keycode,
                                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        grabbed = !error;
        std::free(error);
    }
    ~GrabbingClient() { xcb_disconnect(connection); }
    xcb_connection_t* connection;
    xcb_window_t root;
    bool grabbed{false};
};

}  // namespace

TEST(DesktopShortcuts, CarbonMasksBecomeXModifiersCommandIsControlControlIsSuper) {
    EXPECT_EQ(x11ModifiersFromCarbon(kCarbonCommandKey), XCB_MOD_MASK_CONTROL);
    EXPECT_EQ(x11ModifiersFromCarbon(kCarbonControlKey), XCB_MOD_MASK_4);
    EXPECT_EQ(x11ModifiersFromCarbon(kCarbonOptionKey | kCarbonShiftKey),
              XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT);
    EXPECT_EQ(x11ModifiersFromCarbon(kCarbonFunctionKey), 0);
}

TEST(DesktopShortcuts, WithoutADisplayNothingIsHeldAndTheListIsReadable) {
    X11DesktopShortcuts desktop(":65000");  // a display no server answers
    EXPECT_FALSE(desktop.isCombinationHeld(kKeyCodeF1, kCarbonCommandKey));
    ASSERT_TRUE(desktop.symbolicHotKeys());
    EXPECT_TRUE(desktop.symbolicHotKeys()->empty());
}

TEST(DesktopShortcuts, TheProbeFindsAnotherClientsGrabAndLeavesItInPlace) {
    PrivateXServer server;
    if (server.display().empty()) GTEST_SKIP() << "no X server to start";
    GrabbingClient desktopDaemon(server.display(), kKeyCodeF1, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT);
    ASSERT_TRUE(desktopDaemon.grabbed);

    X11DesktopShortcuts desktop(server.display());
    EXPECT_TRUE(desktop.isCombinationHeld(kKeyCodeF1, kCarbonCommandKey | kCarbonShiftKey));
    EXPECT_FALSE(desktop.isCombinationHeld(kKeyCodeF1, kCarbonCommandKey));
    EXPECT_FALSE(desktop.isCombinationHeld(kKeyCodeF1, kCarbonControlKey | kCarbonShiftKey));
    EXPECT_FALSE(desktop.isCombinationHeld(kNoKeyCode, kCarbonCommandKey));
    // A free combination is released after its probe: a third client can take it.
    GrabbingClient other(server.display(), kKeyCodeF1, XCB_MOD_MASK_CONTROL);
    EXPECT_TRUE(other.grabbed);
    EXPECT_TRUE(desktop.isCombinationHeld(kKeyCodeF1, kCarbonCommandKey));
    // And the daemon's grab is still its own.
    EXPECT_TRUE(desktop.isCombinationHeld(kKeyCodeF1, kCarbonCommandKey | kCarbonShiftKey));
}

TEST(DesktopShortcuts, AFreeCombinationCanBeTakenTheMomentTheProbeAnswers) {
    PrivateXServer server;
    if (server.display().empty()) GTEST_SKIP() << "no X server to start";
    X11DesktopShortcuts desktop(server.display());
    xcb_connection_t* other = xcb_connect(server.display().c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    const auto keycode = static_cast<xcb_keycode_t>(*evdevCodeForKeyCode(kKeyCodeF1) + 8);
    int refused = 0;
    for (int i = 0; i < 500; ++i) {
        ASSERT_FALSE(desktop.isCombinationHeld(kKeyCodeF1, kCarbonCommandKey));
        xcb_generic_error_t* error =
            xcb_request_check(other, xcb_grab_key_checked(other, 1, root, XCB_MOD_MASK_CONTROL, keycode,
                                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (error) ++refused;
        std::free(error);
        std::free(
            xcb_request_check(other, xcb_ungrab_key_checked(other, keycode, root, XCB_MOD_MASK_CONTROL)));
    }
    xcb_disconnect(other);
    EXPECT_EQ(refused, 0) << "grabs refused right after the probe said the combination is free";
}
