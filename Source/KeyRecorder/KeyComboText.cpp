#include "Source/KeyRecorder/KeyComboText.h"

#include <QLocale>
#include <QString>
#include <cmath>
#include <numbers>

#include "Source/KeyRecorder/KRKeyCodeTransformer.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/Foundation/Bundle.h"

namespace {

struct ModifierText {
    uint32_t cocoaMask;
    const char* text;
};

// Symbols in the order Control, Option, Shift, Command.
constexpr ModifierText kModifierSymbols[] = {
    {NSControlKeyMask, "\u2303"},
    {NSAlternateKeyMask, "\u2325"},
    {NSShiftKeyMask, "\u21E7"},
    {NSCommandKeyMask, "\u2318"},
};

// Words in the order Command, Option, Control, Shift; keys of the "KeyRecorder" table.
constexpr ModifierText kModifierWords[] = {
    {NSCommandKeyMask, "Command + "},
    {NSAlternateKeyMask, "Option + "},
    {NSControlKeyMask, "Control + "},
    {NSShiftKeyMask, "Shift + "},
};

std::string keyText(long keyCode) {
    return KRStringForKeyCode(keyCode).value_or(std::string{});
}

}  // namespace

std::string KRLocalizedString(const std::string& key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "KeyRecorder");
}

std::string KRFormat(std::string format, std::initializer_list<std::string> arguments) {
    size_t from = 0;
    for (const std::string& argument : arguments) {
        const size_t at = format.find("%@", from);
        if (at == std::string::npos) break;
        format.replace(at, 2, argument);
        // An argument that itself holds "%@" is text, not a place for the next one.
        from = at + argument.size();
    }
    return format;
}

std::optional<std::string> KRStringForKeyCode(long keyCode) {
    return KRKeyCodeTransformer::shared().stringForKeyCode(keyCode);
}

std::string KRStringForCocoaModifierFlags(uint32_t flags) {
    std::string symbols;
    for (const ModifierText& modifier : kModifierSymbols)
        if (flags & modifier.cocoaMask) symbols += modifier.text;
    return symbols;
}

std::string KRStringForCarbonModifierFlags(uint32_t flags) {
    return KRStringForCocoaModifierFlags(KRCarbonToCocoaFlags(flags));
}

std::string KRStringForCocoaModifierFlagsAndKeyCode(uint32_t flags, long keyCode) {
    return KRStringForCocoaModifierFlags(flags) + keyText(keyCode);
}

std::string KRStringForCarbonModifierFlagsAndKeyCode(uint32_t flags, long keyCode) {
    return KRStringForCocoaModifierFlagsAndKeyCode(KRCarbonToCocoaFlags(flags), keyCode);
}

std::string KRReadableStringForCocoaModifierFlagsAndKeyCode(uint32_t flags, long keyCode) {
    std::string words;
    for (const ModifierText& modifier : kModifierWords)
        if (flags & modifier.cocoaMask) words += KRLocalizedString(modifier.text);
    return words + keyText(keyCode);
}

std::string KRReadableStringForCarbonModifierFlagsAndKeyCode(uint32_t flags, long keyCode) {
    return KRReadableStringForCocoaModifierFlagsAndKeyCode(KRCarbonToCocoaFlags(flags), keyCode);
}

uint32_t KRCocoaToCarbonFlags(uint32_t cocoaFlags) {
    return carbonFlagsFromCocoa(cocoaFlags);
}

uint32_t KRCarbonToCocoaFlags(uint32_t carbonFlags) {
    return cocoaFlagsFromCarbon(carbonFlags);
}

std::optional<std::string> KRCharacterForKeyCodeAndCocoaFlags(long keyCode, uint32_t cocoaFlags) {
    const auto layout = KeyboardLayout::current();
    if (layout && KRIsVirtualKeyCode(keyCode)) {
        const uint32_t typingFlags = cocoaFlags & (NSShiftKeyMask | NSAlternateKeyMask);
        if (const std::optional<std::string> typed =
                layout->textForKeyCode(static_cast<int>(keyCode), typingFlags)) {
            const QString text = QString::fromStdString(*typed);
            const QString upper = QLocale::system().toUpper(text);
            // A locale that spells a letter with two ("ß" to "SS") would show two keys.
            return (upper.size() == text.size() ? upper : text).toStdString();
        }
    }
    return KRStringForKeyCode(keyCode);
}

std::optional<std::string> KRCharacterForKeyCodeAndCarbonFlags(long keyCode, uint32_t carbonFlags) {
    return KRCharacterForKeyCodeAndCocoaFlags(keyCode, KRCarbonToCocoaFlags(carbonFlags));
}

double KRAnimationEaseInOut(double x) {
    return (std::sin(x * std::numbers::pi - std::numbers::pi / 2) + 1) / 2;
}
