#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QWidget>

#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "tests/platform/AppKit/PrivateXServer.h"
#include "tests/support/TestApplication.h"

namespace {

std::shared_ptr<const KeyboardLayout> layout(const std::string& name) {
    auto made = KeyboardLayout::fromNames(name);
    EXPECT_TRUE(made) << "no xkb data for " << name;
    return made;
}

}  // namespace

TEST(KeyboardLayout, UsAndGermanKeymapsNameTheSamePositionsDifferently) {
    const auto us = layout("us");
    const auto de = layout("de");
    ASSERT_TRUE(us && de);
    struct Case {
        int keyCode;
        uint32_t flags;
        const char* us;
        const char* de;
    };
    const Case cases[] = {
        {0, 0, "a", "a"},
        {6, 0, "z", "y"},
        {16, 0, "y", "z"},
        {16, NSShiftKeyMask, "Y", "Z"},
        {19, NSShiftKeyMask, "@", "\""},
        {41, 0, ";", "\u00F6"},
        {27, 0, "-", "\u00DF"},
        {83, 0, "1", "1"},  // keypad, with Num Lock on
        {65, 0, ".", ","},
        // Dead keys show the accent they put on the next letter.
        {24, 0, "=", "\u00B4"},
        {24, NSShiftKeyMask, "+", "`"},
        {50, 0, "`", "^"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyCode);
        EXPECT_EQ(us->textForKeyCode(c.keyCode, c.flags), c.us);
        EXPECT_EQ(de->textForKeyCode(c.keyCode, c.flags), c.de);
    }
}

TEST(KeyboardLayout, KeysThatTypeNothingPrintableHaveNoText) {
    const auto us = layout("us");
    ASSERT_TRUE(us);
    for (int keyCode : {36, 48, 51, 53, 55, 122, 123, 52, -1, 200})
        EXPECT_FALSE(us->textForKeyCode(keyCode, 0)) << keyCode;
}

TEST(KeyboardLayout, UnknownLayoutsAreRefused) {
    EXPECT_FALSE(KeyboardLayout::fromNames("no-such-layout"));
    EXPECT_FALSE(KeyboardLayout::fromNames(""));
}

TEST(KeyboardLayout, WithoutADisplayTheCurrentLayoutIsUsAndChangesAreCounted) {
    const auto current = KeyboardLayout::current();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->textForKeyCode(16, 0), "y");

    const uint64_t before = KeyboardLayout::generation();
    KeyboardLayout::setCurrent(KeyboardLayout::fromNames("de"));
    EXPECT_EQ(KeyboardLayout::current()->textForKeyCode(16, 0), "z");
    KeyboardLayout::setCurrent(nullptr);
    EXPECT_FALSE(KeyboardLayout::current());
    KeyboardLayout::reloadCurrent();
    EXPECT_EQ(KeyboardLayout::current()->textForKeyCode(16, 0), "y");
    EXPECT_EQ(KeyboardLayout::generation(), before + 3);
}

TEST(KeyboardLayout, ALayoutChangeEventReadsTheLayoutAgainOncePerBurst) {
    testApplication();
    KeyboardLayout::followLayoutChanges();
    KeyboardLayout::followLayoutChanges();  // a second call adds no second reading
    KeyboardLayout::setCurrent(KeyboardLayout::fromNames("de"));
    const uint64_t before = KeyboardLayout::generation();

    QWidget window, other;
    QEvent change(QEvent::KeyboardLayoutChange);
    QCoreApplication::sendEvent(&window, &change);
    QCoreApplication::sendEvent(&other, &change);  // each window hears of it
    QCoreApplication::processEvents();
    EXPECT_EQ(KeyboardLayout::generation(), before + 1);
    EXPECT_EQ(KeyboardLayout::current()->textForKeyCode(16, 0), "y");  // the display-less "us" again

    QEvent locale(QEvent::LocaleChange);
    QCoreApplication::sendEvent(&window, &locale);
    QCoreApplication::processEvents();
    EXPECT_EQ(KeyboardLayout::generation(), before + 1);
}

TEST(KeyboardLayout, TheLiveKeymapIsReadFromTheDisplay) {
    PrivateXServer server;
    if (server.display().empty()) GTEST_SKIP() << "no X server to start";
    xcb_connection_t* connection = xcb_connect(server.display().c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(connection));
    const auto live = KeyboardLayout::fromDisplay(connection);
    xcb_disconnect(connection);
    // The server's own keymap, "us" as it starts; no fall-back is involved here.
    ASSERT_TRUE(live);
    EXPECT_EQ(live->textForKeyCode(0, 0), "a");
    EXPECT_EQ(live->textForKeyCode(19, NSShiftKeyMask), "@");
    EXPECT_EQ(live->textForKeyCode(83, 0), "1");
    EXPECT_FALSE(KeyboardLayout::fromDisplay(nullptr));
}
