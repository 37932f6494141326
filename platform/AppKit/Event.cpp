#include "platform/AppKit/Event.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QString>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <array>

#include "platform/AppKit/KeyCodes.h"

namespace {

struct SpecialKey {
    int qtKey;
    char16_t character;
};

constexpr std::array<SpecialKey, 15> kSpecialKeys{{
    {Qt::Key_Return, u'\r'},
    {Qt::Key_Enter, NSEnterCharacter},
    {Qt::Key_Tab, u'\t'},
    {Qt::Key_Backtab, 0x19},
    {Qt::Key_Backspace, 0x7f},
    {Qt::Key_Escape, 0x1b},
    {Qt::Key_Delete, NSDeleteFunctionKey},
    {Qt::Key_Up, NSUpArrowFunctionKey},
    {Qt::Key_Down, NSDownArrowFunctionKey},
    {Qt::Key_Left, NSLeftArrowFunctionKey},
    {Qt::Key_Right, NSRightArrowFunctionKey},
    {Qt::Key_Home, NSHomeFunctionKey},
    {Qt::Key_End, NSEndFunctionKey},
    {Qt::Key_PageUp, NSPageUpFunctionKey},
    {Qt::Key_PageDown, NSPageDownFunctionKey},
}};

constexpr std::array<int, 12> kModifierKeys{
    Qt::Key_Shift,   Qt::Key_Control,    Qt::Key_Meta,    Qt::Key_Alt,     Qt::Key_AltGr,   Qt::Key_CapsLock,
    Qt::Key_NumLock, Qt::Key_ScrollLock, Qt::Key_Super_L, Qt::Key_Super_R, Qt::Key_Hyper_L, Qt::Key_Hyper_R};

std::string utf8(char16_t c) {
    return QString(QChar(c)).toStdString();
}

// What the key types with Shift alone, as the characters without the other modifiers.
std::string unmodifiedCharacters(const QKeyEvent& event) {
    const int key = event.key();
    for (const SpecialKey& special : kSpecialKeys)
        if (special.qtKey == key) return utf8(special.character);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return utf8(static_cast<char16_t>(NSF1FunctionKey + key - Qt::Key_F1));
    const bool shift = event.modifiers() & Qt::ShiftModifier;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return std::string(1, static_cast<char>(shift ? key : key + 32));
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) return std::string(1, static_cast<char>(key));
    const QString text = event.text();
    if (!text.isEmpty() && text.at(0).isPrint()) return text.toStdString();
    const char32_t code = static_cast<char32_t>(key);
    if (key > 0 && key < 0x110000 && QChar::isPrint(code))
        return QString::fromUcs4(&code, 1).toLower().toStdString();
    return {};
}

}  // namespace

uint32_t modifierFlagsFromQt(int qtModifiers) {
    uint32_t flags = 0;
    if (qtModifiers & Qt::ShiftModifier) flags |= NSShiftKeyMask;
    if (qtModifiers & Qt::ControlModifier) flags |= NSCommandKeyMask;
    if (qtModifiers & Qt::MetaModifier) flags |= NSControlKeyMask;
    if (qtModifiers & Qt::AltModifier) flags |= NSAlternateKeyMask;
    if (qtModifiers & Qt::KeypadModifier) flags |= NSNumericPadKeyMask;
    return flags;
}

bool isModifierOnlyKey(int qtKey) {
    return std::find(kModifierKeys.begin(), kModifierKeys.end(), qtKey) != kModifierKeys.end();
}

NSPoint windowLocation(const QWidget& receiver, double qtX, double qtY) {
    const QWidget* top = receiver.window();
    const QPointF inTop = receiver.mapTo(top, QPointF(qtX, qtY));
    return {inTop.x(), top->height() - inTop.y()};
}

char16_t NSEvent::firstCharacter() const {
    const QString text = QString::fromStdString(characters);
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

NSEvent NSEvent::keyEvent(const QKeyEvent& event, NSEventType type) {
    NSEvent e;
    e.type = type;
    e.modifierFlags = modifierFlagsFromQt(event.modifiers());
    const int key = event.key();
    if ((key >= Qt::Key_F1 && key <= Qt::Key_F35) || (key >= Qt::Key_Home && key <= Qt::Key_PageDown) ||
        key == Qt::Key_Delete)
        e.modifierFlags |= NSFunctionKeyMask;
    e.charactersIgnoringModifiers = unmodifiedCharacters(event);
    const QString text = event.text();
    // Ctrl combinations type control characters in Qt; the platform reports the plain key.
    const bool typesItself = !text.isEmpty() &&
                             (text.at(0).isPrint() || text.at(0) == u'\r' || text.at(0) == u'\t') &&
                             !(event.modifiers() & Qt::ControlModifier) && key != Qt::Key_Enter;
    e.characters = typesItself ? text.toStdString() : e.charactersIgnoringModifiers;
    e.isARepeat = event.isAutoRepeat();
    e.qtKey = key;
    e.nativeScanCode = event.nativeScanCode();
    // Synthetic events carry no scan code; their Qt key still names the position.
    e.keyCode = keyCodeForNativeScanCode(e.nativeScanCode);
    if (e.keyCode == kNoKeyCode) e.keyCode = keyCodeForQtKey(key, event.modifiers());
    e.timestamp = event.timestamp() / 1000.0;
    return e;
}

NSEvent NSEvent::mouseEvent(const QMouseEvent& event, NSEventType type, const QWidget& receiver) {
    NSEvent e;
    e.type = type;
    e.locationInWindow = windowLocation(receiver, event.position().x(), event.position().y());
    e.modifierFlags = modifierFlagsFromQt(event.modifiers());
    e.clickCount = event.type() == QEvent::MouseButtonDblClick ? 2 : 1;
    e.timestamp = event.timestamp() / 1000.0;
    return e;
}

NSEvent NSEvent::wheelEvent(const QWheelEvent& event, const QWidget& receiver) {
    NSEvent e;
    e.type = NSEventType::ScrollWheel;
    e.locationInWindow = windowLocation(receiver, event.position().x(), event.position().y());
    e.modifierFlags = modifierFlagsFromQt(event.modifiers());
    // One notch (120 eighths of a degree) is one line, as the platform counts wheel deltas.
    e.deltaX = event.angleDelta().x() / 120.0;
    e.deltaY = event.angleDelta().y() / 120.0;
    e.timestamp = event.timestamp() / 1000.0;
    return e;
}
