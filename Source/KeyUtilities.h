// Names of keys and modifier masks for the hot-key text field: the modifier symbols, the
// function keys by virtual key code, and for other keys what the current keyboard layout types,
// with the keys that type a control character or an arrow named in words. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class KeyUtilities {
public:
    KeyUtilities() = delete;

    // The symbols followed by the key's name; the symbols alone for a key without one.
    static std::string stringForKeyCodeModifiers(int keyCode, uint32_t cocoaModifiers);
    // Shift, Control, Option, Command, in that order.
    static std::string stringForModifiers(uint32_t cocoaModifiers);
    // "F1" to "F19" by key code; otherwise what the key types without modifiers, or nullopt.
    static std::optional<std::string> stringForKeyCode(int keyCode);
    // What the layout types for the key with the Shift and Option of the mask, a control
    // character or arrow given by its name ("Escape", "Up"); nullopt without a layout or text.
    static std::optional<std::string> translateKeyCode(int keyCode, uint32_t cocoaModifiers);
};
