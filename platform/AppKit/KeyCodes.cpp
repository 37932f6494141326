#include "platform/AppKit/KeyCodes.h"

#include <linux/input-event-codes.h>

#include <Qt>

#include "platform/AppKit/Event.h"
#include "platform/AppKit/MenuShortcuts.h"

namespace {

struct KeyPosition {
    uint16_t keyCode;
    uint16_t evdev;
    int qtKey;
    bool keypad;
};

// One row per key position. The Command key is the Ctrl key and the Control key the Super key,
// as the modifier masks have it; Help sits where PC keyboards have Insert, Clear where they have
// Num Lock.
constexpr KeyPosition kPositions[] = {
    {0, KEY_A, Qt::Key_A, false},
    {1, KEY_S, Qt::Key_S, false},
    {2, KEY_D, Qt::Key_D, false},
    {3, KEY_F, Qt::Key_F, false},
    {4, KEY_H, Qt::Key_H, false},
    {5, KEY_G, Qt::Key_G, false},
    {6, KEY_Z, Qt::Key_Z, false},
    {7, KEY_X, Qt::Key_X, false},
    {8, KEY_C, Qt::Key_C, false},
    {9, KEY_V, Qt::Key_V, false},
    {10, KEY_102ND, 0, false},
    {11, KEY_B, Qt::Key_B, false},
    {12, KEY_Q, Qt::Key_Q, false},
    {13, KEY_W, Qt::Key_W, false},
    {14, KEY_E, Qt::Key_E, false},
    {15, KEY_R, Qt::Key_R, false},
    {16, KEY_Y, Qt::Key_Y, false},
    {17, KEY_T, Qt::Key_T, false},
    {18, KEY_1, Qt::Key_1, false},
    {19, KEY_2, Qt::Key_2, false},
    {20, KEY_3, Qt::Key_3, false},
    {21, KEY_4, Qt::Key_4, false},
    {22, KEY_6, Qt::Key_6, false},
    {23, KEY_5, Qt::Key_5, false},
    {24, KEY_EQUAL, Qt::Key_Equal, false},
    {25, KEY_9, Qt::Key_9, false},
    {26, KEY_7, Qt::Key_7, false},
    {27, KEY_MINUS, Qt::Key_Minus, false},
    {28, KEY_8, Qt::Key_8, false},
    {29, KEY_0, Qt::Key_0, false},
    {30, KEY_RIGHTBRACE, Qt::Key_BracketRight, false},
    {31, KEY_O, Qt::Key_O, false},
    {32, KEY_U, Qt::Key_U, false},
    {33, KEY_LEFTBRACE, Qt::Key_BracketLeft, false},
    {34, KEY_I, Qt::Key_I, false},
    {35, KEY_P, Qt::Key_P, false},
    {36, KEY_ENTER, Qt::Key_Return, false},
    {37, KEY_L, Qt::Key_L, false},
    {38, KEY_J, Qt::Key_J, false},
    {39, KEY_APOSTROPHE, Qt::Key_Apostrophe, false},
    {40, KEY_K, Qt::Key_K, false},
    {41, KEY_SEMICOLON, Qt::Key_Semicolon, false},
    {42, KEY_BACKSLASH, Qt::Key_Backslash, false},
    {43, KEY_COMMA, Qt::Key_Comma, false},
    {44, KEY_SLASH, Qt::Key_Slash, false},
    {45, KEY_N, Qt::Key_N, false},
    {46, KEY_M, Qt::Key_M, false},
    {47, KEY_DOT, Qt::Key_Period, false},
    {48, KEY_TAB, Qt::Key_Tab, false},
    {49, KEY_SPACE, Qt::Key_Space, false},
    {50, KEY_GRAVE, Qt::Key_QuoteLeft, false},
    {51, KEY_BACKSPACE, Qt::Key_Backspace, false},
    {53, KEY_ESC, Qt::Key_Escape, false},
    {54, KEY_RIGHTCTRL, 0, false},
    {55, KEY_LEFTCTRL, Qt::Key_Control, false},
    {56, KEY_LEFTSHIFT, Qt::Key_Shift, false},
    {57, KEY_CAPSLOCK, Qt::Key_CapsLock, false},
    {58, KEY_LEFTALT, Qt::Key_Alt, false},
    {59, KEY_LEFTMETA, Qt::Key_Meta, false},
    {60, KEY_RIGHTSHIFT, 0, false},
    {61, KEY_RIGHTALT, Qt::Key_AltGr, false},
    {62, KEY_RIGHTMETA, 0, false},
    {63, KEY_FN, 0, false},
    {64, KEY_F17, Qt::Key_F17, false},
    {65, KEY_KPDOT, Qt::Key_Period, true},
    {67, KEY_KPASTERISK, Qt::Key_Asterisk, true},
    {69, KEY_KPPLUS, Qt::Key_Plus, true},
    {71, KEY_NUMLOCK, Qt::Key_Clear, true},
    {72, KEY_VOLUMEUP, Qt::Key_VolumeUp, false},
    {73, KEY_VOLUMEDOWN, Qt::Key_VolumeDown, false},
    {74, KEY_MUTE, Qt::Key_VolumeMute, false},
    {75, KEY_KPSLASH, Qt::Key_Slash, true},
    {76, KEY_KPENTER, Qt::Key_Enter, true},
    {78, KEY_KPMINUS, Qt::Key_Minus, true},
    {79, KEY_F18, Qt::Key_F18, false},
    {80, KEY_F19, Qt::Key_F19, false},
    {81, KEY_KPEQUAL, Qt::Key_Equal, true},
    {82, KEY_KP0, Qt::Key_0, true},
    {83, KEY_KP1, Qt::Key_1, true},
    {84, KEY_KP2, Qt::Key_2, true},
    {85, KEY_KP3, Qt::Key_3, true},
    {86, KEY_KP4, Qt::Key_4, true},
    {87, KEY_KP5, Qt::Key_5, true},
    {88, KEY_KP6, Qt::Key_6, true},
    {89, KEY_KP7, Qt::Key_7, true},
    {90, KEY_F20, Qt::Key_F20, false},
    {91, KEY_KP8, Qt::Key_8, true},
    {92, KEY_KP9, Qt::Key_9, true},
    {93, KEY_YEN, Qt::Key_yen, false},
    {94, KEY_RO, Qt::Key_Underscore, false},
    {95, KEY_KPJPCOMMA, Qt::Key_Comma, true},
    {96, KEY_F5, Qt::Key_F5, false},
    {97, KEY_F6, Qt::Key_F6, false},
    {98, KEY_F7, Qt::Key_F7, false},
    {99, KEY_F3, Qt::Key_F3, false},
    {100, KEY_F8, Qt::Key_F8, false},
    {101, KEY_F9, Qt::Key_F9, false},
    {103, KEY_F11, Qt::Key_F11, false},
    {105, KEY_F13, Qt::Key_F13, false},
    {106, KEY_F16, Qt::Key_F16, false},
    {107, KEY_F14, Qt::Key_F14, false},
    {109, KEY_F10, Qt::Key_F10, false},
    {110, KEY_COMPOSE, Qt::Key_Menu, false},
    {111, KEY_F12, Qt::Key_F12, false},
    {113, KEY_F15, Qt::Key_F15, false},
    {114, KEY_INSERT, Qt::Key_Insert, false},
    {115, KEY_HOME, Qt::Key_Home, false},
    {116, KEY_PAGEUP, Qt::Key_PageUp, false},
    {117, KEY_DELETE, Qt::Key_Delete, false},
    {118, KEY_F4, Qt::Key_F4, false},
    {119, KEY_END, Qt::Key_End, false},
    {120, KEY_F2, Qt::Key_F2, false},
    {121, KEY_PAGEDOWN, Qt::Key_PageDown, false},
    {122, KEY_F1, Qt::Key_F1, false},
    {123, KEY_LEFT, Qt::Key_Left, false},
    {124, KEY_RIGHT, Qt::Key_Right, false},
    {125, KEY_DOWN, Qt::Key_Down, false},
    {126, KEY_UP, Qt::Key_Up, false},
};

struct QtKeyAlias {
    int qtKey;
    uint16_t keyCode;
};

// Qt keys that name a position by another character: the shifted US symbols and a few names.
constexpr QtKeyAlias kQtAliases[] = {
    {Qt::Key_Exclam, 18},      {Qt::Key_At, 19},         {Qt::Key_NumberSign, 20}, {Qt::Key_Dollar, 21},
    {Qt::Key_AsciiCircum, 22}, {Qt::Key_Percent, 23},    {Qt::Key_Plus, 24},       {Qt::Key_ParenLeft, 25},
    {Qt::Key_Ampersand, 26},   {Qt::Key_Underscore, 27}, {Qt::Key_Asterisk, 28},   {Qt::Key_ParenRight, 29},
    {Qt::Key_BraceRight, 30},  {Qt::Key_BraceLeft, 33},  {Qt::Key_QuoteDbl, 39},   {Qt::Key_Colon, 41},
    {Qt::Key_Bar, 42},         {Qt::Key_Less, 43},       {Qt::Key_Question, 44},   {Qt::Key_Greater, 47},
    {Qt::Key_AsciiTilde, 50},  {Qt::Key_Backtab, 48},    {Qt::Key_Super_L, 59},    {Qt::Key_Super_R, 62},
    {Qt::Key_Help, 114},       {Qt::Key_Enter, 76},      {Qt::Key_Clear, 71},
};

struct ModifierPair {
    uint32_t cocoa;
    uint32_t carbon;
};

constexpr ModifierPair kModifierPairs[] = {
    {NSCommandKeyMask, kCarbonCommandKey},   {NSShiftKeyMask, kCarbonShiftKey},
    {NSAlternateKeyMask, kCarbonOptionKey},  {NSControlKeyMask, kCarbonControlKey},
    {NSFunctionKeyMask, kCarbonFunctionKey},
};

const KeyPosition* positionForKeyCode(int keyCode) {
    for (const KeyPosition& p : kPositions)
        if (p.keyCode == keyCode) return &p;
    return nullptr;
}

}  // namespace

