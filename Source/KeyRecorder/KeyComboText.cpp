#include "Source/KeyRecorder/KeyComboText.h"

#include <QCoreApplication>
#include <QList>
#include <QLocale>
#include <QString>
#include <cmath>
#include <numbers>

#include "Source/KeyRecorder/KRKeyCodeTransformer.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/MenuShortcuts.h"
#include "platform/Foundation/Bundle.h"

namespace {

struct ModifierName {
    uint32_t cocoaMask;
    const char* name;
};

// The desktop's names, in the order its menus show them: Control is the Meta key, Command the
// Ctrl key, Option the Alt key. Qt translates them under "QShortcut", as for its own menus.
constexpr ModifierName kModifierNames[] = {
    {NSControlKeyMask, "Meta"},
    {NSCommandKeyMask, "Ctrl"},
    {NSAlternateKeyMask, "Alt"},
    {NSShiftKeyMask, "Shift"},
};

constexpr uint32_t kMenuModifiers = NSShiftKeyMask | NSControlKeyMask | NSAlternateKeyMask | NSCommandKeyMask;

std::string keyText(long keyCode) {
    return KRStringForKeyCode(keyCode).value_or(std::string{});
}

// The character of a key that types one on the current layout, upper-cased as Qt names keys by
// it; nothing for the function keys, arrows, Space and the like, which are the same on every
// layout.
std::optional<char32_t> typedCharacter(int keyCode) {
    const int qtKey = qtKeyForKeyCode(keyCode);
    if (qtKey == 0 || qtKey >= Qt::Key_Escape || qtKey == Qt::Key_Space) return std::nullopt;
    const auto layout = KeyboardLayout::current();
    const std::optional<std::string> typed = layout ? layout->textForKeyCode(keyCode, 0) : std::nullopt;
    const QList<uint> characters = typed ? QString::fromStdString(*typed).toUcs4() : QList<uint>{};
    if (characters.size() != 1) return std::nullopt;
    return QChar::toUpper(static_cast<char32_t>(characters.front()));
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

QKeySequence KRKeySequenceForKeyCode(long keyCode, uint32_t cocoaFlags) {
    if (!KRIsVirtualKeyCode(keyCode)) return {};
    const int code = static_cast<int>(keyCode);
    // A dead key types nothing, so it is bound by the key itself, as Qt reports it pressed.
    if (const auto layout = KeyboardLayout::current())
        if (const int deadKey = layout->qtDeadKeyForKeyCode(code))
            return keySequenceFor(deadKey, cocoaFlags & kMenuModifiers);
    if (const std::optional<char32_t> character = typedCharacter(code)) {
        const uint32_t keypad = isKeypadKeyCode(code) ? NSNumericPadKeyMask : 0;
        return keySequenceFor(static_cast<int>(*character), (cocoaFlags & kMenuModifiers) | keypad);
    }
    return keySequenceForKeyCode(code, cocoaFlags);
}

std::string KRStringForCocoaModifierFlags(uint32_t flags) {
    std::string names;
    for (const ModifierName& modifier : kModifierNames)
        if (flags & modifier.cocoaMask)
            names += QCoreApplication::translate("QShortcut", modifier.name).toStdString() + "+";
    return names;
}

std::string KRStringForCarbonModifierFlags(uint32_t flags) {
    return KRStringForCocoaModifierFlags(KRCarbonToCocoaFlags(flags));
}

std::string KRStringForCocoaModifierFlagsAndKeyCode(uint32_t flags, long keyCode) {
    const QKeySequence sequence = KRKeySequenceForKeyCode(keyCode, flags);
    if (!sequence.isEmpty()) return shortcutText(sequence).toStdString();
    return KRStringForCocoaModifierFlags(flags) + keyText(keyCode);
}

std::string KRStringForCarbonModifierFlagsAndKeyCode(uint32_t flags, long keyCode) {
    return KRStringForCocoaModifierFlagsAndKeyCode(KRCarbonToCocoaFlags(flags), keyCode);
}

std::string KRReadableStringForCocoaModifierFlagsAndKeyCode(uint32_t flags, long keyCode) {
    return KRStringForCocoaModifierFlagsAndKeyCode(flags, keyCode);
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
