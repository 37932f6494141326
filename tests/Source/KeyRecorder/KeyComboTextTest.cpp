#include <gtest/gtest.h>

#include "Source/KeyRecorder/KRKeyCodeTransformer.h"
#include "Source/KeyRecorder/KeyComboText.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/Foundation/PropertyList.h"
#include "tests/support/TestApplication.h"

namespace {

// Key names on a known layout, whatever the machine's; the "us" layout is put back afterwards.
class KeyNames : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        useLayout("us");
    }
    void TearDown() override { KeyboardLayout::setCurrent(KeyboardLayout::fromNames("us")); }
    static void useLayout(const char* name) {
        auto layout = KeyboardLayout::fromNames(name);
        ASSERT_TRUE(layout) << "no xkb data for " << name;
        KeyboardLayout::setCurrent(std::move(layout));
    }
};

}  // namespace

TEST_F(KeyNames, TheDisplayTableNamesFunctionKeysArrowsAndControls) {
    struct Case {
        long keyCode;
        const char* shown;
    };
    const Case cases[] = {
        {122, "F1"},
        {120, "F2"},
        {99, "F3"},
        {118, "F4"},
        {96, "F5"},
        {111, "F12"},
        {105, "F13"},
        {80, "F19"},
        {49, "Space"},
        {53, "\u238B"},
        {36, "\u21A9"},
        {76, "\u2305"},
        {48, "\u21E5"},
        {51, "\u232B"},
        {117, "\u2326"},
        {71, "\u2327"},
        {123, "\u2190"},
        {124, "\u2192"},
        {126, "\u2191"},
        {125, "\u2193"},
        {115, "\u2196"},
        {119, "\u2198"},
        {116, "\u21DE"},
        {121, "\u21DF"},
        {114, "?"},
        // The layout's keys, upper-cased; keypad keys with the "Pad" prefix.
        {0, "A"},
        {11, "B"},
        {18, "1"},
        {41, ";"},
        {83, "Pad 1"},
        {82, "Pad 0"},
        {67, "Pad *"},
        {65, "Pad ."},
        {81, "Pad ="},
    };
    for (const Case& c : cases) EXPECT_EQ(KRStringForKeyCode(c.keyCode), c.shown) << c.keyCode;
}

TEST_F(KeyNames, CodesWithoutANameAreNil) {
    // Numbers beyond the key codes name no key, however their low bits read (4294967307 is 11 in
    // 32 bits, 0x1007A is 122 in 16).
    for (long keyCode : {-1L, -200L, 0x8000L, 55L, 52L, 127L, 128L, 0x1007AL, 4294967307L, 4294967295L}) {
        EXPECT_FALSE(KRStringForKeyCode(keyCode)) << keyCode;
        EXPECT_FALSE(KRCharacterForKeyCodeAndCocoaFlags(keyCode, 0)) << keyCode;
    }

    KRKeyCodeTransformer& transformer = KRKeyCodeTransformer::shared();
    EXPECT_EQ(transformer.transformedValue(PropertyList(122)), "F1");
    EXPECT_EQ(transformer.transformedValue(PropertyList(2.0)), "D");
    EXPECT_FALSE(transformer.transformedValue(PropertyList("122")));
    EXPECT_FALSE(transformer.transformedValue(PropertyList(PropertyList::Array{})));
}

TEST_F(KeyNames, GermanLayoutRenamesKeysAndShowsDeadKeysAsAccents) {
    useLayout("de");
    EXPECT_EQ(KRStringForKeyCode(6), "Y");
    EXPECT_EQ(KRStringForKeyCode(16), "Z");
    EXPECT_EQ(KRStringForKeyCode(41), "\u00D6");
    EXPECT_EQ(KRStringForKeyCode(27), "\u00DF");  // one character, never "SS"
    EXPECT_EQ(KRStringForKeyCode(24), "\u00B4");
    EXPECT_EQ(KRStringForKeyCode(50), "^");
    EXPECT_EQ(KRStringForKeyCode(65), "Pad ,");
    EXPECT_EQ(KRStringForKeyCode(122), "F1");
}

