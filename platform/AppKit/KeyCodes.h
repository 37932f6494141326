// The platform's virtual key codes: desktop-neutral numbers for key positions (0 is the key that
// types "a" on a US keyboard, 36 Return, 53 Escape, 122 F1), with their evdev positions and Qt
// keys, and the two modifier conventions (the Cocoa masks of Event.h and the Carbon masks used
// by hot keys). The tables are constant; every function may be called from any thread.
#pragma once

#include <QKeySequence>
#include <cstdint>
#include <optional>

// A key without a virtual key code (a Qt key or scan code the table does not know).
inline constexpr int kNoKeyCode = -1;

// Virtual key codes that other code names.
inline constexpr int kKeyCodeA = 0;
inline constexpr int kKeyCodeQ = 12;
inline constexpr int kKeyCodeReturn = 36;
inline constexpr int kKeyCodeTab = 48;
inline constexpr int kKeyCodeSpace = 49;
inline constexpr int kKeyCodeBackspace = 51;
inline constexpr int kKeyCodeEscape = 53;
inline constexpr int kKeyCodeKeypadEnter = 76;
inline constexpr int kKeyCodeF1 = 122;
inline constexpr int kKeyCodeLeftArrow = 123;
inline constexpr int kKeyCodeRightArrow = 124;
inline constexpr int kKeyCodeDownArrow = 125;
inline constexpr int kKeyCodeUpArrow = 126;

// Carbon modifier masks. Command is the Ctrl key and Control the Super key, as in Event.h.
inline constexpr uint32_t kCarbonCommandKey = 0x100;
inline constexpr uint32_t kCarbonShiftKey = 0x200;
inline constexpr uint32_t kCarbonOptionKey = 0x800;
inline constexpr uint32_t kCarbonControlKey = 0x1000;
inline constexpr uint32_t kCarbonFunctionKey = 0x800000;  // the same bit in both conventions

// The other convention's mask; bits that are no modifier of the table are dropped.
uint32_t carbonFlagsFromCocoa(uint32_t cocoaFlags);
uint32_t cocoaFlagsFromCarbon(uint32_t carbonFlags);

// The position's virtual key code, or kNoKeyCode.
int keyCodeForEvdevCode(uint32_t evdevCode);
// X11 and Wayland scan codes are evdev codes plus 8; 0 (a synthetic event) has no key code.
int keyCodeForNativeScanCode(uint32_t nativeScanCode);
// The key code of a Qt key, for events that carry no scan code. Keypad keys need the Qt keypad
// modifier; letters and symbols are taken at their US positions.
int keyCodeForQtKey(int qtKey, int qtModifiers = 0);

std::optional<uint32_t> evdevCodeForKeyCode(int keyCode);
// The Qt key at the position on a US keyboard; 0 when there is none.
int qtKeyForKeyCode(int keyCode);
bool isKeypadKeyCode(int keyCode);

// The Qt combination that fires for the key code with the Cocoa mask; empty for a code without
// a Qt key. Keypad codes carry the keypad modifier, so "Pad 1" and "1" stay apart.
QKeySequence keySequenceForKeyCode(int keyCode, uint32_t cocoaFlags);
