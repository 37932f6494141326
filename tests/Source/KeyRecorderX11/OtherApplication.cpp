#include "tests/Source/KeyRecorderX11/OtherApplication.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

OtherApplication::OtherApplication(const std::string& display) : mDisplay(XOpenDisplay(display.c_str())) {
    if (!mDisplay) return;
    int event, error, major, minor;
    if (!XTestQueryExtension(mDisplay, &event, &error, &major, &minor)) return;
    mWindow = XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), 0, 100, 100, 60, 0, 0, 0);
    XSelectInput(mDisplay, mWindow, KeyPressMask | StructureNotifyMask);
    XMapWindow(mDisplay, mWindow);
    for (XEvent e;;) {
        XNextEvent(mDisplay, &e);
        if (e.type == MapNotify) break;
    }
    mReady = true;
}

OtherApplication::~OtherApplication() {
    if (mDisplay) XCloseDisplay(mDisplay);
}

void OtherApplication::takeFocus() {
    giveFocusTo(mWindow);
}

void OtherApplication::giveFocusTo(unsigned long window) {
    XSetInputFocus(mDisplay, window, RevertToParent, CurrentTime);
    XSync(mDisplay, False);
}

void OtherApplication::type(const std::string& key) {
    const KeyCode code = XKeysymToKeycode(mDisplay, XStringToKeysym(key.c_str()));
    XTestFakeKeyEvent(mDisplay, code, True, 0);
    XTestFakeKeyEvent(mDisplay, code, False, 0);
    XSync(mDisplay, False);
}

int OtherApplication::keysReceived() {
    XSync(mDisplay, False);
    while (XPending(mDisplay)) {
        XEvent e;
        XNextEvent(mDisplay, &e);
        if (e.type == KeyPress) ++mReceived;
    }
    return mReceived;
}
