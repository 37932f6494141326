#include "Source/HotKeyController.h"

#include <cstdio>
#include <optional>

#include "Source/KeyRecorder/KeyComboText.h"
#include "Source/KeyUtilities.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/UserDefaults.h"

namespace {

struct StoredKey {
    uint32_t keyCode;
    uint32_t modifiers;
};

// A stored shortcut's two numbers, each kept in 32 bits (a stored 4294967295 is -1, no key).
std::optional<StoredKey> storedKey(const PropertyList* value) {
    if (!value || !value->dictionary()) return std::nullopt;
    const PropertyList* code = value->objectForKey("keyCode");
    const PropertyList* flags = value->objectForKey("modifierFlags");
    if (!code || !code->integer()) return std::nullopt;
    const int64_t modifiers = flags && flags->integer() ? *flags->integer() : 0;
    // Kept in 32 bits, a number beyond the key codes would come back as one of them.
    const int64_t keyCode = *code->integer();
    return StoredKey{
        KRIsVirtualKeyCode(keyCode) ? static_cast<uint32_t>(keyCode) : HotKeyController::kNoKeyCode,
        static_cast<uint32_t>(modifiers)};
}

PropertyList storedForm(uint32_t keyCode, uint32_t modifiers) {
    return PropertyList(PropertyList::Dictionary{
        {"keyCode", PropertyList(static_cast<int64_t>(static_cast<int32_t>(keyCode)))},
        {"modifierFlags", PropertyList(static_cast<int64_t>(modifiers))}});
}

}  // namespace

HotKeyController::HotKeyController(NSUserDefaults& defaults, Log log)
    : mDefaults(defaults), mLog(std::move(log)) {
    InstallHotKeyHandler([this](EventHotKeyID id) { handleHotKey(id); });
    loadHotKeysFromPrefs();
}

HotKeyController::~HotKeyController() {
    InstallHotKeyHandler(nullptr);
    unregisterHotKeys();
}

void HotKeyController::log(const std::string& message) const {
    if (mLog)
        mLog(message);
    else
        std::fprintf(stderr, "Beatwick: %s\n", message.c_str());
}

void HotKeyController::setListener(int number, const void* target, Listener action) {
    if (!target || !action) {
        log("Missing argument " + std::string(target ? "1" : "0") + " for [Beatwick setHotKey" +
            std::to_string(number) + "Listener:selector:]");
        return;
    }
    (number == 1 ? mListener1 : mListener2) = std::move(action);
}

void HotKeyController::setHotKey1Listener(const void* target, Listener action) {
    setListener(1, target, std::move(action));
}

void HotKeyController::setHotKey2Listener(const void* target, Listener action) {
    setListener(2, target, std::move(action));
}

void HotKeyController::updateHotKey(const std::string&, uint32_t keyCode, uint32_t modifiers) {
    if (keyCode == fKeyCode1 && modifiers == fModifiers1) return;
    fKeyCode1 = keyCode;
    fModifiers1 = modifiers;
    unregisterHotKeys();
    registerHotKeys();
    saveHotKeysToPrefs();
}

void HotKeyController::loadHotKeysFromPrefs() {
    const std::optional<PropertyList> one = mDefaults.objectForKey("HotKey1");
    const std::optional<PropertyList> two = mDefaults.objectForKey("HotKey2");
    const auto first = storedKey(one ? &*one : nullptr);
    const auto second = storedKey(two ? &*two : nullptr);
    fKeyCode1 = first ? first->keyCode : kNoKeyCode;
    fModifiers1 = first ? first->modifiers : 0;
    fKeyCode2 = second ? second->keyCode : kNoKeyCode;
    fModifiers2 = second ? second->modifiers : 0;
    unregisterHotKeys();
    registerHotKeys();
}

void HotKeyController::saveHotKeysToPrefs() {
    mDefaults.setObject(storedForm(fKeyCode1, fModifiers1), "HotKey1");
    mDefaults.setObject(storedForm(fKeyCode2, fModifiers2), "HotKey2");
}

void HotKeyController::restoreHotKeysFromDefaults() {
    const std::optional<std::string> path = NSBundle::mainBundle().pathForResource("Defaults", "plist");
    if (!path) return;
    const Result<PropertyList> factory = PropertyListSerialization::propertyListWithContentsOfFile(*path);
    if (!factory) return;
    if (auto first = storedKey(factory.value().objectForKey("HotKey1"))) {
        fKeyCode1 = first->keyCode;
        fModifiers1 = first->modifiers;
    }
    if (auto second = storedKey(factory.value().objectForKey("HotKey2"))) {
        fKeyCode2 = second->keyCode;
        fModifiers2 = second->modifiers;
    }
    unregisterHotKeys();
    registerHotKeys();
}

void HotKeyController::registerHotKeys() {
    unregisterHotKeys();
    // Stored masks are the recorder's (Cocoa); the desktop's registration takes Carbon masks.
    if (fKeyCode1 != kNoKeyCode &&
        RegisterEventHotKey(fKeyCode1, carbonFlagsFromCocoa(fModifiers1), kHotKey1ID, &fHotKeyRef1) != noErr)
        fHotKeyRef1 = nullptr;
    if (fKeyCode2 != kNoKeyCode &&
        RegisterEventHotKey(fKeyCode2, carbonFlagsFromCocoa(fModifiers2), kHotKey2ID, &fHotKeyRef2) != noErr)
        fHotKeyRef2 = nullptr;
}

void HotKeyController::unregisterHotKeys() {
    for (EventHotKeyRef* ref : {&fHotKeyRef1, &fHotKeyRef2}) {
        if (*ref) UnregisterEventHotKey(*ref);
        *ref = nullptr;
    }
}

std::string HotKeyController::currentKey1String() const {
    return fKeyCode1 == kNoKeyCode ? std::string()
                                   : KeyUtilities::stringForKeyCode(static_cast<int>(fKeyCode1), fModifiers1);
}

std::string HotKeyController::currentKey2String() const {
    return fKeyCode2 == kNoKeyCode ? std::string()
                                   : KeyUtilities::stringForKeyCode(static_cast<int>(fKeyCode2), fModifiers2);
}

void HotKeyController::handleHotKey(EventHotKeyID id) {
    const bool first = id == kHotKey1ID;
    if (!first && !(id == kHotKey2ID)) return;
    const Listener& listener = first ? mListener1 : mListener2;
    if (listener) {
        Listener run = listener;  // a listener may replace itself
        run();
    } else {
        log(first ? "No kHotKey1ID hot key listener" : "No kHotKey2ID hot key listener");
    }
}
