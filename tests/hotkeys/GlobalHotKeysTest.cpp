#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
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
constexpr UInt32 kCarbonOption = 0x800;
constexpr UInt32 kB = 11, kF8 = 100, kF9 = 101, kF10 = 109;  // virtual key codes

// Counts the presses of one X key code that reach the application, repeats included.
struct KeyPressCounter : QAbstractNativeEventFilter {
    explicit KeyPressCounter(uint8_t keycode) : keycode(keycode) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~KeyPressCounter() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & ~0x80) == XCB_KEY_PRESS &&
            reinterpret_cast<xcb_key_press_event_t*>(event)->detail == keycode)
            ++presses;
        return false;
    }
    uint8_t keycode;
    int presses{0};
};

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

TEST_F(GlobalHotKeysTest, APressReachesTheHandlerWithNumLockOnAndAgainAfterARelease) {
    XTestClient other;
    ASSERT_TRUE(other.ready());
    EventHotKeyRef hotKey = nullptr, marker = nullptr;
    ASSERT_EQ(RegisterEventHotKey(kF9, kCarbonCommand | kCarbonShift, {1, 1}, &hotKey), noErr);
    ASSERT_EQ(RegisterEventHotKey(kF10, 0, {1, 2}, &marker), noErr);

    other.tap("Num_Lock");
    ASSERT_TRUE(pumpUntil([&] { return other.numLockOn(); }));
    for (int press = 0; press < 2; ++press) {
        other.key("Control_L", true);
        other.key("Shift_L", true);
        other.tap("F9");
        other.key("Shift_L", false);
        other.key("Control_L", false);
        other.tap("F10");  // comes after every earlier event
        ASSERT_TRUE(pumpUntil([&] { return !pressed.empty() && pressed.back().id == 2; }));
        EXPECT_EQ(pressed, (std::vector<EventHotKeyID>{{1, 1}, {1, 2}})) << "press " << press;
        pressed.clear();
    }
    other.tap("Num_Lock");

    EXPECT_EQ(UnregisterEventHotKey(hotKey), noErr);
    EXPECT_EQ(UnregisterEventHotKey(marker), noErr);
}

TEST_F(GlobalHotKeysTest, APressEndsAtItsKeysReleaseWhicheverModifierIsLetGoFirst) {
    XTestClient other;
    ASSERT_TRUE(other.ready());
    EventHotKeyRef hotKey = nullptr, marker = nullptr;
    ASSERT_EQ(RegisterEventHotKey(kB, kCarbonCommand | kCarbonOption, {1, 1}, &hotKey), noErr);
    ASSERT_EQ(RegisterEventHotKey(kF10, 0, {1, 2}, &marker), noErr);

    const struct {
        const char* name;
        std::vector<const char*> releases;
    } orders[] = {
        {"Control, Alt, then B", {"Control_L", "Alt_L", "b"}},
        {"Alt, Control, then B", {"Alt_L", "Control_L", "b"}},
        {"Control, B, then Alt", {"Control_L", "b", "Alt_L"}},
        {"B, Alt, then Control", {"b", "Alt_L", "Control_L"}},
        {"B, Control, then Alt", {"b", "Control_L", "Alt_L"}},
    };
    for (const auto& order : orders) {
        for (int press = 0; press < 3; ++press) {
            other.key("Control_L", true);
            other.key("Alt_L", true);
            other.key("b", true);
            for (const char* key : order.releases) other.key(key, false);
            other.tap("F10");
            ASSERT_TRUE(pumpUntil([&] { return !pressed.empty() && pressed.back().id == 2; })) << order.name;
            EXPECT_EQ(pressed, (std::vector<EventHotKeyID>{{1, 1}, {1, 2}}))
                << order.name << ", press " << press;
            pressed.clear();
        }
    }

    EXPECT_EQ(UnregisterEventHotKey(hotKey), noErr);
    EXPECT_EQ(UnregisterEventHotKey(marker), noErr);
}

TEST_F(GlobalHotKeysTest, AKeyHeldWhileTheServerRepeatsItIsOnePress) {
    XTestClient other;
    ASSERT_TRUE(other.ready());
    other.repeatHeldKeys(30, 10);
    EventHotKeyRef hotKey = nullptr, marker = nullptr;
    ASSERT_EQ(RegisterEventHotKey(kF9, kCarbonCommand | kCarbonShift, {1, 1}, &hotKey), noErr);
    ASSERT_EQ(RegisterEventHotKey(kF10, 0, {1, 2}, &marker), noErr);
    KeyPressCounter f9(other.keycode("F9"));

    other.key("Control_L", true);
    other.key("Shift_L", true);
    other.key("F9", true);
    // Held until the server has repeated it a few times.
    ASSERT_TRUE(pumpUntil([&] { return f9.presses >= 5; }));
    other.key("F9", false);
    other.key("Shift_L", false);
    other.key("Control_L", false);
    other.tap("F10");
    ASSERT_TRUE(pumpUntil([&] { return !pressed.empty() && pressed.back().id == 2; }));
    EXPECT_EQ(pressed, (std::vector<EventHotKeyID>{{1, 1}, {1, 2}}))
        << f9.presses << " presses from the server";

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
