#include "Source/Preferences/StoredShortcuts.h"

#include <QString>

#include "Source/KeyRecorder/KeyComboText.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/Menu.h"

const std::array<ShortcutCommand, 18>& shortcutCommands() {
    static const std::array<ShortcutCommand, 18> commands = {{
        {"Assign", kAssignMenuTag},
        {"HalveBPM", kHalveBPMMenuTag},
        {"DoubleBPM", kDoubleBPMMenuTag},
        {"PlayPause", kPlayPauseMenuTag},
        {"Next", kNextMenuTag},
        {"Previous", kPreviousMenuTag},
        {"SkipForward", kSkipForwardMenuTag},
        {"SkipBack", kSkipBackMenuTag},
        {"NextPlusSkip", kNextPlusSkipMenuTag},
        {"GetInfo", kGetInfoMenuTag},
        {"Switch", kSwitchMenuTag},
        {"RatingUp", kRatingUpMenuTag},
        {"RatingDown", kRatingDownMenuTag},
        {"VolumeUp", kVolumeUpMenuTag},
        {"VolumeDown", kVolumeDownMenuTag},
        {"StartMetronome", kStartMetronomeMenuTag},
        {"IncrementBPM", kIncrementBPMMenuTag},
        {"DecrementBPM", kDecrementBPMMenuTag},
    }};
    return commands;
}

const ShortcutCommand* shortcutCommandNamed(const std::string& name) {
    for (const ShortcutCommand& command : shortcutCommands())
        if (name == command.name) return &command;
    return nullptr;
}

std::optional<StoredShortcut> storedShortcutFromValue(const PropertyList* value) {
    if (!value || !value->dictionary()) return std::nullopt;
    const PropertyList* code = value->objectForKey("keyCode");
    const PropertyList* flags = value->objectForKey("modifierFlags");
    if (!code || !flags || !code->isNumber() || !flags->isNumber()) return std::nullopt;
    const auto keyCode = code->integer();
    const auto mask = flags->unsignedInteger();
    if (!keyCode || !mask) return std::nullopt;
    return StoredShortcut{*keyCode, *mask};
}

PropertyList valueForStoredShortcut(const StoredShortcut& shortcut) {
    return PropertyList::Dictionary{
        {"keyCode", PropertyList(static_cast<long long>(shortcut.keyCode))},
        {"modifierFlags", PropertyList(static_cast<unsigned long long>(shortcut.modifierFlags))}};
}

uint32_t menuModifierMask(uint64_t cocoaFlags) {
    // Through the Carbon form and back, so only the four modifiers both conventions share remain.
    const uint32_t cocoa = KRCarbonToCocoaFlags(KRCocoaToCarbonFlags(static_cast<uint32_t>(cocoaFlags)));
    return cocoa & (NSCommandKeyMask | NSAlternateKeyMask | NSShiftKeyMask | NSControlKeyMask);
}

bool setMenuKeyEquivalent(NSMenu& mainMenu, long tag, const StoredShortcut& shortcut) {
    NSMenuItem* controls = mainMenu.itemWithTag(kControlsMenuTag);
    NSMenuItem* item = controls && controls->submenu() ? controls->submenu()->itemWithTag(tag) : nullptr;
    if (!item) return false;
    const auto text =
        shortcut.keyCode == -1 ? std::nullopt : KRStringForKeyCode(static_cast<long>(shortcut.keyCode));
    if (!text) {
        item->setKeyEquivalent("");
        item->setShortcut(QKeySequence());
        return true;
    }
    const std::string key = QString::fromStdString(*text).toLower().toStdString();
    const uint32_t mask = menuModifierMask(shortcut.modifierFlags);
    item->setKeyEquivalent(key);
    item->setKeyEquivalentModifierMask(mask);
    // Bound to the key the display string names: a character key by the character the layout
    // gives it, as Qt matches key presses, the others by their position.
    item->setShortcut(KRKeySequenceForKeyCode(static_cast<long>(shortcut.keyCode), mask));
    return true;
}
