#include "tests/platform/AppKitX11/WindowManagerClient.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

WindowManagerClient::WindowManagerClient(const std::string& display)
    : mDisplay(XOpenDisplay(display.c_str())) {}

WindowManagerClient::~WindowManagerClient() {
    if (mDisplay) XCloseDisplay(mDisplay);
}

std::optional<unsigned long> WindowManagerClient::transientFor(unsigned long window) {
    ::Window owner = 0;
    if (!XGetTransientForHint(mDisplay, window, &owner)) return std::nullopt;
    return owner;
}

bool WindowManagerClient::isDialog(unsigned long window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(mDisplay, window, XInternAtom(mDisplay, "_NET_WM_WINDOW_TYPE", False), 0, 16,
                           False, XA_ATOM, &type, &format, &count, &after, &data) != Success)
        return false;
    const bool dialog =
        data && count > 0 &&
        reinterpret_cast<Atom*>(data)[0] == XInternAtom(mDisplay, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    if (data) XFree(data);
    return dialog;
}

bool WindowManagerClient::isOverrideRedirect(unsigned long window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(mDisplay, window, &attributes) && attributes.override_redirect;
}

bool WindowManagerClient::isViewable(unsigned long window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(mDisplay, window, &attributes) && attributes.map_state == IsViewable;
}

bool WindowManagerClient::isFramed(unsigned long window) {
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(mDisplay, window, &root, &parent, &children, &count)) return false;
    if (children) XFree(children);
    return parent != root;
}

std::pair<int, int> WindowManagerClient::position(unsigned long window) {
    int x = 0, y = 0;
    ::Window child = 0;
    XTranslateCoordinates(mDisplay, window, DefaultRootWindow(mDisplay), 0, 0, &x, &y, &child);
    return {x, y};
}

void WindowManagerClient::close(unsigned long window) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(mDisplay, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(mDisplay, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(mDisplay, window, False, NoEventMask, &e);
    XSync(mDisplay, False);
}

unsigned long WindowManagerClient::createWindow() {
    const ::Window window =
        XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), 300, 200, 160, 90, 0, 0, 0xffffff);
    XStoreName(mDisplay, window, "another program");
    XMapWindow(mDisplay, window);
    XSync(mDisplay, False);
    return window;
}

void WindowManagerClient::destroyWindow(unsigned long window) {
    XDestroyWindow(mDisplay, window);
    XSync(mDisplay, False);
}

std::optional<unsigned long> WindowManagerClient::activeWindow() {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(mDisplay, DefaultRootWindow(mDisplay),
                           XInternAtom(mDisplay, "_NET_ACTIVE_WINDOW", False), 0, 1, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) != Success)
        return std::nullopt;
    std::optional<unsigned long> active;
    if (data && type == XA_WINDOW && format == 32 && count == 1 &&
        reinterpret_cast<unsigned long*>(data)[0] != None)
        active = reinterpret_cast<unsigned long*>(data)[0];
    if (data) XFree(data);
    return active;
}
