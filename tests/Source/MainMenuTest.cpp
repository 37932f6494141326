#include <gtest/gtest.h>

#include <vector>

#include "Source/MainMenu.h"
#include "tests/Source/ViewTestApplication.h"

namespace {

struct FakeHost : MainMenuHost {
    std::vector<MenuCommand> performed;
    bool running{true};
    PlayState state{kPlayStatePlaying};
    bool metronome{false};
    int displayed{120};
    int tracker{0};
    bool track{true};
    bool windowVisible{true};
    std::optional<PropertyList::Dictionary> shortcuts;

    void performMenuCommand(MenuCommand command) override { performed.push_back(command); }
    bool iTunesIsRunning() override { return running; }
    PlayState menuPlayState() override { return state; }
    bool metronomeIsPlaying() override { return metronome; }
    int menuDisplayedBPM() override { return displayed; }
    int menuTrackerBPM() override { return tracker; }
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
        {"nothing measured: assign", [] {}, ApplyBPM, false, nullptr},
        {"measured with a track", [&] { host.tracker = 118; }, ApplyBPM, true, nullptr},
        {"measured, no track", [&] { host.tracker = 118, host.track = false; }, ApplyBPM, false, nullptr},
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

}  // namespace
