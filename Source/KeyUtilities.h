// Names of keys and modifier masks for the hot-key field: modifier names, function-key names by
// key code, and for other keys the characters the keyboard layout gives, with the names of the
// arrows, Return, Tab, Escape, Space and the like in place of their control characters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class KeyUtilities {
public:
    KeyUtilities() = delete;

    // Modifier names followed by the key's name; `modifiers` is a Cocoa mask.
    static std::string stringForKeyCode(int keyCode, uint32_t modifiers);
    // As the desktop's menus name them: "Meta+Ctrl+Alt+Shift+" (Control, Command, Option, Shift).
    static std::string stringForModifiers(uint32_t modifiers);
    static std::string stringForKeyCode(int keyCode);
    // What the current layout types for the key, its named glyph localized; nullopt when nothing.
    static std::optional<std::string> translateKeyCode(int keyCode, uint32_t modifiers);
};
