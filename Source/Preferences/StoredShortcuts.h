// The stored form of a shortcut and the commands that have one: under "Shortcuts" a dictionary
// from command name to {"keyCode", "modifierFlags"}, the key code -1 for no key and the mask in
// the Cocoa convention; "HotKey1" and "HotKey2" hold the global hot keys in the same form.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "Source/MenuTags.h"
#include "platform/Foundation/PropertyList.h"

class NSMenu;

inline constexpr const char* kShortcutsKey = "Shortcuts";
inline constexpr const char* kHotKey1Key = "HotKey1";
inline constexpr const char* kHotKey2Key = "HotKey2";

struct StoredShortcut {
    int64_t keyCode{-1};
    uint64_t modifierFlags{0};
    friend bool operator==(const StoredShortcut&, const StoredShortcut&) = default;
};

// A shortcut command: its name under "Shortcuts" and the tag of its item in the commands submenu.
struct ShortcutCommand {
    const char* name;
    long tag;
};

// The 18 commands, kAssignMenuTag to kDecrementBPMMenuTag in order.
const std::array<ShortcutCommand, 18>& shortcutCommands();
const ShortcutCommand* shortcutCommandNamed(const std::string& name);

// A dictionary with numbers under "keyCode" and "modifierFlags"; anything else is nullopt.
std::optional<StoredShortcut> storedShortcutFromValue(const PropertyList* value);
PropertyList valueForStoredShortcut(const StoredShortcut& shortcut);

// The masks a menu key equivalent keeps: Command, Option, Shift and Control.
uint32_t menuModifierMask(uint64_t cocoaFlags);

// Gives the item with the tag in the commands submenu (kControlsMenuTag) of the main menu the shortcut:
// its key's display string in lower case with the reduced mask, bound by its key code; a key
// code of -1 or a key without a display string removes the key equivalent and leaves the mask.
// False when there is no such item.
bool setMenuKeyEquivalent(NSMenu& mainMenu, long tag, const StoredShortcut& shortcut);
