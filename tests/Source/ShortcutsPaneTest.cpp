#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <filesystem>

#include "Source/MainMenu.h"
#include "Source/Preferences/PrefsController.h"
#include "Source/Preferences/ShortcutsPane.h"
#include "Source/Preferences/StoredShortcuts.h"
#include "platform/AppKit/Application.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/URLOpener.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/UserDefaults.h"
#include "tests/Source/ViewTestApplication.h"

namespace fs = std::filesystem;

namespace {

struct MenuHost : MainMenuHost {
    void performMenuCommand(MenuCommand) override {}
    bool iTunesIsRunning() override { return true; }
    PlayState menuPlayState() override { return kPlayStatePlaying; }
    bool metronomeIsPlaying() override { return false; }
    int menuDisplayedBPM() override { return 120; }
    bool hasCurrentTrack() const override { return true; }
    bool mainWindowIsVisible() override { return true; }
    std::optional<PropertyList::Dictionary> storedShortcuts() override { return std::nullopt; }
    void storeShortcuts(const PropertyList::Dictionary&) override {}
};

struct HotKeyCall {
    std::string text;
    int64_t code;
    uint64_t flags;
};

PropertyList shortcut(int64_t keyCode, uint64_t flags) {
    return valueForStoredShortcut({keyCode, flags});
}

PropertyList::Dictionary factory() {
    Result<PropertyList> read =
        PropertyListSerialization::propertyListWithContentsOfFile(BEATWICK_RESOURCE_DIR "/Defaults.plist");
    EXPECT_TRUE(read) << read.error();
    return *read.value().dictionary();
}

// The preferences window's Shortcuts pane over the application's menus, with its own defaults.
struct ShortcutsPaneTest : ::testing::Test {
    QApplication& app = viewTestApplication();
    fs::path folder =
        fs::temp_directory_path() / ("shortcuts-" + std::to_string(::getpid()) + "-" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::unique_ptr<PreferencesStore> store;
    std::unique_ptr<NSUserDefaults> defaults;
    MenuHost host;
    MainMenu menu{host};
    std::unique_ptr<PrefsController> prefs;
    std::vector<HotKeyCall> hotKeys;
    int rebinds{0};

    void SetUp() override {
        store = std::make_unique<PreferencesStore>((folder / "prefs").string());
        defaults = std::make_unique<NSUserDefaults>(*store, "com.orvo.Beatwick");
        Application::sharedApplication().setMainMenu(&menu.mainMenu());
    }
    void TearDown() override {
        prefs.reset();
        Application::sharedApplication().setMainMenu(nullptr);
        fs::remove_all(folder);
    }

    ShortcutsPane& load() {
        prefs = std::make_unique<PrefsController>(*defaults);
        prefs->hotKeyUpdater = [this](const std::string& text, int64_t code, uint64_t flags) {
            hotKeys.push_back({text, code, flags});
        };
        prefs->menuKeyEquivalentsChanged = [this] { ++rebinds; };
        prefs->window();
        return *prefs->shortcutsPane();
    }
    NSMenuItem& item(long tag) { return *menu.controlsMenu()->itemWithTag(tag); }
    PropertyList stored(const char* command) {
        const auto shortcuts = defaults->dictionaryForKey("Shortcuts");
        if (!shortcuts || !shortcuts->contains(command)) return PropertyList("absent");
        return shortcuts->at(command);
    }
};

TEST_F(ShortcutsPaneTest, RecordingStoresTheShortcutAndGivesItToTheMenuItem) {
    ShortcutsPane& pane = load();
    rebinds = 0;
    pane.recorderForTag(200)->setKeyCombo({NSCommandKeyMask | NSShiftKeyMask, 11});
    EXPECT_EQ(stored("Assign"), shortcut(11, 0x120000));
    EXPECT_EQ(item(200).keyEquivalent(), "b");
    EXPECT_EQ(item(200).keyEquivalentModifierMask(), NSCommandKeyMask | NSShiftKeyMask);
    EXPECT_EQ(item(200).shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    EXPECT_EQ(rebinds, 1) << "the bindings follow at once";

    // Clearing stores no key and takes the key equivalent away.
    pane.recorderForTag(200)->setKeyCombo(kEmptyKeyCombo);
    EXPECT_EQ(stored("Assign"), shortcut(-1, 0));
    EXPECT_EQ(item(200).keyEquivalent(), "");
    EXPECT_TRUE(item(200).shortcut().isEmpty());
    EXPECT_TRUE(hotKeys.size() == 1) << "only the set-up's hot key reached the hot-key layer";

    EXPECT_EQ(pane.tagForRecorder(pane.recorderForTag(217)), 217);
    EXPECT_EQ(pane.tagForRecorder(&pane.hotkey1Recorder()), 0);
    EXPECT_EQ(pane.tagForRecorder(nullptr), 0);
}

TEST_F(ShortcutsPaneTest, SetUpRewritesEveryEntryAndAnAbsentOrBrokenOneAsNoKey) {
    defaults->setObject(PropertyList(PropertyList::Dictionary{{"Next", shortcut(124, NSCommandKeyMask)},
                                                              {"Previous", PropertyList("broken")}}),
                        "Shortcuts");
    defaults->setObject(shortcut(11, NSCommandKeyMask | NSAlternateKeyMask), "HotKey1");
    item(210).setKeyEquivalent("x");
    ShortcutsPane& pane = load();
    EXPECT_TRUE(pane.hotkey1Recorder().canCaptureGlobalHotKeys());
    for (long tag = 200; tag <= 217; ++tag)
        EXPECT_FALSE(pane.recorderForTag(tag)->canCaptureGlobalHotKeys()) << tag;

    EXPECT_EQ(stored("Next"), shortcut(124, NSCommandKeyMask));
    EXPECT_EQ(item(204).shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Right));
    EXPECT_EQ(stored("Previous"), shortcut(-1, 0));
    EXPECT_EQ(stored("Switch"), shortcut(-1, 0));
    EXPECT_EQ(item(210).keyEquivalent(), "") << "an absent command loses its key equivalent";
    EXPECT_EQ(defaults->dictionaryForKey("Shortcuts")->size(), 18u);

    ASSERT_EQ(hotKeys.size(), 1u);
    EXPECT_EQ(hotKeys[0].code, 11);
    EXPECT_EQ(hotKeys[0].flags, NSCommandKeyMask | NSAlternateKeyMask);
    EXPECT_FALSE(hotKeys[0].text.empty());
    EXPECT_EQ(defaults->objectForKey("HotKey1"), shortcut(11, NSCommandKeyMask | NSAlternateKeyMask))
        << "the pane leaves storing hot key 1 to the hot-key layer";
}

TEST_F(ShortcutsPaneTest, RestoreBringsBackTheFactoryValuesAndLeavesHotKey2) {
    ShortcutsPane& pane = load();
    for (long tag = 200; tag <= 217; ++tag) pane.recorderForTag(tag)->setKeyCombo(kEmptyKeyCombo);
    defaults->setObject(shortcut(7, NSControlKeyMask), "HotKey2");
    hotKeys.clear();

    pane.restoreButton()->click();
    const PropertyList::Dictionary values = factory();
    EXPECT_EQ(PropertyList(*defaults->dictionaryForKey("Shortcuts")), values.at("Shortcuts"));
    for (const ShortcutCommand& command : shortcutCommands()) {
        const auto expected = storedShortcutFromValue(&values.at("Shortcuts").dictionary()->at(command.name));
        EXPECT_EQ(pane.recorderForTag(command.tag)->keyCombo(),
                  (KeyCombo{expected->modifierFlags, expected->keyCode}))
            << command.name;
        EXPECT_FALSE(item(command.tag).shortcut().isEmpty()) << command.name;
    }
    const auto hotKey1 = storedShortcutFromValue(&values.at("HotKey1"));
    ASSERT_EQ(hotKeys.size(), 1u);
    EXPECT_EQ(hotKeys[0].code, hotKey1->keyCode);
    EXPECT_EQ(hotKeys[0].flags, hotKey1->modifierFlags);
    EXPECT_EQ(defaults->objectForKey("HotKey2"), shortcut(7, NSControlKeyMask));

    // Without the resource the button does nothing.
    pane.setFactoryDefaultsPath((folder / "missing.plist").string());
    pane.recorderForTag(200)->setKeyCombo(kEmptyKeyCombo);
    pane.restoreHotKeys();
    EXPECT_EQ(stored("Assign"), shortcut(-1, 0));
}

TEST_F(ShortcutsPaneTest, AStoredNumberBeyondTheKeyCodesBindsNothingAndStaysAsStored) {
    // 4294967307 is 11, the B key, in 32 bits.
    defaults->setObject(
        PropertyList(PropertyList::Dictionary{{"Assign", shortcut(4294967307LL, NSCommandKeyMask)}}),
        "Shortcuts");
    defaults->setObject(shortcut(4294967307LL, NSCommandKeyMask), "HotKey1");
    ShortcutsPane& pane = load();
    EXPECT_EQ(item(200).keyEquivalent(), "");
    EXPECT_TRUE(item(200).shortcut().isEmpty());
    EXPECT_FALSE(pane.recorderForTag(200)->keyComboString());
    EXPECT_EQ(stored("Assign"), shortcut(4294967307LL, NSCommandKeyMask));
    ASSERT_EQ(hotKeys.size(), 1u);
    EXPECT_EQ(hotKeys[0].code, -1) << "hot key 1 registers no key";
}

TEST_F(ShortcutsPaneTest, EachRecorderReadsAsItsMenuItemShowsItsShortcut) {
    ShortcutsPane& pane = load();
    pane.restoreHotKeys();
    for (const ShortcutCommand& command : shortcutCommands()) {
        const std::string menu =
            item(command.tag).shortcut().toString(QKeySequence::NativeText).toStdString();
        EXPECT_FALSE(menu.empty()) << command.name;
        EXPECT_EQ(pane.recorderForTag(command.tag)->keyComboString(), menu) << command.name;
        EXPECT_EQ(pane.recorderForTag(command.tag)->cell().displayedText(), menu) << command.name;
    }
    EXPECT_EQ(pane.hotkey1Recorder().cell().displayedText(), "Ctrl+Alt+B");

    // On a German keyboard the key that types "Y" is recorded, shown and bound as Y.
    KeyboardLayout::setCurrent(KeyboardLayout::fromNames("de"));
    pane.recorderForTag(200)->setKeyCombo({NSCommandKeyMask, 6});
    EXPECT_EQ(item(200).shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
    EXPECT_EQ(pane.recorderForTag(200)->keyComboString(), "Ctrl+Y");
    KeyboardLayout::setCurrent(KeyboardLayout::fromNames("us"));
}

TEST_F(ShortcutsPaneTest, AShortcutAMenuItemCarriesIsTakenUntilItIsCleared) {
    ShortcutsPane& pane = load();
    pane.recorderForTag(200)->setKeyCombo({NSCommandKeyMask, kKeyCodeReturn});
    for (long tag : {200L, 204L}) {
        KRValidator& validator = pane.recorderForTag(tag)->cell().validator();
        EXPECT_TRUE(validator.isKeyCodeAndFlagsTaken(kKeyCodeReturn, kCarbonCommandKey)) << tag;
    }
    pane.recorderForTag(200)->setKeyCombo(kEmptyKeyCombo);
    EXPECT_FALSE(pane.recorderForTag(204)->cell().validator().isKeyCodeAndFlagsTaken(kKeyCodeReturn,
                                                                                     kCarbonCommandKey));
}

TEST_F(ShortcutsPaneTest, TheHelpButtonOpensTheShortcutsPage) {
    std::vector<std::string> opened;
    URLOpener::setOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    load().helpButton()->click();
    URLOpener::setOpener(nullptr);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].ends_with("#shortcuts")) << opened[0];
}

}  // namespace
