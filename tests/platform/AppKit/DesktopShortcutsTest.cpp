#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

#include "platform/AppKit/DesktopShortcuts.h"
#include "platform/AppKit/KeyCodes.h"

namespace {

// A private X server for the test; its display name comes back once it accepts clients.
class PrivateXServer {
public:
    PrivateXServer() {
        if (access("/usr/bin/Xvfb", X_OK) != 0) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        mPid = fork();
        if (mPid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                  "320x240x24", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!number.empty()) mDisplay = ":" + number;
    }
    ~PrivateXServer() {
        if (mPid > 0) {
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
        }
    }
    const std::string& display() const { return mDisplay; }

private:
    pid_t mPid{-1};
    std::string mDisplay;
};

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
