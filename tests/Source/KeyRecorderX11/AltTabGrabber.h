// Another X client that holds a passive grab of Alt+Tab on the root window, as a window manager's
// application switching does, and types it through XTest. Kept apart from Qt's headers, which
// Xlib's macros break.
#pragma once

#include <string>

struct _XDisplay;

class AltTabGrabber {
public:
    explicit AltTabGrabber(const std::string& display);
    ~AltTabGrabber();
    AltTabGrabber(const AltTabGrabber&) = delete;
    AltTabGrabber& operator=(const AltTabGrabber&) = delete;

    // Connected, with XTest and the grab in place.
    bool ready() const { return mReady; }
    // Types Alt+Tab and answers how many presses the grab delivered to this client.
    int switchApplications();

private:
    _XDisplay* mDisplay{nullptr};
    bool mReady{false};
    unsigned char mAlt{0};
    unsigned char mTab{0};
};
