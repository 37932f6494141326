#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <filesystem>
#include <functional>
#include <vector>

#include "Source/HotKeyController.h"
#include "XTestClient.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/GlobalHotKeys.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"

namespace {

constexpr UInt32 kCarbonCommand = 0x100;
// Not Option: Control-Alt with a function key switches the virtual terminal on X servers.
constexpr UInt32 kCarbonShift = 0x200;
constexpr UInt32 kF8 = 100, kF9 = 101, kF10 = 109;  // virtual key codes

// Runs the event loop until the condition holds, within a bound.
bool pumpUntil(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

struct GlobalHotKeysTest : ::testing::Test {
    std::vector<EventHotKeyID> pressed;
    void SetUp() override {
        if (!GlobalHotKeysAvailable()) GTEST_SKIP() << "no X display";
        InstallHotKeyHandler([this](EventHotKeyID id) { pressed.push_back(id); });
    }
    void TearDown() override { InstallHotKeyHandler(nullptr); }
};

TEST_F(GlobalHotKeysTest, APressReachesTheHandlerOnceWithNumLockOnHoweverLongItIsHeld) {
    XTestClient other;
    ASSERT_TRUE(other.ready());
    EventHotKeyRef hotKey = nullptr, marker = nullptr;
    ASSERT_EQ(RegisterEventHotKey(kF9, kCarbonCommand | kCarbonShift, {1, 1}, &hotKey), noErr);
    ASSERT_EQ(RegisterEventHotKey(kF10, 0, {1, 2}, &marker), noErr);

    other.tap("Num_Lock");
    ASSERT_TRUE(pumpUntil([&] { return other.numLockOn(); }));
    other.key("Control_L", true);
    other.key("Shift_L", true);
    other.key("F9", true);
    other.key("F9", true);  // the key repeats while held
    other.key("F9", true);
    other.key("F9", false);
    other.key("Shift_L", false);
    other.key("Control_L", false);
    other.tap("F10");  // comes after every earlier event
    ASSERT_TRUE(pumpUntil([&] { return !pressed.empty() && pressed.back().id == 2; }));
    EXPECT_EQ(pressed, (std::vector<EventHotKeyID>{{1, 1}, {1, 2}}));

    // Released and pressed again: a second press.
    pressed.clear();
    other.key("Control_L", true);
    other.key("Shift_L", true);
    other.tap("F9");
    other.key("Shift_L", false);
    other.key("Control_L", false);
    other.tap("F10");
    ASSERT_TRUE(pumpUntil([&] { return pressed.size() == 2; }));
    EXPECT_EQ(pressed.front().id, 1u);
    other.tap("Num_Lock");

    EXPECT_EQ(UnregisterEventHotKey(hotKey), noErr);
    EXPECT_EQ(UnregisterEventHotKey(marker), noErr);
}

TEST_F(GlobalHotKeysTest, AKeyHeldByAnotherClientFailsSilently) {
    XTestClient other;
    ASSERT_TRUE(other.ready());
    other.grabWithControl("F8");
    EventHotKeyRef ref = nullptr;
    EXPECT_EQ(RegisterEventHotKey(kF8, kCarbonCommand, {1, 3}, &ref), eventHotKeyExistsErr);
    EXPECT_EQ(ref, nullptr);

    // The controller of the stored hot keys: not registered, and nothing said about it.
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("hotkeys-x-" + std::to_string(::getpid()));
    {
        PreferencesStore store((folder / "prefs").string());
        NSUserDefaults defaults(store, "com.orvo.Beatwick");
        defaults.setObject(PropertyList(PropertyList::Dictionary{
                               {"keyCode", PropertyList(int64_t{kF8})},
                               {"modifierFlags", PropertyList(int64_t{NSCommandKeyMask})}}),
                           "HotKey1");
        std::vector<std::string> logged;
        HotKeyController hotKeys(defaults, [&](const std::string& line) { logged.push_back(line); });
        EXPECT_FALSE(hotKeys.hotKey1Registered());
        EXPECT_TRUE(logged.empty());
    }
    fs::remove_all(folder);
}

}  // namespace
