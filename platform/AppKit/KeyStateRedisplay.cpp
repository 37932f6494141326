#include "platform/AppKit/KeyStateRedisplay.h"

#include "platform/AppKit/View.h"
#include "platform/AppKit/Window.h"

void KeyStateRedisplay::follow(View* view) {
    QObject::disconnect(mBecameKey);
    QObject::disconnect(mResignedKey);
    Window* window = view->enclosingWindow();
    if (!window) return;
    mBecameKey = QObject::connect(window, &Window::didBecomeKey, view, [view] { view->setNeedsDisplay(); });
    mResignedKey = QObject::connect(window, &Window::didResignKey, view, [view] { view->setNeedsDisplay(); });
}
