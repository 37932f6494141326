#include <gtest/gtest.h>

#include "Source/KeyRecorder/KRValidator.h"
#include "Source/KeyRecorder/KeyComboText.h"
#include "platform/AppKit/Application.h"
#include "platform/AppKit/DesktopShortcuts.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/Menu.h"
#include "tests/support/TestApplication.h"

namespace {

class FakeDesktop : public DesktopShortcuts {
public:
    std::optional<std::vector<SymbolicHotKey>> symbolicHotKeys() override { return hotKeys; }
    bool isCombinationHeld(int keyCode, uint32_t carbonModifiers) override {
        probes.emplace_back(keyCode, carbonModifiers);
        return held && held->first == keyCode && held->second == carbonModifiers;
    }
    std::optional<std::vector<SymbolicHotKey>> hotKeys = std::vector<SymbolicHotKey>{};
    std::optional<std::pair<int, uint32_t>> held;
    std::vector<std::pair<int, uint32_t>> probes;
};

class RefusingDelegate : public KRValidatorDelegate {
public:
    bool shortcutValidator(KRValidator&, int keyCode, uint32_t cocoaFlags, std::string& why) override {
        asked = {keyCode, cocoaFlags};
        if (keyCode != refused) return false;
        why = reason;
        return true;
    }
    int refused{kKeyCodeF1};
    std::string reason;
    std::pair<int, uint32_t> asked{-1, 0};
};

constexpr int kKeyCodeP = 35;

// The application's menus as the window builds them: Quit in the application menu, and a
// Controls submenu whose items keep the lower-cased display string of their stored shortcut.
struct ValidatorFixture : ::testing::Test {
    void SetUp() override {
        testApplication();
        KeyboardLayout::setCurrent(KeyboardLayout::fromNames("us"));
        auto appMenu = std::make_unique<NSMenu>("Beatwick");
        NSMenuItem* quit = appMenu->addItemWithTitle(
            "Quit Beatwick", [] {}, "q");
        quit->setKeyEquivalentModifierMask(NSCommandKeyMask);
        mainMenu.addItemWithTitle("Beatwick", nullptr)->setSubmenu(std::move(appMenu));

        auto controls = std::make_unique<NSMenu>("Controls");
        controls->addItem(NSMenuItem::separatorItem());
        NSMenuItem* play = controls->addItemWithTitle(
            "Play/Pause", [] {}, "space");
        play->setKeyEquivalentModifierMask(NSAlternateKeyMask);
        NSMenuItem* next = controls->addItemWithTitle(
            "Next Track", [] {}, "\u2192");
        next->setKeyEquivalentModifierMask(NSCommandKeyMask | NSControlKeyMask);
        controls->addItemWithTitle("Previous Track", [] {});
        mainMenu.addItemWithTitle("Controls", nullptr)->setSubmenu(std::move(controls));

        validator.setDesktopShortcuts(&desktop);
        validator.setMainMenu(&mainMenu);
    }

    NSMenu mainMenu;
    FakeDesktop desktop;
    KRValidator validator;
};

}  // namespace

TEST_F(ValidatorFixture, MenuItemsRefuseTheirOwnCombinationNamingTheItem) {
    NSError error;
    ASSERT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeQ, kCarbonCommandKey, &error));
    EXPECT_EQ(error.domain, NSCocoaErrorDomain);
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(error.localizedDescription, "The key combination Ctrl+Q can't be used!");
    EXPECT_EQ(error.localizedRecoverySuggestion,
              "The key combination \"Ctrl+Q\" can't be used because it's already used by the menu item "
              "\"Quit Beatwick\".");
    EXPECT_EQ(error.localizedRecoveryOptions, std::vector<std::string>{"OK"});

    // Items store named keys in lower case; they are still found.
    EXPECT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeSpace, kCarbonOptionKey, &error));
    EXPECT_NE(error.localizedRecoverySuggestion.find("\"Play/Pause\""), std::string::npos);
    EXPECT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeRightArrow, kCarbonCommandKey | kCarbonControlKey));
}

TEST_F(ValidatorFixture, OtherModifiersOrKeysAreFree) {
    struct Case {
        int keyCode;
        uint32_t flags;
    };
    const Case free[] = {
        {kKeyCodeQ, 0},
        {kKeyCodeQ, kCarbonCommandKey | kCarbonShiftKey},
        {kKeyCodeQ, kCarbonControlKey},
        {kKeyCodeSpace, kCarbonCommandKey},
        {kKeyCodeRightArrow, kCarbonCommandKey},
        {kKeyCodeP, kCarbonCommandKey},
    };
    for (const Case& c : free) {
        NSError error;
        EXPECT_FALSE(validator.isKeyCodeAndFlagsTaken(c.keyCode, c.flags, &error))
            << c.keyCode << " " << c.flags;
        EXPECT_TRUE(error.localizedDescription.empty());
    }
    // The Function bit is no part of a menu's combination.
    EXPECT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeQ, kCarbonCommandKey | kCarbonFunctionKey));
}

