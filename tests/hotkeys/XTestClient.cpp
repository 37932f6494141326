#include "XTestClient.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

struct XTestClient::Connection {
    Display* display{XOpenDisplay(nullptr)};
    ~Connection() {
        if (display) XCloseDisplay(display);
    }
    KeyCode code(const std::string& name) const {
        return XKeysymToKeycode(display, XStringToKeysym(name.c_str()));
    }
};

XTestClient::XTestClient() : mConnection(std::make_unique<Connection>()) {}
XTestClient::~XTestClient() = default;

bool XTestClient::ready() const {
    return mConnection->display != nullptr;
}

void XTestClient::key(const std::string& name, bool down) {
    XTestFakeKeyEvent(mConnection->display, mConnection->code(name), down ? True : False, CurrentTime);
    XFlush(mConnection->display);
}

unsigned char XTestClient::keycode(const std::string& name) const {
    return mConnection->code(name);
}

void XTestClient::tap(const std::string& name) {
    key(name, true);
    key(name, false);
}

void XTestClient::click(int x, int y) {
    XTestFakeMotionEvent(mConnection->display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(mConnection->display, 1, True, CurrentTime);
    XTestFakeButtonEvent(mConnection->display, 1, False, CurrentTime);
    XFlush(mConnection->display);
}

bool XTestClient::numLockOn() {
    unsigned state = 0;
    XkbGetIndicatorState(mConnection->display, XkbUseCoreKbd, &state);
    return (state & 2) != 0;  // Num Lock's indicator
}

void XTestClient::repeatHeldKeys(unsigned delay, unsigned interval) {
    XAutoRepeatOn(mConnection->display);
    XkbSetAutoRepeatRate(mConnection->display, XkbUseCoreKbd, delay, interval);
    XSync(mConnection->display, False);
}

void XTestClient::lockGroup(unsigned group) {
    XkbLockGroup(mConnection->display, XkbUseCoreKbd, group);
    XSync(mConnection->display, False);
}

void XTestClient::grabWithControl(const std::string& name) {
    XGrabKey(mConnection->display, mConnection->code(name), ControlMask,
             DefaultRootWindow(mConnection->display), True, GrabModeAsync, GrabModeAsync);
    XSync(mConnection->display, False);
}
