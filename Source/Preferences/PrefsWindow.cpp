#include "Source/Preferences/PrefsWindow.h"

#include <QKeyEvent>

#include "platform/AppKit/KeyCodes.h"

void PrefsWindow::closeCommittingEdits() {
    if (QWidget* responder = focusWidget()) responder->clearFocus();
    close();
}

void PrefsWindow::keyPressEvent(QKeyEvent* event) {
    const int keyCode = event->nativeScanCode() ? keyCodeForNativeScanCode(event->nativeScanCode())
                                                : keyCodeForQtKey(event->key(), event->modifiers());
    if (keyCode == kKeyCodeEscape) {
        event->accept();
        closeCommittingEdits();
        return;
    }
    Window::keyPressEvent(event);
}