TEST_F(ValidatorFixture, AnEnabledDesktopBindingRefusesWithTheSystemWideMessageADisabledOneDoesNot) {
    desktop.hotKeys = std::vector<SymbolicHotKey>{
        {kKeyCodeP, kCarbonControlKey | kCarbonShiftKey, true},
        {kKeyCodeF1, kCarbonCommandKey, false},
    };
    NSError error;
    ASSERT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeP, kCarbonControlKey | kCarbonShiftKey, &error));
    EXPECT_EQ(error.localizedDescription, "The key combination Meta+Shift+P can't be used!");
    // The table's text points to this desktop's settings, not to another system's panel.
    EXPECT_EQ(
        error.localizedRecoverySuggestion,
        "The key combination \"Meta+Shift+P\" can't be used because it's already used by a "
        "system-wide keyboard shortcut. (If you really want to use this key combination, most shortcuts can "
        "be changed in the keyboard settings of your desktop.)");
    EXPECT_FALSE(validator.isKeyCodeAndFlagsTaken(kKeyCodeP, kCarbonControlKey));
    EXPECT_FALSE(validator.isKeyCodeAndFlagsTaken(kKeyCodeF1, kCarbonCommandKey));
}

TEST_F(ValidatorFixture, ACombinationAnotherClientHoldsIsSystemWide) {
    desktop.held = std::pair<int, uint32_t>{kKeyCodeF1, kCarbonCommandKey | kCarbonOptionKey};
    NSError error;
    EXPECT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeF1, kCarbonCommandKey | kCarbonOptionKey, &error));
    EXPECT_NE(error.localizedRecoverySuggestion.find("system-wide"), std::string::npos);
    // The probe asks for the modifiers a grab can hold, without the Function bit.
    EXPECT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeF1,
                                                 kCarbonCommandKey | kCarbonOptionKey | kCarbonFunctionKey));
    EXPECT_FALSE(validator.isKeyCodeAndFlagsTaken(kKeyCodeF1, kCarbonCommandKey));
}

TEST_F(ValidatorFixture, UnreadableOrUnnameableCombinationsAreTakenWithoutAnError) {
    desktop.hotKeys = std::nullopt;
    NSError error;
    EXPECT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeP, 0, &error));
    EXPECT_TRUE(error.localizedDescription.empty());

    desktop.hotKeys = std::vector<SymbolicHotKey>{{kKeyCodeP, kCarbonCommandKey, true}};
    EXPECT_TRUE(validator.isKeyCodeAndFlagsTaken(55, kCarbonShiftKey, &error));
    EXPECT_TRUE(error.localizedDescription.empty());
}

TEST_F(ValidatorFixture, TheDelegateIsAskedFirstInCocoaTermsAndGivesTheReason) {
    RefusingDelegate delegate;
    validator.setDelegate(&delegate);
    desktop.hotKeys = std::nullopt;  // would refuse everything after the delegate

    delegate.reason = "it is the recorder's own";
    NSError error;
    ASSERT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeF1, kCarbonCommandKey | kCarbonShiftKey, &error));
    EXPECT_EQ(delegate.asked, (std::pair<int, uint32_t>{kKeyCodeF1, NSCommandKeyMask | NSShiftKeyMask}));
    EXPECT_EQ(error.localizedDescription, "The key combination Ctrl+Shift+F1 can't be used!");
    EXPECT_EQ(error.localizedRecoverySuggestion,
              "The key combination \"Ctrl+Shift+F1\" can't be used because it is the recorder's own.");

    delegate.reason.clear();
    ASSERT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeF1, 0, &error));
    EXPECT_EQ(error.localizedRecoverySuggestion,
              "The key combination \"F1\" can't be used because it's already used.");
    EXPECT_TRUE(desktop.probes.empty());
}

TEST_F(ValidatorFixture, WithoutAMenuSetTheApplicationsMainMenuIsSearched) {
    KRValidator plain;
    plain.setDesktopShortcuts(&desktop);
    Application::sharedApplication().setMainMenu(nullptr);
    EXPECT_FALSE(plain.isKeyCodeAndFlagsTaken(kKeyCodeQ, kCarbonCommandKey));
    Application::sharedApplication().setMainMenu(&mainMenu);
    EXPECT_TRUE(plain.isKeyCodeAndFlagsTaken(kKeyCodeQ, kCarbonCommandKey));
    Application::sharedApplication().setMainMenu(nullptr);
}

TEST(NonRecoverableErrorAlert, ShowsTheDescriptionTheSuggestionAndTheFirstOption) {
    const NSError error{NSCocoaErrorDomain, 0, "Can't be used!", "Because.", {"OK", "Cancel"}};
    const NSAlert alert = alertWithNonRecoverableError(error);
    EXPECT_EQ(alert.messageText, "Can't be used!");
    EXPECT_EQ(alert.informativeText, "Because.");
    EXPECT_EQ(alert.buttonTitles(), std::vector<std::string>{"OK"});
}
