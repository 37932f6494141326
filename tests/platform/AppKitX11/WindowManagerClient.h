// Another client of the X server reading and closing the application's windows as a window
// manager does, and showing a plain window of its own as any other program would. Kept apart from the
// toolkit's headers: Xlib's names collide with them.
#pragma once

#include <optional>
#include <string>

struct _XDisplay;

class WindowManagerClient {
public:
    WindowManagerClient(const WindowManagerClient&) = delete;
    WindowManagerClient& operator=(const WindowManagerClient&) = delete;

    explicit WindowManagerClient(const std::string& display);
    ~WindowManagerClient();
    bool ready() const { return mDisplay != nullptr; }

    // The window's WM_TRANSIENT_FOR, when it has one.
    std::optional<unsigned long> transientFor(unsigned long window);
    // Its first _NET_WM_WINDOW_TYPE is the dialog type.
    bool isDialog(unsigned long window);
    // Override-redirect windows are never managed, so they get no frame.
    bool isOverrideRedirect(unsigned long window);
    bool isViewable(unsigned long window);
    // A window manager has put the window into a frame of its own.
    bool isFramed(unsigned long window);
    // The window's top-left corner on the screen.
    std::pair<int, int> position(unsigned long window);
    // WM_DELETE_WINDOW, as for Alt+F4 or a click on the frame's close button.
    void close(unsigned long window);

    // A plain top-level window of this client, mapped.
    unsigned long createWindow();
    void destroyWindow(unsigned long window);
    // The root window's _NET_ACTIVE_WINDOW, as the window manager keeps it.
    std::optional<unsigned long> activeWindow();

private:
    _XDisplay* mDisplay;
};
