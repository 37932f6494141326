#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "Source/HotKeyController.h"
#include "Source/KeyUtilities.h"
#include "platform/AppKit/Event.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"
#include "tests/Source/ViewTestApplication.h"

namespace fs = std::filesystem;

namespace {

PropertyList stored(int64_t keyCode, int64_t modifiers) {
    return PropertyList(PropertyList::Dictionary{{"keyCode", PropertyList(keyCode)},
                                                 {"modifierFlags", PropertyList(modifiers)}});
}

struct HotKeyControllerTest : ::testing::Test {
    QApplication& app = viewTestApplication();
    fs::path folder = fs::temp_directory_path() / ("hotkeys-" + std::to_string(::getpid()));
    PreferencesStore store{(folder / "prefs").string()};
    NSUserDefaults defaults{store, "com.orvo.Beatwick"};
    std::vector<std::string> logged;
    HotKeyController::Log log = [this](const std::string& line) { logged.push_back(line); };

    ~HotKeyControllerTest() override { fs::remove_all(folder); }
};

TEST_F(HotKeyControllerTest, StoredKeysLoadRegisterAndStayAsStored) {
    defaults.setObject(stored(0x62, NSCommandKeyMask | NSShiftKeyMask), "HotKey1");
    defaults.setObject(stored(4294967295LL, 0), "HotKey2");
    HotKeyController hotKeys(defaults, log);
    EXPECT_EQ(hotKeys.keyCode1(), 0x62u);
    EXPECT_EQ(hotKeys.modifiers1(), NSCommandKeyMask | NSShiftKeyMask) << "kept in the recorder's convention";
    EXPECT_TRUE(hotKeys.hotKey1Registered());
    EXPECT_EQ(hotKeys.keyCode2(), HotKeyController::kNoKeyCode) << "4294967295 is no key";
    EXPECT_FALSE(hotKeys.hotKey2Registered());
    EXPECT_EQ(hotKeys.currentKey2String(), "");
}

TEST_F(HotKeyControllerTest, AStoredNumberBeyondTheKeyCodesRegistersNothing) {
    for (int64_t noKey : {128LL, 0x1000BLL, 4294967307LL}) {  // 11, the B key, in 16 or 32 bits
        defaults.setObject(stored(noKey, NSCommandKeyMask), "HotKey1");
        HotKeyController hotKeys(defaults, log);
        EXPECT_EQ(hotKeys.keyCode1(), HotKeyController::kNoKeyCode) << noKey;
        EXPECT_FALSE(hotKeys.hotKey1Registered()) << noKey;
    }
}

TEST_F(HotKeyControllerTest, ChangingHotKey1SavesOnlyARealChange) {
    HotKeyController hotKeys(defaults, log);
    hotKeys.updateHotKey("", HotKeyController::kNoKeyCode, 0);
    EXPECT_FALSE(defaults.objectForKey("HotKey1")) << "the same combination: nothing saved";

    hotKeys.updateHotKey("⌘F1", 122, NSCommandKeyMask);
    EXPECT_TRUE(hotKeys.hotKey1Registered());
    auto saved = defaults.objectForKey("HotKey1");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->objectForKey("keyCode")->integer(), 122);
    EXPECT_EQ(saved->objectForKey("modifierFlags")->integer(), NSCommandKeyMask);

    hotKeys.updateHotKey("", HotKeyController::kNoKeyCode, 0);
    EXPECT_FALSE(hotKeys.hotKey1Registered()) << "cleared: unregistered";
    EXPECT_EQ(defaults.objectForKey("HotKey1")->objectForKey("keyCode")->integer(), -1);
    HotKeyController restarted(defaults, log);
    EXPECT_FALSE(restarted.hotKey1Registered()) << "and after a restart";
}

TEST_F(HotKeyControllerTest, PressesRunTheirListenerAndMissingOnesAreLogged) {
    HotKeyController hotKeys(defaults, log);
    int ones = 0;
    int owner = 0;
    hotKeys.setHotKey1Listener(&owner, [&] { ++ones; });
    hotKeys.handleHotKey(HotKeyController::kHotKey1ID);
    hotKeys.handleHotKey(HotKeyController::kHotKey2ID);
    hotKeys.handleHotKey({HotKeyController::kHotKey1ID.signature, 7});  // not ours
    EXPECT_EQ(ones, 1);
    EXPECT_EQ(logged, std::vector<std::string>{"No kHotKey2ID hot key listener"});

    logged.clear();
    hotKeys.setHotKey1Listener(nullptr, [&] { ones += 100; });
    hotKeys.setHotKey2Listener(&owner, nullptr);
    hotKeys.handleHotKey(HotKeyController::kHotKey1ID);
    EXPECT_EQ(ones, 2) << "the old listener stays";
    EXPECT_EQ(logged,
              (std::vector<std::string>{"Missing argument 0 for [Beatwick setHotKey1Listener:selector:]",
                                        "Missing argument 1 for [Beatwick setHotKey2Listener:selector:]"}));
}

TEST(KeyUtilities, NamesAndSymbols) {
    viewTestApplication();
    EXPECT_EQ(KeyUtilities::stringForKeyCode(122), "F1");
    EXPECT_EQ(KeyUtilities::stringForKeyCode(80), "F19");
    EXPECT_EQ(KeyUtilities::stringForKeyCode(53), "Escape");
    EXPECT_EQ(KeyUtilities::stringForKeyCode(49), "Space");
    EXPECT_EQ(KeyUtilities::stringForKeyCode(0), "a") << "a letter is what the layout types";
    EXPECT_EQ(KeyUtilities::stringForModifiers(NSCommandKeyMask | NSShiftKeyMask | NSAlternateKeyMask |
                                               NSControlKeyMask),
              "Meta+Ctrl+Alt+Shift+");
    EXPECT_EQ(KeyUtilities::stringForKeyCode(122, NSCommandKeyMask), "Ctrl+F1");
}

}  // namespace
