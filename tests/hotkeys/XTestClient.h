// Another client of the test's X server: it presses keys through XTest and grabs keys itself.
// Keys are named as X names their symbols ("F9", "Control_L", "Num_Lock"). X's own headers stay in
// the source: their macros clash with Qt's and GoogleTest's.
#pragma once

#include <memory>
#include <string>

class XTestClient {
public:
    XTestClient();
    ~XTestClient();
    bool ready() const;
    void key(const std::string& name, bool down);
    void tap(const std::string& name);
    // A click of the first button at the point of the screen.
    void click(int x, int y);
    // The X key code of the key.
    unsigned char keycode(const std::string& name) const;
    bool numLockOn();
    // The server's auto-repeat of held keys, on and as fast as given (milliseconds).
    void repeatHeldKeys(unsigned delay, unsigned interval);
    // Puts the layout of the group in effect (0 the first of the keymap's layouts).
    void lockGroup(unsigned group);
    // A passive grab of the key with Control.
    void grabWithControl(const std::string& name);

private:
    struct Connection;
    std::unique_ptr<Connection> mConnection;
};