uint32_t carbonFlagsFromCocoa(uint32_t cocoaFlags) {
    uint32_t carbon = 0;
    for (const ModifierPair& pair : kModifierPairs)
        if (cocoaFlags & pair.cocoa) carbon |= pair.carbon;
    return carbon;
}

uint32_t cocoaFlagsFromCarbon(uint32_t carbonFlags) {
    uint32_t cocoa = 0;
    for (const ModifierPair& pair : kModifierPairs)
        if (carbonFlags & pair.carbon) cocoa |= pair.cocoa;
    return cocoa;
}

int keyCodeForEvdevCode(uint32_t evdevCode) {
    for (const KeyPosition& p : kPositions)
        if (p.evdev == evdevCode) return p.keyCode;
    return kNoKeyCode;
}

int keyCodeForNativeScanCode(uint32_t nativeScanCode) {
    if (nativeScanCode < 8) return kNoKeyCode;
    return keyCodeForEvdevCode(nativeScanCode - 8);
}

int keyCodeForQtKey(int qtKey, int qtModifiers) {
    if (qtKey == 0) return kNoKeyCode;
    const bool keypad = qtModifiers & Qt::KeypadModifier;
    // Qt names letters in upper case; a lower-case key from a synthetic event means the same.
    if (qtKey >= 'a' && qtKey <= 'z') qtKey -= 'a' - 'A';
    for (const KeyPosition& p : kPositions)
        if (p.qtKey == qtKey && p.keypad == keypad) return p.keyCode;
    for (const QtKeyAlias& alias : kQtAliases)
        if (alias.qtKey == qtKey) return alias.keyCode;
    // A keypad key the keypad part of the table lacks is still the main key.
    if (keypad) return keyCodeForQtKey(qtKey, 0);
    return kNoKeyCode;
}

std::optional<uint32_t> evdevCodeForKeyCode(int keyCode) {
    if (const KeyPosition* p = positionForKeyCode(keyCode)) return p->evdev;
    return std::nullopt;
}

int qtKeyForKeyCode(int keyCode) {
    const KeyPosition* p = positionForKeyCode(keyCode);
    return p ? p->qtKey : 0;
}

bool isKeypadKeyCode(int keyCode) {
    const KeyPosition* p = positionForKeyCode(keyCode);
    return p && p->keypad;
}

QKeySequence keySequenceForKeyCode(int keyCode, uint32_t cocoaFlags) {
    const int qtKey = qtKeyForKeyCode(keyCode);
    if (qtKey == 0) return {};
    uint32_t mask = cocoaFlags & (NSShiftKeyMask | NSControlKeyMask | NSAlternateKeyMask | NSCommandKeyMask);
    if (isKeypadKeyCode(keyCode)) mask |= NSNumericPadKeyMask;
    return keySequenceFor(qtKey, mask);
}
