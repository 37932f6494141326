#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QTest>

#include "Source/HotKeyChooser.h"
#include "Source/HotKeyTextField.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/View.h"
#include "platform/AppKit/Window.h"
#include "tests/support/TestApplication.h"

namespace {

constexpr int kKeyCodeB = 11;

// A focused hot-key field in an active window.
struct FieldWindow {
    FieldWindow() : window((testApplication(), NSMakeSize(240, 80))) {
        KeyboardLayout::setCurrent(KeyboardLayout::fromNames("us"));
        field = new HotKeyTextField(window.contentView());
        field->setGeometry(10, 10, 200, 22);
        window.show();
        QApplication::setActiveWindow(&window);
        EXPECT_TRUE(window.makeFirstResponder(field));
    }
    Window window;
    HotKeyTextField* field;
};

}  // namespace

TEST(HotKeyTextField, TakesEveryKeyAheadOfTheMenusAndShowsIt) {
    FieldWindow w;
    int fired = 0;
    QShortcut quit(QKeySequence(Qt::CTRL | Qt::Key_Q), &w.window);
    quit.setContext(Qt::ApplicationShortcut);
    QObject::connect(&quit, &QShortcut::activated, [&] { ++fired; });

    QTest::keyPress(w.field, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(w.field->stringValue(), "Ctrl+q");

    QTest::keyPress(w.field, Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(w.field->stringValue(), "Ctrl+Shift+b");
    EXPECT_EQ(w.field->keyCode(), kKeyCodeB);
    EXPECT_EQ(w.field->modifiers(), NSCommandKeyMask | NSShiftKeyMask);
    EXPECT_EQ(w.field->stringRepresentation(), "Ctrl+Shift+b");

    // Tab is captured, not a move of the focus.
    QTest::keyPress(w.field, Qt::Key_Tab);
    EXPECT_EQ(w.field->stringValue(), "Tab");
    EXPECT_TRUE(w.field->hasFocus());
    EXPECT_FALSE(w.field->isEditable());
}

TEST(HotKeyTextField, AKeyWithoutANameAndAMaskWithoutModifiersReadAsNone) {
    FieldWindow w;
    NSEvent e;
    e.type = NSEventType::KeyDown;
    e.keyCode = -1;
    e.modifierFlags = NSFunctionKeyMask;
    w.field->keyDown(e);
    EXPECT_EQ(w.field->keyCode(), -1);
    EXPECT_EQ(w.field->modifiers(), 0u);
    EXPECT_EQ(w.field->stringRepresentation(), "");

    // Other event kinds change nothing.
    NSEvent up = e;
    up.type = NSEventType::KeyUp;
    up.keyCode = kKeyCodeB;
    w.field->keyDown(up);
    EXPECT_EQ(w.field->keyCode(), -1);
}

TEST(HotKeyChooser, OkAndCancelEndTheModalLoopAndTheListenerEndsAtAMouseDown) {
    FieldWindow w;
    HotKeyChooser chooser(&w.window, w.field);
    QMetaObject::invokeMethod(
        &chooser, [&] { chooser.ok(); }, Qt::QueuedConnection);
    EXPECT_TRUE(chooser.runModal());
    QMetaObject::invokeMethod(
        &chooser, [&] { chooser.cancel(); }, Qt::QueuedConnection);
    EXPECT_FALSE(chooser.runModal());

    w.window.show();
    QApplication::setActiveWindow(&w.window);
    QWidget* target = w.window.contentView();
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_F1, Qt::ControlModifier));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_B, Qt::ShiftModifier));
    QCoreApplication::postEvent(
        target, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    chooser.listenForKeyEvents();
    EXPECT_FALSE(chooser.keepListening());
    // The key after the mouse-down was not heard.
    EXPECT_EQ(w.field->stringValue(), "Shift+b");
    QCoreApplication::removePostedEvents(target);
}
