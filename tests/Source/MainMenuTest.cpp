#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "Source/MainMenu.h"
#include "Source/Preferences/StoredShortcuts.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "tests/Source/ViewTestApplication.h"

namespace {

struct FakeHost : MainMenuHost {
    std::vector<MenuCommand> performed;
    bool running{true};
    PlayState state{kPlayStatePlaying};
    bool metronome{false};
    int displayed{120};
    bool track{true};
    bool windowVisible{true};
    std::optional<PropertyList::Dictionary> shortcuts;

    void performMenuCommand(MenuCommand command) override { performed.push_back(command); }
    bool iTunesIsRunning() override { return running; }
    PlayState menuPlayState() override { return state; }
    bool metronomeIsPlaying() override { return metronome; }
    int menuDisplayedBPM() override { return displayed; }
    bool hasCurrentTrack() const override { return track; }
    bool mainWindowIsVisible() override { return windowVisible; }
    std::optional<PropertyList::Dictionary> storedShortcuts() override { return shortcuts; }
    void storeShortcuts(const PropertyList::Dictionary& stored) override { shortcuts = stored; }
};

struct MainMenuTest : ::testing::Test {
    QApplication& app = viewTestApplication();
    FakeHost host;
    MainMenu menu{host};

    NSMenuItem& item(MenuCommand command) {
        NSMenuItem* found = menu.itemForCommand(command);
        EXPECT_NE(found, nullptr);
        return *found;
    }
};

TEST_F(MainMenuTest, TheCommandsSubmenuHoldsTags200To217) {
    NSMenu* controls = menu.controlsMenu();
    ASSERT_NE(controls, nullptr);
    for (long tag = 200; tag <= 217; ++tag) EXPECT_NE(controls->itemWithTag(tag), nullptr) << tag;
    EXPECT_EQ(menu.mainMenu().findItemWithTag(203)->title(), "Play");
    EXPECT_EQ(item(MenuCommand::Quit).keyEquivalent(), "q");
    EXPECT_EQ(item(MenuCommand::Quit).shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

TEST_F(MainMenuTest, ValidationTitlesAndStates) {
    using enum MenuCommand;
    const struct {
        const char* what;
        std::function<void()> set;
        MenuCommand command;
        bool enabled;
        const char* title;  // nullptr: not checked
    } cases[] = {
        {"playing", [&] { host.state = kPlayStatePlaying; }, PausePlayTrack, true, "Pause"},
        {"paused", [&] { host.state = kPlayStatePaused; }, PausePlayTrack, true, "Play"},
        {"stopped", [&] { host.state = kPlayStateStopped; }, PausePlayTrack, true, "Play"},
        {"player gone", [&] { host.running = false; }, PausePlayTrack, false, "Play"},
        {"player gone: next", [&] { host.running = false; }, NextTrack, false, nullptr},
        {"player gone: volume", [&] { host.running = false; }, VolumeUp, false, nullptr},
        {"player gone: switching still works", [&] { host.running = false; }, SwitchToiTunes, true, nullptr},
        {"metronome playing", [&] { host.metronome = true; }, StartStopMetronome, true, "Stop Metronome"},
        {"no tempo shown", [&] { host.displayed = 0; }, StartStopMetronome, false, "Start Metronome"},
        {"no tempo shown: halve", [&] { host.displayed = 0; }, HalveBPM, false, nullptr},
        {"tempo shown: increase", [] {}, IncrementBPM, true, nullptr},
        {"no tempo shown: assign", [&] { host.displayed = 0; }, ApplyBPM, false, nullptr},
        {"tempo shown with a track: assign", [] {}, ApplyBPM, true, nullptr},
        {"tempo shown, no track: assign", [&] { host.track = false; }, ApplyBPM, false, nullptr},
        {"quit is always there", [&] { host.running = false, host.displayed = 0; }, Quit, true, nullptr},
    };
    for (const auto& c : cases) {
        host = FakeHost{};
        c.set();
        NSMenuItem& validated = item(c.command);
        menu.mainMenu().update();
        EXPECT_EQ(validated.isEnabled(), c.enabled) << c.what;
        if (c.title) {
            EXPECT_EQ(validated.title(), c.title) << c.what;
        }
    }
    host = FakeHost{};
    menu.mainMenu().update();
    EXPECT_EQ(item(ShowMainWindow).state(), NSOnState);
    host.windowVisible = false;
    menu.mainMenu().update();
    EXPECT_EQ(item(ShowMainWindow).state(), NSOffState);
}

TEST_F(MainMenuTest, ADisabledItemNeverSendsItsCommand) {
    host.running = false;
    EXPECT_FALSE(item(MenuCommand::NextTrack).performAction());
    host.running = true;
    EXPECT_TRUE(item(MenuCommand::NextTrack).performAction());
    EXPECT_TRUE(item(MenuCommand::Quit).performAction());
    EXPECT_EQ(host.performed, (std::vector<MenuCommand>{MenuCommand::NextTrack, MenuCommand::Quit}));
}

PropertyList shortcut(int64_t keyCode, uint64_t flags) {
    return valueForStoredShortcut({keyCode, flags});
}

TEST_F(MainMenuTest, AnEmptyShortcutsDictionaryBindsOnlyTheThreeFallbacksAndStoresThem) {
    host.shortcuts = PropertyList::Dictionary{};
    menu.establishKeyEquivalents();
    NSMenu& controls = *menu.controlsMenu();
    const struct {
        long tag;
        const char* key;
        Qt::Key qtKey;
    } fallbacks[] = {{215, ";", Qt::Key_Semicolon}, {216, "l", Qt::Key_L}, {217, "k", Qt::Key_K}};
    for (const auto& f : fallbacks) {
        EXPECT_EQ(controls.itemWithTag(f.tag)->keyEquivalent(), f.key) << f.tag;
        EXPECT_EQ(controls.itemWithTag(f.tag)->keyEquivalentModifierMask(), NSCommandKeyMask) << f.tag;
        EXPECT_EQ(controls.itemWithTag(f.tag)->shortcut(), QKeySequence(Qt::CTRL | f.qtKey)) << f.tag;
    }
    // A command without an entry has no shortcut at all: key code 0 would steal "a".
    for (long tag = 200; tag <= 214; ++tag) {
        EXPECT_EQ(controls.itemWithTag(tag)->keyEquivalent(), "") << tag;
        EXPECT_TRUE(controls.itemWithTag(tag)->shortcut().isEmpty()) << tag;
    }
    EXPECT_EQ(*host.shortcuts, (PropertyList::Dictionary{{"StartMetronome", shortcut(41, NSCommandKeyMask)},
                                                         {"IncrementBPM", shortcut(37, NSCommandKeyMask)},
                                                         {"DecrementBPM", shortcut(40, NSCommandKeyMask)}}));

    // Once stored, nothing more is written; a stored value wins over the fall-back.
    host.shortcuts = PropertyList::Dictionary{{"StartMetronome", shortcut(-1, 0)},
                                              {"IncrementBPM", shortcut(37, NSCommandKeyMask)},
                                              {"DecrementBPM", shortcut(40, NSCommandKeyMask)}};
    const auto before = host.shortcuts;
    menu.establishKeyEquivalents();
    EXPECT_EQ(host.shortcuts, before);
    EXPECT_EQ(controls.itemWithTag(215)->keyEquivalent(), "");
}

TEST_F(MainMenuTest, StoredShortcutsBecomeKeyEquivalentsBoundByKeyCode) {
    const struct {
        const char* what;
        int64_t keyCode;
        uint64_t flags;
        const char* key;
        uint32_t mask;
        QKeySequence bound;
    } cases[] = {
        {"Command-Shift-B", 11, 0x120000, "b", NSCommandKeyMask | NSShiftKeyMask,
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B)},
        {"only the four modifiers survive", 11, 0x800000 | 0x10000 | 0x1c0000, "b",
         NSCommandKeyMask | NSAlternateKeyMask | NSControlKeyMask,
         QKeySequence(Qt::CTRL | Qt::ALT | Qt::META | Qt::Key_B)},
        {"F1", 122, NSCommandKeyMask, "f1", NSCommandKeyMask, QKeySequence(Qt::CTRL | Qt::Key_F1)},
        {"keypad 1", 83, NSAlternateKeyMask, "pad 1", NSAlternateKeyMask,
         QKeySequence(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_1))},
        {"right arrow", 124, NSCommandKeyMask, nullptr, NSCommandKeyMask,
         QKeySequence(Qt::CTRL | Qt::Key_Right)},
    };
    for (const auto& c : cases) {
        menu.setKeyEquivalent(200, c.flags, c.keyCode);
        NSMenuItem& assign = *menu.controlsMenu()->itemWithTag(200);
        if (c.key) {
            EXPECT_EQ(assign.keyEquivalent(), c.key) << c.what;
        }
        EXPECT_FALSE(assign.keyEquivalent().empty()) << c.what;
        EXPECT_EQ(assign.keyEquivalentModifierMask(), c.mask) << c.what;
        EXPECT_EQ(assign.shortcut(), c.bound) << c.what;
    }
    // A key code of -1, or any number that is no key code, removes the key equivalent and its
    // binding, whatever key its low bits would name.
    for (int64_t noKey : {-1LL, 128LL, 0x1000BLL, 4294967307LL}) {
        menu.setKeyEquivalent(200, NSCommandKeyMask, 11);
        menu.setKeyEquivalent(200, NSCommandKeyMask, noKey);
        EXPECT_EQ(menu.controlsMenu()->itemWithTag(200)->keyEquivalent(), "") << noKey;
        EXPECT_TRUE(menu.controlsMenu()->itemWithTag(200)->shortcut().isEmpty()) << noKey;
    }
    // A tag outside the submenu changes nothing.
    menu.setKeyEquivalent(199, NSCommandKeyMask, 11);
    EXPECT_EQ(item(MenuCommand::Quit).keyEquivalent(), "q");
}

TEST_F(MainMenuTest, KeyEquivalentsAreLowerCasedAndMatchedByCharacterOnAGermanKeyboard) {
    KeyboardLayout::setCurrent(KeyboardLayout::fromNames("de"));
    const struct {
        int64_t keyCode;
        const char* key;
        const char* typedWithShift;
    } cases[] = {
        {41, "\u00F6", "\u00D6"}, {39, "\u00E4", "\u00C4"}, {33, "\u00FC", "\u00DC"}, {11, "b", "B"}};
    for (const auto& c : cases) {
        menu.setKeyEquivalent(200, NSCommandKeyMask | NSShiftKeyMask, c.keyCode);
        EXPECT_EQ(menu.controlsMenu()->itemWithTag(200)->keyEquivalent(), c.key) << c.keyCode;
        NSEvent typed;
        typed.type = NSEventType::KeyDown;
        typed.characters = typed.charactersIgnoringModifiers = c.typedWithShift;
        typed.modifierFlags = NSCommandKeyMask | NSShiftKeyMask;
        EXPECT_TRUE(menu.controlsMenu()->performKeyEquivalent(typed)) << c.keyCode;
    }
    KeyboardLayout::setCurrent(KeyboardLayout::fromNames("us"));
}

TEST_F(MainMenuTest, TheFactoryShortcutsGiveEveryCommandItsOwnBinding) {
    Result<PropertyList> factory =
        PropertyListSerialization::propertyListWithContentsOfFile(BEATWICK_RESOURCE_DIR "/Defaults.plist");
    ASSERT_TRUE(factory) << factory.error();
    const PropertyList* stored = factory.value().objectForKey("Shortcuts");
    ASSERT_NE(stored, nullptr);
    ASSERT_NE(stored->dictionary(), nullptr);
    host.shortcuts = *stored->dictionary();
    menu.establishKeyEquivalents();
    EXPECT_EQ(host.shortcuts, *stored->dictionary()) << "nothing to convert";
    std::set<QKeySequence> seen;
    for (const ShortcutCommand& command : shortcutCommands()) {
        const QKeySequence bound = menu.controlsMenu()->itemWithTag(command.tag)->shortcut();
        EXPECT_FALSE(bound.isEmpty()) << command.name;
        EXPECT_TRUE(seen.insert(bound).second)
            << command.name << " shares " << bound.toString().toStdString();
    }
    for (const char* hotKey : {kHotKey1Key, kHotKey2Key})
        EXPECT_TRUE(storedShortcutFromValue(factory.value().objectForKey(hotKey))) << hotKey;
}

TEST(StoredShortcuts, OnlyADictionaryOfTwoNumbersIsAShortcut) {
    EXPECT_EQ(storedShortcutFromValue(nullptr), std::nullopt);
    const PropertyList cases[] = {
        PropertyList("b"),
        PropertyList(PropertyList::Dictionary{{"keyCode", 11}}),
        PropertyList(PropertyList::Dictionary{{"keyCode", "11"}, {"modifierFlags", 0}}),
        PropertyList(PropertyList::Dictionary{{"keyCode", 11}, {"modifierFlags", -1}}),
    };
    for (const PropertyList& value : cases) EXPECT_EQ(storedShortcutFromValue(&value), std::nullopt);
    const PropertyList good = shortcut(11, 0x120000);
    EXPECT_EQ(storedShortcutFromValue(&good), (StoredShortcut{11, 0x120000}));
}

}  // namespace
