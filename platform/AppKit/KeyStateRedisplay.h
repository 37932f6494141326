// Redraws a view whenever the window it lies in becomes or stops being key, for views drawn
// differently in a key window.
#pragma once

#include <QMetaObject>

class View;

class KeyStateRedisplay {
public:
    KeyStateRedisplay(const KeyStateRedisplay&) = delete;
    KeyStateRedisplay& operator=(const KeyStateRedisplay&) = delete;

    KeyStateRedisplay() = default;

    // Follows the window `view` now lies in, and stops following the one it followed before;
    // follows none while the view lies in no window. The connections end with the view.
    void follow(View* view);

private:
    QMetaObject::Connection mBecameKey;
    QMetaObject::Connection mResignedKey;
};
