// Texts of keys and modifier masks for the key recorder, the Shortcuts pane and the menus: a
// combination as a person reads it (as the desktop's menus show it: "Ctrl+Shift+B"), the display
// string of a key code that menu key equivalents are made of and matched on, the character a key
// types, the Qt combination a shortcut is bound to, and the conversions between the Cocoa and
// Carbon masks. Key codes are the virtual key codes of platform/AppKit/KeyCodes.h. Main thread
// only.
#pragma once

#include <QKeySequence>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

// A localized text of the "KeyRecorder" table.
std::string KRLocalizedString(const std::string& key);
// The text with each "%@" replaced by the next argument, in order.
std::string KRFormat(std::string format, std::initializer_list<std::string> arguments);

// Virtual key codes run from 0 to 127: any other number names no key, whatever its low bits.
inline constexpr bool KRIsVirtualKeyCode(long long keyCode) {
    return keyCode >= 0 && keyCode <= 127;
}

// The key's display string ("F1", "⎋", "Pad 1", "A"), or nullopt.
std::optional<std::string> KRStringForKeyCode(long keyCode);

// The Qt combination of the key with the mask's Command, Option, Shift and Control: a key that
// types a character by the character the current layout gives it, a dead key by the dead key,
// any other by its position; empty for a code without a key.
QKeySequence KRKeySequenceForKeyCode(long keyCode, uint32_t cocoaFlags);

// The names of the modifiers present as the desktop's menus give them, each followed by "+": Control
// is "Meta", Command "Ctrl", Option "Alt", in the order "Meta+Ctrl+Alt+Shift+".
std::string KRStringForCocoaModifierFlags(uint32_t flags);
std::string KRStringForCarbonModifierFlags(uint32_t flags);
// The combination as the menus show it ("Ctrl+Shift+B", "Ctrl+Right"); for a code without a key,
// the modifier names alone.
std::string KRStringForCocoaModifierFlagsAndKeyCode(uint32_t flags, long keyCode);
std::string KRStringForCarbonModifierFlagsAndKeyCode(uint32_t flags, long keyCode);
// The same text, for the sentences of a refusal.
std::string KRReadableStringForCocoaModifierFlagsAndKeyCode(uint32_t flags, long keyCode);
std::string KRReadableStringForCarbonModifierFlagsAndKeyCode(uint32_t flags, long keyCode);

// The mask in the other convention; other bits are dropped.
uint32_t KRCocoaToCarbonFlags(uint32_t cocoaFlags);
uint32_t KRCarbonToCocoaFlags(uint32_t carbonFlags);

// The character the current layout gives for the key with the Shift and Option of the mask,
// capitalized; the display string when there is no layout or the key types nothing.
std::optional<std::string> KRCharacterForKeyCodeAndCocoaFlags(long keyCode, uint32_t cocoaFlags);
std::optional<std::string> KRCharacterForKeyCodeAndCarbonFlags(long keyCode, uint32_t carbonFlags);

// The recorder's animation curve: 0 at 0, 0.5 at 0.5, 1 at 1.
double KRAnimationEaseInOut(double x);
