// A field that captures one key with its modifiers and shows them: every key it receives while
// it has the keyboard, key equivalents included, is taken as the key and none goes further. It
// cannot be edited, only selected. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/AppKit/TextField.h"

struct NSEvent;

class HotKeyTextField : public TextField {
    Q_OBJECT
public:
    explicit HotKeyTextField(QWidget* parent = nullptr);

    // A key-down stores its key code and modifiers and shows their name; other events do nothing.
    void keyDown(const NSEvent& event);
    // Every key equivalent is a key-down here, and handled.
    bool performKeyEquivalent(const NSEvent& event);

    // -1, and stored so, when the key has no name.
    int keyCode();
    // 0, and stored so, when the mask holds none of Shift, Control, Option and Command.
    uint32_t modifiers();
    // The name of the stored key and modifiers, made again.
    std::string stringRepresentation();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    uint32_t iKeyCode{0};
    uint32_t iModifiers{0};
    std::string stringRep;
};
