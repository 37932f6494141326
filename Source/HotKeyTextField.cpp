#include "Source/HotKeyTextField.h"

#include <QKeyEvent>

#include "Source/KeyUtilities.h"
#include "platform/AppKit/Event.h"

namespace {

constexpr uint32_t kNamedModifiers =
    NSShiftKeyMask | NSControlKeyMask | NSAlternateKeyMask | NSCommandKeyMask;

}  // namespace

HotKeyTextField::HotKeyTextField(QWidget* parent) : TextField(parent) {
    setEditable(false);
    // Selectable: it takes the keyboard and its text can be selected and copied.
    setFocusPolicy(Qt::StrongFocus);
}

void HotKeyTextField::keyDown(const NSEvent& event) {
    if (event.type != NSEventType::KeyDown) return;
    iKeyCode = static_cast<uint32_t>(event.keyCode);
    iModifiers = event.modifierFlags;
    stringRep = KeyUtilities::stringForKeyCode(event.keyCode, event.modifierFlags);
    setStringValue(stringRep);
}

bool HotKeyTextField::performKeyEquivalent(const NSEvent& event) {
    NSEvent down = event;
    down.type = NSEventType::KeyDown;
    keyDown(down);
    return true;
}

int HotKeyTextField::keyCode() {
    if (KeyUtilities::stringForKeyCode(static_cast<int>(iKeyCode)).empty())
        iKeyCode = static_cast<uint32_t>(-1);
    return static_cast<int>(iKeyCode);
}

uint32_t HotKeyTextField::modifiers() {
    if (!(iModifiers & kNamedModifiers)) iModifiers = 0;
    return iModifiers;
}

std::string HotKeyTextField::stringRepresentation() {
    stringRep = KeyUtilities::stringForKeyCode(static_cast<int>(iKeyCode), iModifiers);
    return stringRep;
}

bool HotKeyTextField::event(QEvent* e) {
    // Command combinations would go to the menus before the field saw them.
    if (e->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (!isModifierOnlyKey(key->key())) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::KeyPress) {
        // Tab and Backtab are keys to capture, not moves of the focus.
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return TextField::event(e);
}

void HotKeyTextField::keyPressEvent(QKeyEvent* event) {
    if (isModifierOnlyKey(event->key())) {
        event->ignore();
        return;
    }
    performKeyEquivalent(NSEvent::keyEvent(*event, NSEventType::KeyDown));
    event->accept();
}
