#include "tests/Source/KeyRecorderX11/AltTabGrabber.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

AltTabGrabber::AltTabGrabber(const std::string& display) : mDisplay(XOpenDisplay(display.c_str())) {
    if (!mDisplay) return;
    int event, error, major, minor;
    if (!XTestQueryExtension(mDisplay, &event, &error, &major, &minor)) return;
    mAlt = XKeysymToKeycode(mDisplay, XK_Alt_L);
    mTab = XKeysymToKeycode(mDisplay, XK_Tab);
    XGrabKey(mDisplay, mTab, Mod1Mask, DefaultRootWindow(mDisplay), True, GrabModeAsync, GrabModeAsync);
    XSync(mDisplay, False);
    mReady = mAlt != 0 && mTab != 0;
}

AltTabGrabber::~AltTabGrabber() {
    if (mDisplay) XCloseDisplay(mDisplay);
}

int AltTabGrabber::switchApplications() {
    XTestFakeKeyEvent(mDisplay, mAlt, True, 0);
    XTestFakeKeyEvent(mDisplay, mTab, True, 0);
    XTestFakeKeyEvent(mDisplay, mTab, False, 0);
    XTestFakeKeyEvent(mDisplay, mAlt, False, 0);
    // XTest input is processed as the request is, so the events are queued by the reply.
    XSync(mDisplay, False);
    int presses = 0;
    while (XPending(mDisplay)) {
        XEvent e;
        XNextEvent(mDisplay, &e);
        if (e.type == KeyPress) ++presses;
    }
    return presses;
}
