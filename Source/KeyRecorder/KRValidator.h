// Decides whether a key combination may become a shortcut: refused when the delegate says so,
// when the desktop binds it, or when a menu item of the application uses it. A refusal can come
// with an error that says why, for the alert the recorder shows. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/AppKit/Alert.h"
#include "platform/Foundation/NSError.h"

class DesktopShortcuts;
class KRValidator;
class NSMenu;

class KRValidatorDelegate {
public:
    virtual ~KRValidatorDelegate() = default;
    // True when the combination (Cocoa mask) is taken; `reason` ends "… can't be used because ".
    virtual bool shortcutValidator(KRValidator& /*validator*/, int /*keyCode*/, uint32_t /*cocoaFlags*/,
                                   std::string& /*reason*/) {
        return false;
    }
};

class KRValidator {
public:
    explicit KRValidator(KRValidatorDelegate* delegate = nullptr) : mDelegate(delegate) {}

    KRValidatorDelegate* delegate() const { return mDelegate; }
    void setDelegate(KRValidatorDelegate* delegate) { mDelegate = delegate; }
    // The desktop's bindings; DesktopShortcuts::current() unless set. Not owned.
    void setDesktopShortcuts(DesktopShortcuts* provider) { mDesktop = provider; }
    // The menus to search; the application's main menu unless set. Not owned.
    void setMainMenu(const NSMenu* menu) { mMainMenu = menu; }

    // True when the combination (Carbon mask) is taken; the error, when asked for, says why.
    bool isKeyCodeAndFlagsTaken(int keyCode, uint32_t carbonFlags, NSError* error = nullptr);
    // True when an item of the menu or its submenus uses the combination.
    bool isKeyCodeAndFlagsTakenInMenu(int keyCode, uint32_t carbonFlags, const NSMenu& menu,
                                      NSError* error = nullptr);

private:
    KRValidatorDelegate* mDelegate{nullptr};
    DesktopShortcuts* mDesktop{nullptr};
    const NSMenu* mMainMenu{nullptr};
};

// The alert for an error that has no remedy but its one option: the description, the first
// recovery option as the only button, the suggestion as the informative text.
NSAlert alertWithNonRecoverableError(const NSError& error);
