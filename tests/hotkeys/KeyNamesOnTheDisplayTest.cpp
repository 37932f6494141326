// Key names follow the X server's keyboard: a new layout set from another client, and the group
// in effect of a keymap with several layouts.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cstdlib>
#include <functional>

#include "Source/KeyRecorder/KeyComboText.h"
#include "XTestClient.h"
#include "platform/AppKit/GlobalHotKeys.h"
#include "platform/AppKit/KeyboardLayout.h"

namespace {

constexpr long kKeyCodeZ = 6;  // "Z" on a US keyboard, "Y" on a German one

bool pumpUntil(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

bool setLayout(const QString& layouts) {
    return QProcess::execute("setxkbmap",
                             {"-display", qEnvironmentVariable("DISPLAY"), "-layout", layouts}) == 0;
}

std::string nameOfZ() {
    return KRStringForKeyCode(kKeyCodeZ).value_or("none");
}

}  // namespace

TEST(KeyNamesOnTheDisplay, FollowTheServersLayoutAndItsGroupInEffect) {
    if (!GlobalHotKeysAvailable()) GTEST_SKIP() << "no X display";
    if (QStandardPaths::findExecutable("setxkbmap").isEmpty()) GTEST_SKIP() << "no setxkbmap";
    XTestClient other;
    ASSERT_TRUE(other.ready());
    ASSERT_TRUE(setLayout("us"));
    KeyboardLayout::reloadCurrent();
    KeyboardLayout::followLayoutChanges();
    ASSERT_EQ(nameOfZ(), "Z");

    ASSERT_TRUE(setLayout("de"));
    EXPECT_TRUE(pumpUntil([] { return nameOfZ() == "Y"; })) << nameOfZ();

    ASSERT_TRUE(setLayout("us,de"));
    EXPECT_TRUE(pumpUntil([] { return nameOfZ() == "Z"; })) << "the first layout is in effect";
    other.lockGroup(1);
    EXPECT_TRUE(pumpUntil([] { return nameOfZ() == "Y"; })) << "the second layout is in effect";
    other.lockGroup(0);
    EXPECT_TRUE(pumpUntil([] { return nameOfZ() == "Z"; }));

    ASSERT_TRUE(setLayout("us"));
}
