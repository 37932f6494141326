// The factory shortcuts and hot key 1 on a desktop with a window manager: none of them is a
// combination the window manager binds, so each reaches Beatwick. The window manager is a real
// openbox with its stock bindings on this process's private X server.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <string>
#include <vector>

#include "Source/KeyRecorder/KRValidator.h"
#include "Source/KeyRecorder/KeyComboText.h"
#include "Source/Preferences/StoredShortcuts.h"
#include "platform/AppKit/DesktopShortcuts.h"
#include "platform/AppKit/GlobalHotKeys.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/Menu.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "tests/support/Openbox.h"

TEST(FactoryShortcutsOnADesktop, NoFactoryCombinationIsOneOpenboxBinds) {
    if (!GlobalHotKeysAvailable()) GTEST_SKIP() << "no X display";
    if (!Openbox::available()) GTEST_SKIP() << "no openbox";
    Result<PropertyList> factory =
        PropertyListSerialization::propertyListWithContentsOfFile(BEATWICK_RESOURCE_DIR "/Defaults.plist");
    ASSERT_TRUE(factory) << factory.error();

    Openbox openbox;
    ASSERT_EQ(openbox.process.state(), QProcess::Running);
    ASSERT_TRUE(openbox.waitUntilReady()) << "openbox never finished starting";
    X11DesktopShortcuts desktop;
    // Its desktop switching, so its bindings are in place.
    ASSERT_TRUE(desktop.isCombinationHeld(kKeyCodeLeftArrow, kCarbonCommandKey | kCarbonOptionKey));

    NSMenu noMenus;
    KRValidator validator;
    validator.setDesktopShortcuts(&desktop);
    validator.setMainMenu(&noMenus);
    std::vector<std::pair<std::string, StoredShortcut>> values;
    const PropertyList* shortcuts = factory.value().objectForKey(kShortcutsKey);
    ASSERT_TRUE(shortcuts && shortcuts->dictionary());
    for (const ShortcutCommand& command : shortcutCommands()) {
        const auto value = storedShortcutFromValue(shortcuts->objectForKey(command.name));
        ASSERT_TRUE(value) << command.name;
        values.emplace_back(command.name, *value);
    }
    const auto hotKey1 = storedShortcutFromValue(factory.value().objectForKey(kHotKey1Key));
    ASSERT_TRUE(hotKey1);
    values.emplace_back(kHotKey1Key, *hotKey1);
    for (const auto& [name, value] : values) {
        const uint32_t carbon = KRCocoaToCarbonFlags(static_cast<uint32_t>(value.modifierFlags));
        EXPECT_FALSE(validator.isKeyCodeAndFlagsTaken(static_cast<int>(value.keyCode), carbon))
            << name << ": "
            << KRStringForCocoaModifierFlagsAndKeyCode(static_cast<uint32_t>(value.modifierFlags),
                                                       static_cast<long>(value.keyCode));
    }
}
