// The preferences window: Escape closes it, an edit in progress committed first.
#pragma once

#include "platform/AppKit/Window.h"

class PrefsWindow : public Window {
    Q_OBJECT
public:
    explicit PrefsWindow(NSSize contentSize) : Window(contentSize) {}

    // Gives up the first responder, so a field being edited hands in its text, then closes.
    void closeCommittingEdits();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
