#include "Source/KeyRecorder/KRValidator.h"

#include <QString>

#include "Source/KeyRecorder/KeyComboText.h"
#include "platform/AppKit/Application.h"
#include "platform/AppKit/DesktopShortcuts.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/Menu.h"

namespace {

constexpr uint32_t kComparedCarbonMasks =
    kCarbonCommandKey | kCarbonShiftKey | kCarbonOptionKey | kCarbonControlKey;

NSError refusal(uint32_t carbonFlags, int keyCode, std::string suggestion) {
    NSError error;
    error.domain = NSCocoaErrorDomain;
    error.code = 0;
    error.localizedDescription = KRFormat(KRLocalizedString("The key combination %@ can't be used!"),
                                          {KRStringForCarbonModifierFlagsAndKeyCode(carbonFlags, keyCode)});
    error.localizedRecoverySuggestion = std::move(suggestion);
    error.localizedRecoveryOptions = {KRLocalizedString("OK")};
    return error;
}

std::string upperCased(const std::string& text) {
    return QString::fromStdString(text).toUpper().toStdString();
}

}  // namespace

bool KRValidator::isKeyCodeAndFlagsTaken(int keyCode, uint32_t carbonFlags, NSError* error) {
    if (mDelegate) {
        std::string reason;
        if (mDelegate->shortcutValidator(*this, keyCode, KRCarbonToCocoaFlags(carbonFlags), reason)) {
            if (error) {
                if (reason.empty()) reason = KRLocalizedString("it's already used");
                *error = refusal(
                    carbonFlags, keyCode,
                    KRFormat(
                        KRLocalizedString("The key combination \"%@\" can't be used because %@."),
                        {KRReadableStringForCarbonModifierFlagsAndKeyCode(carbonFlags, keyCode), reason}));
            }
            return true;
        }
    }

    DesktopShortcuts& desktop = mDesktop ? *mDesktop : DesktopShortcuts::current();
    const auto systemWide = [&] {
        if (error)
            *error = refusal(
                carbonFlags, keyCode,
                KRFormat(
                    KRLocalizedString("The key combination \"%@\" can't be used because it's already used by "
                                      "a system-wide keyboard shortcut. (If you really want to use this key "
                                      "combination, most shortcuts can be changed in the Keyboard & Mouse "
                                      "panel in System Preferences.)"),
                    {KRReadableStringForCarbonModifierFlagsAndKeyCode(carbonFlags, keyCode)}));
        return true;
    };
    const auto hotKeys = desktop.symbolicHotKeys();
    if (!hotKeys) return true;
    for (const SymbolicHotKey& hotKey : *hotKeys) {
        if (!hotKey.enabled) continue;
        // A key without a name could not be told apart in any message.
        if (!KRStringForKeyCode(keyCode)) return true;
        if (hotKey.keyCode == keyCode &&
            (hotKey.carbonModifiers & kComparedCarbonMasks) == (carbonFlags & kComparedCarbonMasks))
            return systemWide();
    }
    if (desktop.isCombinationHeld(keyCode, carbonFlags & kComparedCarbonMasks)) return systemWide();

    const NSMenu* menu = mMainMenu ? mMainMenu : Application::sharedApplication().mainMenu();
    return menu && isKeyCodeAndFlagsTakenInMenu(keyCode, carbonFlags, *menu, error);
}

bool KRValidator::isKeyCodeAndFlagsTakenInMenu(int keyCode, uint32_t carbonFlags, const NSMenu& menu,
                                               NSError* error) {
    const std::optional<std::string> keyString = KRStringForKeyCode(keyCode);
    for (size_t i = 0; i < menu.numberOfItems(); ++i) {
        const NSMenuItem* item = menu.itemAtIndex(i);
        if (item->submenu() && isKeyCodeAndFlagsTakenInMenu(keyCode, carbonFlags, *item->submenu(), error))
            return true;
        if (item->keyEquivalent().empty() || !keyString) continue;
        // Both sides upper-cased: items keep their key in lower case ("space", "pad 1").
        if (upperCased(item->keyEquivalent()) != upperCased(*keyString)) continue;
        const uint32_t itemFlags = KRCocoaToCarbonFlags(item->keyEquivalentModifierMask());
        if ((itemFlags & kComparedCarbonMasks) != (carbonFlags & kComparedCarbonMasks)) continue;
        if (error)
            *error = refusal(
                carbonFlags, keyCode,
                KRFormat(
                    KRLocalizedString("The key combination \"%@\" can't be used because it's "
                                      "already used by the menu item \"%@\"."),
                    {KRReadableStringForCarbonModifierFlagsAndKeyCode(itemFlags, keyCode), item->title()}));
        return true;
    }
    return false;
}

NSAlert alertWithNonRecoverableError(const NSError& error) {
    NSAlert alert;
    alert.messageText = error.localizedDescription;
    if (!error.localizedRecoveryOptions.empty())
        alert.addButtonWithTitle(error.localizedRecoveryOptions.front());
    alert.informativeText = error.localizedRecoverySuggestion;
    return alert;
}