TEST_F(KeyNames, TheReverseMapFollowsTheLayout) {
    KRKeyCodeTransformer& transformer = KRKeyCodeTransformer::shared();
    EXPECT_EQ(transformer.reverseTransformedValue("Y"), 16);
    EXPECT_EQ(transformer.reverseTransformedValue("F1"), 122);
    EXPECT_EQ(transformer.reverseTransformedValue("Pad 1"), 83);
    EXPECT_EQ(transformer.reverseTransformedValue("Space"), 49);
    EXPECT_FALSE(transformer.reverseTransformedValue(""));
    EXPECT_FALSE(transformer.reverseTransformedValue("F20"));
    useLayout("de");
    EXPECT_EQ(transformer.reverseTransformedValue("Y"), 6);
    EXPECT_EQ(transformer.reverseTransformedValue("\u00D6"), 41);
}

TEST_F(KeyNames, WithoutLayoutDataOnlyTheTableNamesKeys) {
    KeyboardLayout::setCurrent(nullptr);
    EXPECT_FALSE(KRStringForKeyCode(0));
    EXPECT_FALSE(KRStringForKeyCode(83));
    EXPECT_EQ(KRStringForKeyCode(122), "F1");
    EXPECT_FALSE(KRCharacterForKeyCodeAndCocoaFlags(0, 0));
    EXPECT_EQ(KRCharacterForKeyCodeAndCocoaFlags(36, NSShiftKeyMask), "\u21A9");
}

TEST_F(KeyNames, CharactersFollowShiftCapitalizedAndFallBackToTheDisplayString) {
    EXPECT_EQ(KRCharacterForKeyCodeAndCocoaFlags(0, 0), "A");
    EXPECT_EQ(KRCharacterForKeyCodeAndCocoaFlags(19, NSShiftKeyMask), "@");
    EXPECT_EQ(KRCharacterForKeyCodeAndCocoaFlags(19, NSCommandKeyMask | NSControlKeyMask), "2");
    EXPECT_EQ(KRCharacterForKeyCodeAndCarbonFlags(19, kCarbonShiftKey), "@");
    EXPECT_EQ(KRCharacterForKeyCodeAndCocoaFlags(kKeyCodeReturn, 0), "\u21A9");
    EXPECT_EQ(KRCharacterForKeyCodeAndCocoaFlags(kKeyCodeF1, NSShiftKeyMask), "F1");
    EXPECT_FALSE(KRCharacterForKeyCodeAndCocoaFlags(55, 0));
    useLayout("de");
    EXPECT_EQ(KRCharacterForKeyCodeAndCocoaFlags(19, NSShiftKeyMask), "\"");
    EXPECT_EQ(KRCharacterForKeyCodeAndCocoaFlags(27, 0), "\u00DF");
}

TEST_F(KeyNames, CombinationsReadAsTheDesktopsMenusShowThem) {
    EXPECT_EQ(KRStringForCocoaModifierFlags(0), "");
    EXPECT_EQ(KRStringForCocoaModifierFlags(NSCommandKeyMask | NSShiftKeyMask | NSAlternateKeyMask |
                                            NSControlKeyMask | NSFunctionKeyMask),
              "Meta+Ctrl+Alt+Shift+");
    EXPECT_EQ(KRStringForCarbonModifierFlags(kCarbonCommandKey | kCarbonControlKey), "Meta+Ctrl+");
    const struct {
        uint32_t flags;
        long keyCode;
        const char* shown;
    } cases[] = {
        {NSCommandKeyMask | NSShiftKeyMask, 11, "Ctrl+Shift+B"},
        {NSCommandKeyMask, 124, "Ctrl+Right"},
        {NSCommandKeyMask, 36, "Ctrl+Return"},
        {NSCommandKeyMask | NSAlternateKeyMask, 49, "Ctrl+Alt+Space"},
        {NSAlternateKeyMask, 83, "Alt+Num+1"},
        {NSControlKeyMask | NSShiftKeyMask, 122, "Meta+Shift+F1"},
        {NSCommandKeyMask, 41, "Ctrl+;"},
        {NSCommandKeyMask | NSFunctionKeyMask, 53, "Ctrl+Esc"},
        {NSCommandKeyMask, -1, "Ctrl+"},  // a code without a key adds nothing
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KRStringForCocoaModifierFlagsAndKeyCode(c.flags, c.keyCode), c.shown) << c.keyCode;
        EXPECT_EQ(KRReadableStringForCocoaModifierFlagsAndKeyCode(c.flags, c.keyCode), c.shown) << c.keyCode;
        const uint32_t carbon = KRCocoaToCarbonFlags(c.flags);
        EXPECT_EQ(KRStringForCarbonModifierFlagsAndKeyCode(carbon, c.keyCode), c.shown) << c.keyCode;
        EXPECT_EQ(KRReadableStringForCarbonModifierFlagsAndKeyCode(carbon, c.keyCode), c.shown) << c.keyCode;
    }
    // Every modifier combination is named as the menus name it.
    for (uint32_t flags = 0; flags < 16; ++flags) {
        const uint32_t cocoa = (flags & 1 ? NSShiftKeyMask : 0) | (flags & 2 ? NSControlKeyMask : 0) |
                               (flags & 4 ? NSAlternateKeyMask : 0) | (flags & 8 ? NSCommandKeyMask : 0);
        const std::string menus =
            KRKeySequenceForKeyCode(11, cocoa).toString(QKeySequence::NativeText).toStdString();
        EXPECT_EQ(KRStringForCocoaModifierFlags(cocoa) + "B", menus);
        EXPECT_EQ(KRStringForCocoaModifierFlagsAndKeyCode(cocoa, 11), menus);
    }
}

