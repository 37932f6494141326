#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>

#include "platform/AppKit/Button.h"
#include "platform/AppKit/SegmentedControl.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/View.h"
#include "platform/AppKit/Window.h"
#include "tests/support/TestApplication.h"

namespace {

// A view that takes the keyboard and records what reaches it.
class RecordingView : public View {
public:
    using View::View;
    bool acceptsFirstResponder() const override { return true; }
    void mouseDown(const NSEvent& e) override { downs.push_back(e); }
    void keyDown(const NSEvent& e) override {
        if (passReturn && e.firstCharacter() == u'\r') return View::keyDown(e);
        keys.push_back(e);
    }
    std::vector<NSEvent> downs;
    std::vector<NSEvent> keys;
    bool passReturn{false};
};

// A window with the recording view focused beside a text field and a default button.
struct KeyWindow {
    KeyWindow() : window((testApplication(), NSMakeSize(200, 100))) {
        field = new TextField(window.contentView());
        field->setGeometry(0, 0, 80, 20);
        view = new RecordingView(NSMakeRect(0, 0, 200, 60), window.contentView());
        button = new Button(NSMakeRect(120, 70, 60, 20), window.contentView());
        button->setKeyEquivalent("\r");
        button->action = [this] { ++clicks; };
        window.show();
        EXPECT_TRUE(window.makeFirstResponder(view));
    }
    Window window;
    TextField* field;
    RecordingView* view;
    Button* button;
    int clicks{0};
};

void sendMouse(QWidget* to, QEvent::Type type, QPoint at) {
    QMouseEvent event(type, at, to->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

}  // namespace

TEST(MouseDown, EveryPressIsOneIncludingDoubleClicks) {
    testApplication();
    Window window(NSMakeSize(100, 100));
    auto* view = new RecordingView(NSMakeRect(0, 0, 100, 100), window.contentView());
    window.show();
    // Qt turns the second of two quick presses into a double-click event with no press of its own.
    sendMouse(view, QEvent::MouseButtonPress, {10, 10});
    sendMouse(view, QEvent::MouseButtonRelease, {10, 10});
    sendMouse(view, QEvent::MouseButtonDblClick, {10, 10});
    sendMouse(view, QEvent::MouseButtonRelease, {10, 10});
    ASSERT_EQ(view->downs.size(), 2u);
    EXPECT_EQ(view->downs[1].clickCount, 2);
    EXPECT_EQ(view->downs[0].locationInWindow, NSMakePoint(10, 90)) << "y-up in the window";

    // Fast taps through the window system's path: six presses, six mouseDowns.
    view->downs.clear();
    for (int i = 0; i < 3; ++i) QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QTest::mouseClick(view, Qt::LeftButton);
    const size_t expected = view->downs.size();
    EXPECT_GE(expected, 4u);
    int presses = 0;
    for (const NSEvent& e : view->downs) presses += e.type == NSEventType::LeftMouseDown;
    EXPECT_EQ(presses, static_cast<int>(expected));
}

TEST(MouseDown, ReachesTheSuperviewWhenASubviewLeavesIt) {
    testApplication();
    Window window(NSMakeSize(100, 100));
    auto* outer = new RecordingView(NSMakeRect(0, 0, 100, 100), window.contentView());
    auto* inner = new View(NSMakeRect(10, 10, 30, 30), outer);
    window.show();
    sendMouse(inner, QEvent::MouseButtonPress, {5, 5});
    sendMouse(inner, QEvent::MouseButtonDblClick, {5, 5});
    EXPECT_EQ(outer->downs.size(), 2u);
}

TEST(KeyDown, KeysRepeatsTabAndSpaceArriveButModifiersAloneDoNot) {
    KeyWindow w;
    struct Case {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool reaches;
        const char* characters;
    };
    const Case cases[] = {
        {"letter", Qt::Key_A, Qt::NoModifier, true, "a"},
        {"Shift alone", Qt::Key_Shift, Qt::ShiftModifier, false, ""},
        {"Ctrl alone", Qt::Key_Control, Qt::ControlModifier, false, ""},
        {"Alt alone", Qt::Key_Alt, Qt::AltModifier, false, ""},
        {"Super alone", Qt::Key_Meta, Qt::MetaModifier, false, ""},
        {"Caps Lock", Qt::Key_CapsLock, Qt::NoModifier, false, ""},
        {"Tab", Qt::Key_Tab, Qt::NoModifier, true, "\t"},
        {"Shift-Tab", Qt::Key_Backtab, Qt::ShiftModifier, true, "\x19"},
        {"Space", Qt::Key_Space, Qt::NoModifier, true, " "},
        {"Return", Qt::Key_Return, Qt::NoModifier, true, "\r"},
        {"Enter", Qt::Key_Enter, Qt::KeypadModifier, true, "\x03"},
        {"Escape", Qt::Key_Escape, Qt::NoModifier, true, "\x1b"},
        {"F5", Qt::Key_F5, Qt::NoModifier, true, "\xef\x9c\x88"},
    };
    for (const Case& c : cases) {
        w.view->keys.clear();
        QTest::keyClick(w.view, c.key, c.modifiers);
        ASSERT_EQ(w.view->keys.size(), c.reaches ? 1u : 0u) << c.name;
        if (c.reaches) {
            EXPECT_EQ(w.view->keys[0].characters, c.characters) << c.name;
        }
        EXPECT_EQ(w.window.firstResponder(), w.view) << c.name << " kept the focus";
    }
    EXPECT_EQ(w.clicks, 0) << "Return went to the view, not the default button";

    w.view->keys.clear();
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_T, Qt::NoModifier, "t", true);
    QApplication::sendEvent(w.view, &repeat);
    ASSERT_EQ(w.view->keys.size(), 1u);
    EXPECT_TRUE(w.view->keys[0].isARepeat);

    w.view->keys.clear();
    QTest::keyClick(w.view, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(w.view->keys.size(), 1u);
    EXPECT_EQ(w.view->keys[0].modifierFlags, NSCommandKeyMask | NSShiftKeyMask);
    EXPECT_EQ(w.view->keys[0].charactersIgnoringModifiers, "K");
}

TEST(KeyDown, ReturnLeftByTheViewClicksTheDefaultButton) {
    KeyWindow w;
    w.view->passReturn = true;
    EXPECT_EQ(w.window.defaultButton(), w.button);
    QTest::keyClick(w.view, Qt::Key_Return);
    EXPECT_EQ(w.clicks, 1);
    QTest::keyClick(w.view, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(w.clicks, 1) << "Enter is a key the view took";
    w.button->setEnabled(false);
    QTest::keyClick(w.view, Qt::Key_Return);
    EXPECT_EQ(w.clicks, 1) << "a disabled default button is not clicked";
}

TEST(SegmentedControl, ActsOnMouseDownWithTheSegmentHighlighted) {
    testApplication();
    Window window(NSMakeSize(100, 40));
    auto* control = new SegmentedControl(2, window.contentView());
    control->setFrame(NSMakeRect(0, 0, 56, 20));
    control->setWidth(28, 0);
    control->setWidth(28, 1);
    control->setTag(0, 0);
    control->setTag(1, 1);
    control->setSendsActionOnMouseDown(true);
    std::vector<long> seen;
    control->action = [&] { seen.push_back(control->tagForSegment(control->highlightedSegment())); };
    window.show();
    sendMouse(control, QEvent::MouseButtonPress, {40, 10});
    EXPECT_EQ(seen, std::vector<long>{1}) << "sent on the press";
    sendMouse(control, QEvent::MouseButtonRelease, {40, 10});
    EXPECT_EQ(seen.size(), 1u) << "not again on release";
    EXPECT_EQ(control->highlightedSegment(), -1);
    sendMouse(control, QEvent::MouseButtonPress, {3, 10});
    sendMouse(control, QEvent::MouseButtonDblClick, {3, 10});
    EXPECT_EQ(seen, (std::vector<long>{1, 0, 0})) << "a quick second press acts too";
}

TEST(SegmentedControl, SegmentsAreDarkOnlyWhilePressed) {
    testApplication();
    Window window(NSMakeSize(100, 40));
    auto* control = new SegmentedControl(2, window.contentView());
    control->setFrame(NSMakeRect(0, 0, 56, 20));
    control->setWidth(28, 0);
    control->setWidth(28, 1);
    window.show();
    const QImage rest = control->renderToImage();
    const QPoint corner(3, 3);  // inside segment 0, clear of its label
    for (bool onDown : {true, false}) {
        control->setSendsActionOnMouseDown(onDown);
        int selectedInAction = -2;
        control->action = [&] { selectedInAction = control->selectedSegment(); };
        sendMouse(control, QEvent::MouseButtonPress, {3, 10});
        EXPECT_NE(control->renderToImage().pixel(corner), rest.pixel(corner)) << "dark while pressed";
        sendMouse(control, QEvent::MouseButtonRelease, {3, 10});
        EXPECT_EQ(selectedInAction, 0) << "the action sees the pressed segment, on down " << onDown;
        EXPECT_EQ(control->selectedSegment(), -1) << "no segment stays selected, on down " << onDown;
        EXPECT_EQ(control->renderToImage().pixel(corner), rest.pixel(corner))
            << "light again, on down " << onDown;
    }
}
