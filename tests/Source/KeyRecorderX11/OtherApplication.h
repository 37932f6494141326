// Another application on the X server: a window of its own that can take the input focus, as a
// window manager gives it on a click, and counts the keys it gets; keys are typed through XTest.
// Kept apart from Qt's headers, which Xlib's macros break.
#pragma once

#include <string>

struct _XDisplay;

class OtherApplication {
public:
    explicit OtherApplication(const std::string& display);
    ~OtherApplication();
    OtherApplication(const OtherApplication&) = delete;
    OtherApplication& operator=(const OtherApplication&) = delete;

    bool ready() const { return mReady; }
    // Its window takes the input focus.
    void takeFocus();
    // Gives the input focus to another window (the application's, by its X id).
    void giveFocusTo(unsigned long window);
    // Types the key (an X key name: "a", "Shift_L") through XTest.
    void type(const std::string& key);
    // The presses that reached its window so far.
    int keysReceived();

private:
    _XDisplay* mDisplay{nullptr};
    unsigned long mWindow{0};
    int mReceived{0};
    bool mReady{false};
};