TEST_F(KeyNames, ACharacterKeyIsTheLayoutsAndAnyOtherKeyItsPosition) {
    useLayout("de");
    const struct {
        long keyCode;
        QKeySequence sequence;
        const char* shown;
    } cases[] = {
        {6, QKeySequence(Qt::CTRL | Qt::Key_Y), "Ctrl+Y"},
        {16, QKeySequence(Qt::CTRL | Qt::Key_Z), "Ctrl+Z"},
        {41, QKeySequence(Qt::CTRL | Qt::Key_Odiaeresis), "Ctrl+\u00D6"},
        {124, QKeySequence(Qt::CTRL | Qt::Key_Right), "Ctrl+Right"},
        {65, QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Comma)),
         "Ctrl+Num+,"},
        {83, QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_1)),
         "Ctrl+Num+1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KRKeySequenceForKeyCode(c.keyCode, NSCommandKeyMask), c.sequence) << c.keyCode;
        EXPECT_EQ(KRStringForCocoaModifierFlagsAndKeyCode(NSCommandKeyMask, c.keyCode), c.shown) << c.keyCode;
    }
    EXPECT_TRUE(KRKeySequenceForKeyCode(4294967307L, NSCommandKeyMask).isEmpty());
}

TEST(KeyComboMasks, CocoaAndCarbonConvertBothWays) {
    EXPECT_EQ(KRCocoaToCarbonFlags(0x1A0000), 0xB00u);
    EXPECT_EQ(KRCarbonToCocoaFlags(0xB00), 0x1A0000u);
    EXPECT_EQ(KRCocoaToCarbonFlags(NSControlKeyMask | NSFunctionKeyMask | NSNumericPadKeyMask), 0x801000u);
    EXPECT_EQ(KRCarbonToCocoaFlags(0x1000 | 0x400 | 0x1), NSControlKeyMask);
}

TEST(KeyComboFormat, FillsPlacesInOrderAndTakesArgumentsAsText) {
    EXPECT_EQ(KRFormat("\"%@\" because %@.", {"A", "B"}), "\"A\" because B.");
    EXPECT_EQ(KRFormat("%@ and %@", {"%@", "x"}), "%@ and x");
    EXPECT_EQ(KRFormat("%@ and %@", {"one"}), "one and %@");
    EXPECT_EQ(KRFormat("none", {"extra"}), "none");
}

TEST(KeyComboAnimation, EaseInOutRunsFromZeroThroughHalfToOne) {
    EXPECT_NEAR(KRAnimationEaseInOut(0), 0, 1e-12);
    EXPECT_NEAR(KRAnimationEaseInOut(0.5), 0.5, 1e-12);
    EXPECT_NEAR(KRAnimationEaseInOut(1), 1, 1e-12);
    EXPECT_LT(KRAnimationEaseInOut(0.1), 0.1);
    EXPECT_GT(KRAnimationEaseInOut(0.9), 0.9);
}
