#include "platform/Foundation/ActiveWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>
#include <mutex>

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

struct PropertyFree {
    void operator()(unsigned char* data) const { XFree(data); }
};

// The first 32-bit item of a window's property of the given type, or nullopt.
std::optional<unsigned long> cardinalProperty(Display* display, Window window, const char* name, Atom type) {
    const Atom property = XInternAtom(display, name, True);
    if (property == None) return std::nullopt;
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType, &actualFormat, &count,
                           &remaining, &raw) != Success)
        return std::nullopt;
    const std::unique_ptr<unsigned char, PropertyFree> data(raw);
    if (!data || actualType != type || actualFormat != 32 || count < 1) return std::nullopt;
    // Xlib hands 32-bit items over as longs.
    return *reinterpret_cast<const unsigned long*>(data.get());
}

int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

// Xlib's default error handler ends the process, and a window may go away while it is asked
// about: errors are ignored for the time of a question.
class IgnoredXErrors {
public:
    IgnoredXErrors() : fLock(sMutex), fPrevious(XSetErrorHandler(ignoreError)) {}
    ~IgnoredXErrors() { XSetErrorHandler(fPrevious); }
    IgnoredXErrors(const IgnoredXErrors&) = delete;
    IgnoredXErrors& operator=(const IgnoredXErrors&) = delete;

private:
    static inline std::mutex sMutex;
    std::lock_guard<std::mutex> fLock;
    XErrorHandler fPrevious;
};

// A connection to $DISPLAY, or null.
std::unique_ptr<Display, DisplayCloser> openDisplay() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    return std::unique_ptr<Display, DisplayCloser>(XOpenDisplay(name));
}

std::optional<Window> activeWindowOn(Display* display) {
    const std::optional<unsigned long> window =
        cardinalProperty(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    if (!window || *window == None) return std::nullopt;
    return static_cast<Window>(*window);
}

bool existsOn(Display* display, Window window) {
    XWindowAttributes attributes;
    return window != None && XGetWindowAttributes(display, window, &attributes) != 0;
}

}  // namespace

std::optional<pid_t> ActiveWindowProcess() {
    const IgnoredXErrors ignored;  // outlives the display, whose closing may report errors too
    const auto display = openDisplay();
    if (!display) return std::nullopt;
    const std::optional<Window> window = activeWindowOn(display.get());
    if (!window) return std::nullopt;
    const std::optional<unsigned long> pid =
        cardinalProperty(display.get(), *window, "_NET_WM_PID", XA_CARDINAL);
    if (!pid || *pid == 0) return std::nullopt;
    return static_cast<pid_t>(*pid);
}

std::optional<XWindowID> ActiveWindowID() {
    const IgnoredXErrors ignored;
    const auto display = openDisplay();
    if (!display) return std::nullopt;
    return activeWindowOn(display.get());
}

bool WindowExists(XWindowID window) {
    const IgnoredXErrors ignored;
    const auto display = openDisplay();
    return display && existsOn(display.get(), static_cast<Window>(window));
}

bool ActivateWindow(XWindowID window) {
    const IgnoredXErrors ignored;
    const auto display = openDisplay();
    if (!display || !existsOn(display.get(), static_cast<Window>(window))) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(window);
    event.xclient.message_type = XInternAtom(display.get(), "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    // Source 2, a pager: the user asked for this window, so no focus-stealing rule holds it back.
    event.xclient.data.l[0] = 2;
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display.get(), DefaultRootWindow(display.get()), False,
                                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    // The request must reach the server before the connection closes.
    XSync(display.get(), False);
    return sent != 0;
}
