// Mouse and key events as the views receive them: locations in y-up window coordinates, the
// platform's modifier masks and the characters of a key.
#pragma once

#include <cstdint>
#include <string>

#include "platform/AppKit/Geometry.h"

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
class QWidget;

enum class NSEventType {
    LeftMouseDown,
    LeftMouseUp,
    LeftMouseDragged,
    RightMouseDown,
    RightMouseUp,
    MouseMoved,
    MouseEntered,
    MouseExited,
    KeyDown,
    KeyUp,
    ScrollWheel,
};

// Modifier masks. The Command modifier is the Ctrl key and the Control modifier the Super key.
inline constexpr uint32_t NSAlphaShiftKeyMask = 0x10000;
inline constexpr uint32_t NSShiftKeyMask = 0x20000;
inline constexpr uint32_t NSControlKeyMask = 0x40000;
inline constexpr uint32_t NSAlternateKeyMask = 0x80000;
inline constexpr uint32_t NSCommandKeyMask = 0x100000;
inline constexpr uint32_t NSNumericPadKeyMask = 0x200000;
inline constexpr uint32_t NSFunctionKeyMask = 0x800000;
inline constexpr uint32_t NSDeviceIndependentModifierFlagsMask = 0xffff0000;

// Characters of keys that type none: the platform's function-key range, and a few controls.
inline constexpr char16_t NSEnterCharacter = 0x03;
inline constexpr char16_t NSUpArrowFunctionKey = 0xF700;
inline constexpr char16_t NSDownArrowFunctionKey = 0xF701;
inline constexpr char16_t NSLeftArrowFunctionKey = 0xF702;
inline constexpr char16_t NSRightArrowFunctionKey = 0xF703;
inline constexpr char16_t NSF1FunctionKey = 0xF704;
inline constexpr char16_t NSDeleteFunctionKey = 0xF728;
inline constexpr char16_t NSHomeFunctionKey = 0xF729;
inline constexpr char16_t NSEndFunctionKey = 0xF72B;
inline constexpr char16_t NSPageUpFunctionKey = 0xF72C;
inline constexpr char16_t NSPageDownFunctionKey = 0xF72D;

struct TrackingArea;

struct NSEvent {
    NSEventType type{NSEventType::LeftMouseDown};
    NSPoint locationInWindow;  // y-up, in the window's content
    uint32_t modifierFlags{0};
    int clickCount{0};
    std::string characters;                   // UTF-8
    std::string charactersIgnoringModifiers;  // UTF-8; Shift still counts
    bool isARepeat{false};
    int qtKey{0};
    uint32_t nativeScanCode{0};
    // The virtual key code of KeyCodes.h: from the scan code, else from the Qt key; -1 when the
    // key has none.
    int keyCode{-1};
    CGFloat deltaX{0};
    CGFloat deltaY{0};
    double timestamp{0};                        // seconds, as the window system stamped it
    const TrackingArea* trackingArea{nullptr};  // entered and exited events only

    // The first UTF-16 unit of `characters`, 0 when there is none.
    char16_t firstCharacter() const;

    static NSEvent keyEvent(const QKeyEvent& event, NSEventType type);
    static NSEvent mouseEvent(const QMouseEvent& event, NSEventType type, const QWidget& receiver);
    static NSEvent wheelEvent(const QWheelEvent& event, const QWidget& receiver);
};

// The platform's mask of the Qt modifiers.
uint32_t modifierFlagsFromQt(int qtModifiers);
// Shift, Ctrl, Alt, Super and the lock keys: their presses alone are no key-down.
bool isModifierOnlyKey(int qtKey);
// The y-up point in the receiver's window of a point in the receiver's own Qt coordinates.
NSPoint windowLocation(const QWidget& receiver, double qtX, double qtY);
