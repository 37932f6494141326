#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QKeyEvent>

#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyCodes.h"
#include "tests/support/TestApplication.h"

TEST(KeyCodes, PositionsMapBothWaysBetweenKeyCodesEvdevAndQt) {
    struct Case {
        int keyCode;
        uint32_t evdev;
        int qtKey;
    };
    const Case cases[] = {
        {0, KEY_A, Qt::Key_A},
        {6, KEY_Z, Qt::Key_Z},
        {16, KEY_Y, Qt::Key_Y},
        {18, KEY_1, Qt::Key_1},
        {29, KEY_0, Qt::Key_0},
        {36, KEY_ENTER, Qt::Key_Return},
        {48, KEY_TAB, Qt::Key_Tab},
        {49, KEY_SPACE, Qt::Key_Space},
        {50, KEY_GRAVE, Qt::Key_QuoteLeft},
        {51, KEY_BACKSPACE, Qt::Key_Backspace},
        {53, KEY_ESC, Qt::Key_Escape},
        {117, KEY_DELETE, Qt::Key_Delete},
        {114, KEY_INSERT, Qt::Key_Insert},
        {122, KEY_F1, Qt::Key_F1},
        {111, KEY_F12, Qt::Key_F12},
        {80, KEY_F19, Qt::Key_F19},
        {123, KEY_LEFT, Qt::Key_Left},
        {126, KEY_UP, Qt::Key_Up},
        {55, KEY_LEFTCTRL, Qt::Key_Control},
        {59, KEY_LEFTMETA, Qt::Key_Meta},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyCode);
        EXPECT_EQ(keyCodeForEvdevCode(c.evdev), c.keyCode);
        EXPECT_EQ(keyCodeForNativeScanCode(c.evdev + 8), c.keyCode);
        EXPECT_EQ(evdevCodeForKeyCode(c.keyCode), c.evdev);
        EXPECT_EQ(qtKeyForKeyCode(c.keyCode), c.qtKey);
        EXPECT_EQ(keyCodeForQtKey(c.qtKey), c.keyCode);
        EXPECT_FALSE(isKeypadKeyCode(c.keyCode));
    }
}

TEST(KeyCodes, KeypadKeysNeedTheKeypadModifierToLeaveTheMainRow) {
    EXPECT_EQ(keyCodeForEvdevCode(KEY_KP1), 83);
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_1, Qt::KeypadModifier), 83);
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_1), 18);
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_Enter), kKeyCodeKeypadEnter);
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_Enter, Qt::KeypadModifier), kKeyCodeKeypadEnter);
    EXPECT_TRUE(isKeypadKeyCode(83));
    EXPECT_TRUE(isKeypadKeyCode(65));
    // A keypad key the table holds only on the main row is still found.
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_QuoteLeft, Qt::KeypadModifier), 50);
}

TEST(KeyCodes, UnknownInputHasNoKeyCode) {
    EXPECT_EQ(keyCodeForNativeScanCode(0), kNoKeyCode);  // synthetic events
    EXPECT_EQ(keyCodeForNativeScanCode(7), kNoKeyCode);
    EXPECT_EQ(keyCodeForEvdevCode(0), kNoKeyCode);
    EXPECT_EQ(keyCodeForEvdevCode(KEY_MAX), kNoKeyCode);
    EXPECT_EQ(keyCodeForQtKey(0), kNoKeyCode);
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_Launch0), kNoKeyCode);
    EXPECT_FALSE(evdevCodeForKeyCode(52));  // a hole in the platform's numbering
    EXPECT_FALSE(evdevCodeForKeyCode(-1));
    EXPECT_EQ(qtKeyForKeyCode(128), 0);
}

TEST(KeyCodes, ShiftedSymbolsAndLowerCaseLettersNameTheirUsPositions) {
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_Exclam), 18);
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_Question), 44);
    EXPECT_EQ(keyCodeForQtKey(Qt::Key_AsciiTilde), 50);
    EXPECT_EQ(keyCodeForQtKey('q'), kKeyCodeQ);
}

TEST(ModifierMasks, CocoaAndCarbonConvertBothWaysDroppingOtherBits) {
    struct Case {
        uint32_t cocoa;
        uint32_t carbon;
    };
    const Case cases[] = {
        {NSCommandKeyMask, 0x100},     {NSShiftKeyMask, 0x200},
        {NSAlternateKeyMask, 0x800},   {NSControlKeyMask, 0x1000},
        {NSFunctionKeyMask, 0x800000}, {0x1A0000, 0xB00},
        {0x9E0000, 0x801B00},          {0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(carbonFlagsFromCocoa(c.cocoa), c.carbon) << std::hex << c.cocoa;
        EXPECT_EQ(cocoaFlagsFromCarbon(c.carbon), c.cocoa) << std::hex << c.carbon;
    }
    EXPECT_EQ(carbonFlagsFromCocoa(NSAlphaShiftKeyMask | NSNumericPadKeyMask | 0xffff), 0u);
    EXPECT_EQ(cocoaFlagsFromCarbon(0x0400 | 0x00ff), 0u);
}

TEST(ModifierMasks, KeySequencesUseTheEventsMappingCommandIsCtrlControlIsSuper) {
    EXPECT_EQ(keySequenceForKeyCode(kKeyCodeQ, NSCommandKeyMask),
              QKeySequence(Qt::ControlModifier | Qt::Key_Q));
    EXPECT_EQ(keySequenceForKeyCode(kKeyCodeReturn, NSControlKeyMask | NSShiftKeyMask),
              QKeySequence(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_Return));
    EXPECT_EQ(keySequenceForKeyCode(kKeyCodeSpace, NSAlternateKeyMask),
              QKeySequence(Qt::AltModifier | Qt::Key_Space));
    EXPECT_EQ(keySequenceForKeyCode(83, NSCommandKeyMask),
              QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_1));
    EXPECT_TRUE(keySequenceForKeyCode(10, 0).isEmpty());
    EXPECT_TRUE(keySequenceForKeyCode(kNoKeyCode, NSCommandKeyMask).isEmpty());
    // What Qt reports for Ctrl and Super comes back as the same masks.
    EXPECT_EQ(modifierFlagsFromQt(Qt::ControlModifier | Qt::MetaModifier),
              NSCommandKeyMask | NSControlKeyMask);
}

TEST(KeyEvents, KeyCodeComesFromTheScanCodeElseFromTheQtKey) {
    testApplication();
    // A German keyboard: the key at the US "y" position types "z"; the scan code names the position.
    QKeyEvent german(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, KEY_Y + 8, 0x7a, 0, "z");
    EXPECT_EQ(NSEvent::keyEvent(german, NSEventType::KeyDown).keyCode, 16);

    QKeyEvent synthetic(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_EQ(NSEvent::keyEvent(synthetic, NSEventType::KeyDown).keyCode, kKeyCodeEscape);

    QKeyEvent pad(QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier, "5");
    EXPECT_EQ(NSEvent::keyEvent(pad, NSEventType::KeyDown).keyCode, 87);

    // Any key still reaches the views, known or not.
    QKeyEvent unknown(QEvent::KeyPress, Qt::Key_Launch0, Qt::NoModifier);
    const NSEvent e = NSEvent::keyEvent(unknown, NSEventType::KeyDown);
    EXPECT_EQ(e.keyCode, kNoKeyCode);
    EXPECT_EQ(e.qtKey, Qt::Key_Launch0);
}
