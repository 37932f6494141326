#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "Source/AboutWindowController.h"
#include "Source/BPMBadgeView.h"
#include "Source/BPMTracker.h"
#include "Source/BeatwickApplication.h"
#include "Source/Controller.h"
#include "Source/ControllerEnvironment.h"
#include "Source/FeedbackWindowController.h"
#include "Source/HotKeyController.h"
#include "Source/KeyRecorder/KRRecorderControl.h"
#include "Source/NotifyNoBPMWindow.h"
#include "Source/Preferences/PrefsController.h"
#include "Source/Preferences/PrefsWindow.h"
#include "Source/Preferences/RulesPrefsController.h"
#include "Source/Preferences/ShortcutsPane.h"
#include "Source/Preferences/StoredShortcuts.h"
#include "Source/RulesController.h"
#include "Source/TapView.h"
#include "Source/Toolkit/TexturedSlider.h"
#include "Source/TrackView.h"
#include "Source/UserPlaylists.h"
#include "ViewTestApplication.h"
#include "network/UIAlert.h"
#include "network/UThreadUIUpdate.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/AnimationClock.h"
#include "platform/AppKit/Application.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/SegmentedControl.h"
#include "platform/AppKit/Slider.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/URLOpener.h"
#include "platform/AppKit/Window.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/PredicateParser.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "tests/Source/FakePlayer.h"
#include "tests/Source/ViewTestApplication.h"
#include "tests/support/GeneratedLibrary.h"

namespace {

namespace fs = std::filesystem;

const NSRunningApplication kPlayerApp{"com.apple.iTunes", 4242, "iTunes"};
const NSRunningApplication kOtherApp{"com.example.Editor", 777, "Editor"};

struct FakeApplications : RunningApplicationSource {
    std::vector<NSRunningApplication> running;
    std::vector<pid_t> terminated;
    std::vector<pid_t> activated;
    std::vector<NSRunningApplication> runningApplications() const override { return running; }
    bool activate(const NSRunningApplication& app, unsigned) override {
        activated.push_back(app.processIdentifier);
        return true;
    }
    bool terminate(const NSRunningApplication& app) override {
        terminated.push_back(app.processIdentifier);
        return true;
    }
};

struct FakeEnvironment : ControllerEnvironment {
    bool launchSucceeds{true};
    int launches{0};
    int plainLaunches{0};
    int terminations{0};
    bool responding{true};
    int probes{0};
    SInt64 now{1'000'000'000};
    UInt32 modifiers{0};
    int versionChecks{0};
    std::string supportFolder;
    std::function<void(const NSNotification&)> playerInfo;
    std::optional<NSRunningApplication> active;
    std::function<void(const NSRunningApplication&)> workspaceLaunched;

    bool launchPlayerWithPlayEvent() override {
        ++launches;
        return launchSucceeds;
    }
    bool launchPlayer() override {
        ++plainLaunches;
        return launchSucceeds;
    }
    bool probePlayer(pid_t, UInt32) override {
        ++probes;
        return responding;
    }
    void observePlayerInfo(std::function<void(const NSNotification&)> observer) override {
        playerInfo = observer;
    }
    void stopObservingPlayerInfo() override { playerInfo = nullptr; }
    void observeWorkspace(std::function<void(const NSRunningApplication&)> launched,
                          std::function<void(const NSRunningApplication&)>) override {
        workspaceLaunched = std::move(launched);
    }
    void stopObservingWorkspace() override { workspaceLaunched = nullptr; }
    std::optional<NSRunningApplication> activeApplication() override { return active; }
    // The desktop's windows by id, the active one, and those brought forward.
    std::set<XWindowID> windows;
    std::optional<XWindowID> activeWindowID;
    std::vector<XWindowID> activatedWindows;
    std::optional<XWindowID> activeWindow() override { return activeWindowID; }
    bool windowExists(XWindowID window) override { return windows.contains(window); }
    bool activateWindow(XWindowID window) override {
        activatedWindows.push_back(window);
        return true;
    }
    SInt64 currentDate() override { return now; }
    UInt32 currentModifierFlags() override { return modifiers; }
    // Whether each check was asked for; the worker's answer, when a test gives one.
    std::vector<bool> askedChecks;
    std::function<void(bool userAsked)> versionCheck;
    void checkVersion(bool userAsked) override {
        ++versionChecks;
        askedChecks.push_back(userAsked);
        if (versionCheck) versionCheck(userAsked);
    }
    std::shared_ptr<UKSound> makeUKSound(const std::string&) override { return nullptr; }
    std::shared_ptr<NSSound> makeNSSound(const std::string&) override { return nullptr; }
    std::optional<std::string> applicationSupportDirectory() override { return supportFolder; }
    void terminateApplication() override { ++terminations; }
};

struct RecordingPresenter : AlertPresenter {
    std::vector<std::string> messages;
    std::vector<std::string> informativeTexts;
    std::vector<Window*> sheetWindows;
    std::vector<NSAlertStyle> styles;
    std::vector<std::vector<std::string>> buttons;
    void present(const NSAlert& alert, Window* sheet, std::function<void(NSModalResponse)> done) override {
        messages.push_back(alert.messageText);
        informativeTexts.push_back(alert.informativeText);
        sheetWindows.push_back(sheet);
        styles.push_back(alert.alertStyle);
        buttons.push_back(alert.buttonTitles());
        done(NSAlertFirstButtonReturn);
    }
};

// A controller launched on fakes, with its own preferences folder and Application Support folder.
struct ControllerTest : ::testing::Test {
    fs::path folder;
    std::unique_ptr<PreferencesStore> store;
    std::unique_ptr<NSUserDefaults> defaults;
    FakeEnvironment environment;
    FakePlayer player;
    std::shared_ptr<FakeApplications> applications = std::make_shared<FakeApplications>();
    std::unique_ptr<ScopedRunningApplicationSource> scopedApplications;
    VirtualScheduler scheduler;
    std::unique_ptr<ScopedScheduler> scopedScheduler;
    RecordingPresenter presenter;
    std::unique_ptr<Controller> controller;

    void SetUp() override {
        viewTestApplication();
        folder =
            fs::temp_directory_path() / ("controller-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder / "support");
        environment.supportFolder = (folder / "support").string();
        store = std::make_unique<PreferencesStore>((folder / "prefs").string());
        defaults = std::make_unique<NSUserDefaults>(*store, "com.orvo.Beatwick");
        Controller::initialize(*defaults);
        defaults->setBool(false, "CheckForUpdates");
        scopedApplications = std::make_unique<ScopedRunningApplicationSource>(applications);
        scopedScheduler = std::make_unique<ScopedScheduler>(scheduler);
        AlertPresenter::setCurrent(&presenter);
        applications->running = {kPlayerApp};
        player.track = makeTrack(0x100, 0, "First");
    }
    void TearDown() override {
        controller.reset();
        AlertPresenter::setCurrent(nullptr);
        fs::remove_all(folder);
    }

    std::string assignedPath() const { return (folder / "support" / "AssignedTrackIDs.plist").string(); }
    void writeAssigned(const PropertyList::Array& entries) {
        auto bytes =
            PropertyListSerialization::dataWithPropertyList(PropertyList(entries), PropertyListFormat::XML);
        ASSERT_TRUE(AtomicFile::write(assignedPath(), bytes.value()).ok());
    }
    static PropertyList entry(SInt64 id, SInt32 bpm) {
        return PropertyList::Dictionary{{"TrackPersistentID", PropertyList(id)}, {"BPM", bpm}};
    }

    Controller& launch() {
        controller = std::make_unique<Controller>(
            Controller::Services{environment, player, *defaults, *store, Clock::system()});
        controller->awakeFromNib();
        controller->applicationWillFinishLaunching();
        controller->applicationDidFinishLaunching();
        return *controller;
    }

    // The player's notice of the track, as the bus delivers it; its refresh comes at the end of
    // the turn.
    void notice(SInt64 id, const char* state, const std::string& name) {
        PropertyList::Dictionary info{
            {"PersistentID", PropertyList(id)}, {"Player State", state}, {"Name", name}};
        ASSERT_TRUE(environment.playerInfo) << "the controller observes the player's broadcast";
        environment.playerInfo(NSNotification{"com.apple.iTunes.playerInfo", nullptr, info});
    }
    // The player plays the track and tells of it; the turn ends.
    void post(SInt64 id, const char* state, SInt32 bpmOfTrack, const std::string& name = "Next") {
        player.track = makeTrack(id, bpmOfTrack, name);
        notice(id, state, name);
        scheduler.advance(0);
    }

    // Eight taps 500 ms apart: 120 BPM, settled.
    void tap120() {
        for (int i = 0; i < 8; ++i) controller->mainWindow().processTap(1'700'000'000'000ULL + 500ULL * i);
    }
};

// Ten notices of a player that does not answer cost one time-out and one coalesced refresh, not
// ten time-outs; once the player answers, the latest notice is shown and notices are refreshed
// at once again.
TEST_F(ControllerTest, NoticesOfAPlayerThatDoesNotAnswerAreCoalescedIntoOneRefresh) {
    Controller& c = launch();
    player.answering = false;
    for (int i = 1; i <= 10; ++i) post(0x200 + i, "Playing", 0, "Song " + std::to_string(i));
    EXPECT_EQ(player.timeouts, 1) << "only the first notice waited";
    EXPECT_TRUE(c.holdingPlayerNotices());

    scheduler.advance(Controller::kUnansweredHoldMs - 1);
    EXPECT_EQ(player.timeouts, 1) << "nothing waits during the hold";
    scheduler.advance(1);
    EXPECT_EQ(player.timeouts, 2) << "the held notices made one refresh";
    EXPECT_TRUE(c.holdingPlayerNotices()) << "still unanswered: held again";
    scheduler.advance(Controller::kUnansweredHoldMs);
    EXPECT_EQ(player.timeouts, 2) << "no notice came: no refresh";
    EXPECT_FALSE(c.holdingPlayerNotices());

    // A player that answers again: the next notice is refreshed at once, as before the hang.
    player.answering = true;
    post(0x20B, "Playing", 120, "Eleventh");
    EXPECT_EQ(c.playerStatus().persistentID(), 0x20B);
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "Eleventh");
    EXPECT_EQ(c.mainWindow().bpmBadgeView()->bpm(), 120);

    // The player answers by the end of a hold: the latest held notice is the one shown.
    player.answering = false;
    post(0x20C, "Playing", 0, "Lost");
    post(0x20D, "Paused", 0, "Held");
    post(0x20E, "Playing", 90, "Latest");
    player.answering = true;
    scheduler.advance(Controller::kUnansweredHoldMs);
    EXPECT_EQ(player.timeouts, 3);
    EXPECT_FALSE(c.holdingPlayerNotices());
    EXPECT_EQ(c.playerStatus().persistentID(), 0x20E);
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "Latest");
    EXPECT_EQ(c.playerStatus().playState(), kPlayStatePlaying);

    // Quitting drops a hold in progress.
    player.answering = false;
    post(0x20F, "Playing", 0);
    post(0x210, "Playing", 0);
    EXPECT_EQ(player.timeouts, 4);
    c.applicationWillTerminate();
    EXPECT_FALSE(c.holdingPlayerNotices());
    EXPECT_EQ(scheduler.scheduledCount(), 0u);
    scheduler.advance(Controller::kUnansweredHoldMs);
    EXPECT_EQ(player.timeouts, 4) << "the held notice is not refreshed after quitting";
}

// A burst of notices asks the player nothing until the turn ends, then makes one refresh, for the
// latest notice; a burst naming the shown track still reads its rating, BPM, duration and volume.
// A notice of the next turn is refreshed in that turn.
TEST_F(ControllerTest, ABurstOfNoticesIsOneRefreshPerTurnForTheLatest) {
    Controller& c = launch();
    player.batches = 0;
    for (int i = 1; i <= 1000; ++i) {
        const std::string name = "Song " + std::to_string(i);
        player.track = makeTrack(0x300 + i, 100 + i % 50, name);
        notice(0x300 + i, i % 2 ? "Paused" : "Playing", name);
    }
    EXPECT_EQ(player.batches, 0) << "nothing is asked within the turn";
    EXPECT_TRUE(c.playerNoticePending());
    scheduler.advance(0);
    EXPECT_EQ(player.batches, 1);
    EXPECT_FALSE(c.playerNoticePending());
    EXPECT_EQ(c.playerStatus().persistentID(), 0x300 + 1000);
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "Song 1000");
    EXPECT_EQ(c.playerStatus().playState(), kPlayStatePlaying);
    EXPECT_EQ(c.mainWindow().bpmBadgeView()->bpm(), 100);

    player.track->mRating = 80;
    player.track->mBpm = 128;
    player.track->mDuration = 321;
    player.volume = 33;
    for (int i = 0; i < 100; ++i) notice(0x300 + 1000, "Paused", "Song 1000");
    scheduler.advance(0);
    EXPECT_EQ(player.batches, 2);
    EXPECT_EQ(c.playerStatus().trackRating(), 80);
    EXPECT_EQ(c.playerStatus().trackBPM(), 128);
    EXPECT_EQ(c.playerStatus().trackDuration(), 321);
    EXPECT_EQ(c.playerStatus().playerVolume(), 33);
    EXPECT_EQ(c.playerStatus().playState(), kPlayStatePaused);

    post(0x400, "Playing", 90, "Next turn");
    EXPECT_EQ(player.batches, 3);
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "Next turn");
    scheduler.advance(Controller::kUnansweredHoldMs);
    EXPECT_EQ(player.batches, 3) << "no notice left: no further refresh";
}

TEST_F(ControllerTest, FirstTrackKnowsItWasAssignedBeforeTheFirstRefresh) {
    writeAssigned({entry(0x100, 128)});
    player.track->mBpm = 128;
    Controller& c = launch();
    EXPECT_TRUE(c.playerStatus().assigned()) << "the list is read before the model's first refresh";
    EXPECT_TRUE(c.trackPreviouslyAssigned());
    EXPECT_EQ(c.tracker().accuracy(), 100);
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "First");
    EXPECT_EQ(c.mainWindow().bpmBadgeView()->bpm(), 128);
}

TEST_F(ControllerTest, KeepTrackAbsentMeansOnFalseMeansOff) {
    writeAssigned({entry(0x100, 128)});
    player.track->mBpm = 128;
    const struct {
        const char* name;
        std::optional<bool> stored;
        bool keep;
    } cases[] = {
        {"registered true", std::nullopt, true}, {"stored false", false, false}, {"stored true", true, true}};
    for (const auto& c : cases) {
        if (c.stored) defaults->setBool(*c.stored, "KeepTrack");
        Controller& ctl = launch();
        EXPECT_EQ(ctl.keepTrack(), c.keep) << c.name;
        EXPECT_EQ(ctl.assignments() != nullptr, c.keep) << c.name;
        EXPECT_EQ(ctl.tracker().accuracy(), c.keep ? 100 : 10) << c.name;
    }

    // Absent from the defaults altogether: on.
    PreferencesStore bare((folder / "bare").string());
    NSUserDefaults empty(bare, "com.orvo.Beatwick");
    Controller absent({environment, player, empty, bare, Clock::system()});
    EXPECT_TRUE(absent.keepTrack());
}

TEST_F(ControllerTest, TrackChangedMatrix) {
    writeAssigned({entry(0x300, 90)});
    player.track.reset();
    Controller& c = launch();
    ASSERT_EQ(c.playerStatus().persistentID(), 0);

    // While the model has no ID, every notification is a new track; this one was tagged before.
    post(0x300, "Playing", 90, "Tagged");
    EXPECT_EQ(c.playerStatus().persistentID(), 0x300);
    EXPECT_EQ(c.tracker().accuracy(), 100);
    EXPECT_TRUE(c.trackPreviouslyAssigned());
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "Tagged");

    // Same ID: only the model refreshes; taps and flags stay.
    c.mainWindow().processTap(1000);
    c.mainWindow().processTap(1500);
    c.setCurrentTrackAssigned(true);
    const int taps = c.tracker().totaltaps();
    post(0x300, "Paused", 90, "Tagged again");
    EXPECT_EQ(c.tracker().totaltaps(), taps);
    EXPECT_TRUE(c.currentTrackAssigned());
    EXPECT_EQ(c.playerStatus().playState(), kPlayStatePaused);
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "Tagged again");

    // A new track while paused: everything refreshes.
    post(0x400, "Paused", 100, "Other");
    EXPECT_FALSE(c.currentTrackAssigned());
    EXPECT_FALSE(c.trackPreviouslyAssigned());
    EXPECT_EQ(c.tracker().accuracy(), 10);
    EXPECT_EQ(c.tracker().displayBPM(), 100);

    // A new track without a BPM.
    post(0x500, "Stopped", 0, "Plain");
    EXPECT_EQ(c.tracker().accuracy(), 0);
    EXPECT_EQ(c.playerStatus().playState(), kPlayStateStopped);
}

// A new playing track without a tempo brings the notice window; the program coming forward
// takes it away.
TEST_F(ControllerTest, ANewPlayingTrackWithoutATempoIsNoticedUntilTheProgramIsActivated) {
    defaults->setBool(true, "DoNotify");
    defaults->setInteger(1, "NotifyType");
    Controller& c = launch();
    // Another program is in front, whatever windows earlier tests made active.
    Application::sharedApplication().applicationStateChanged(Qt::ApplicationInactive);
    QTest::qWait(0);
    ASSERT_FALSE(Application::sharedApplication().isActive());
    post(0x600, "Paused", 0, "Quiet");
    EXPECT_EQ(c.notifier().notifyWindow(), nullptr) << "only a track that starts playing";
    post(0x700, "Playing", 0, "Loud");
    ASSERT_NE(c.notifier().notifyWindow(), nullptr);
    EXPECT_EQ(c.notifier().notifyNameField()->stringValue(), "Loud");
    c.appDidActivate();
    EXPECT_EQ(c.notifier().notifyWindow(), nullptr);
}

// Quit ends the program as the close button does, from any view that has the keys, and the
// key is never a tap.
TEST_F(ControllerTest, QuitEndsTheProgramAndIsNeverATap) {
    player.track->mBpm = 120;  // loaded with accuracy 10; the first tap starts afresh
    Controller& c = launch();
    c.window()->show();
    QApplication::setActiveWindow(c.window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(c.window()));
    c.window()->makeFirstResponder(c.mainWindow().tapView());
    const int accuracy = c.tracker().accuracy();
    QTest::keyClick(c.mainWindow().tapView(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(environment.terminations, 1);
    EXPECT_EQ(c.tracker().accuracy(), accuracy) << "no tap began";
    QTest::keyClick(c.mainWindow().tapView(), ' ');
    EXPECT_NE(c.tracker().accuracy(), accuracy) << "another key is a tap: it starts a new measurement";
}

// A menu's key equivalent, with or without Ctrl, performs its command from the tap area and is
// never a tap; a disabled command's key does nothing. Other keys stay taps.
TEST_F(ControllerTest, MenuKeysComeBeforeTaps) {
    player.track->mBpm = 120;  // loaded with accuracy 10; a tap would start afresh
    // Next Track recorded as Shift+F5.
    PropertyList::Dictionary shortcuts = *defaults->objectForKey(kShortcutsKey)->dictionary();
    shortcuts["Next"] = valueForStoredShortcut({96, NSShiftKeyMask});
    defaults->setObject(shortcuts, kShortcutsKey);
    Controller& c = launch();
    c.window()->show();
    QApplication::setActiveWindow(c.window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(c.window()));
    c.window()->makeFirstResponder(c.mainWindow().tapView());
    const int accuracy = c.tracker().accuracy();
    const struct {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::vector<std::string> commands;
    } keys[] = {
        {"factory Skip Forward", Qt::Key_Right, Qt::AltModifier, {"position 40"}},
        {"factory Skip Back", Qt::Key_Left, Qt::AltModifier, {"position 20"}},
        {"recorded Next Track", Qt::Key_F5, Qt::ShiftModifier, {"next"}},
        {"factory Play/Pause", Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier, {"playpause"}},
    };
    for (const auto& k : keys) {
        player.commands.clear();
        QTest::keyClick(c.mainWindow().tapView(), k.key, k.modifiers);
        EXPECT_EQ(player.commands, k.commands) << k.name;
        EXPECT_EQ(c.tracker().accuracy(), accuracy) << k.name << ": no tap";
    }

    // With the player quit the skip is disabled: its key does nothing, and is still no tap.
    applications->running.clear();
    player.commands.clear();
    QTest::keyClick(c.mainWindow().tapView(), Qt::Key_Right, Qt::AltModifier);
    EXPECT_TRUE(player.commands.empty());
    EXPECT_EQ(c.tracker().accuracy(), accuracy) << "no tap";

    // A key that is no shortcut, with or without a modifier, is a tap.
    QTest::keyClick(c.mainWindow().tapView(), Qt::Key_Right);
    EXPECT_NE(c.tracker().accuracy(), accuracy) << "a plain arrow is a tap";
}

// An armed recorder in the Shortcuts pane takes a menu's key: Alt+Right is recorded there, and
// the player gets nothing.
TEST_F(ControllerTest, AnArmedRecorderTakesAMenuKey) {
    Controller& c = launch();
    c.mainMenu().itemForCommand(MenuCommand::ShowPreferenceWindow)->performAction();
    KRRecorderControl& recorder = *c.prefsController().shortcutsPane()->recorderForTag(206);
    recorder.setKeyCombo(kEmptyKeyCombo);
    Window& prefs = c.prefsController().window();
    QApplication::setActiveWindow(&prefs);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&prefs));
    ASSERT_TRUE(prefs.makeFirstResponder(&recorder));
    QTest::keyClick(&recorder, Qt::Key_Space);
    ASSERT_TRUE(recorder.cell().isRecording());
    // Skip Back's Alt+Left is bound meanwhile; it is the recorder's too.
    player.commands.clear();
    QTest::keyClick(&recorder, Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(player.commands.empty());
    QTest::keyClick(&recorder, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(recorder.keyCombo().code, kKeyCodeRightArrow);
    EXPECT_EQ(recorder.keyCombo().flags &
                  (NSCommandKeyMask | NSAlternateKeyMask | NSShiftKeyMask | NSControlKeyMask),
              uint64_t{NSAlternateKeyMask});
    EXPECT_TRUE(player.commands.empty());
    // Idle again, the recorded key is Skip Forward's from anywhere.
    QTest::keyClick(&recorder, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(player.commands, std::vector<std::string>{"position 40"});
}

// A new keyboard layout binds the key equivalents anew: a key named by the character it types
// follows it, and a key that is a dead key there is bound by the dead key.
TEST_F(ControllerTest, KeyEquivalentsFollowTheKeyboardLayout) {
    KeyboardLayout::setCurrent(KeyboardLayout::fromNames("us"));
    Controller& c = launch();
    NSMenu& controls = *c.mainMenu().controlsMenu();
    EXPECT_EQ(controls.itemWithTag(201)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_BracketLeft));
    EXPECT_EQ(controls.itemWithTag(211)->shortcut(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Equal));

    KeyboardLayout::setCurrent(KeyboardLayout::fromNames("de"));
    QTest::qWait(0);
    EXPECT_EQ(controls.itemWithTag(201)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Udiaeresis));
    const QKeySequence ratingUp(Qt::CTRL | Qt::ALT | Qt::Key_Dead_Acute);
    EXPECT_EQ(controls.itemWithTag(211)->shortcut(), ratingUp);
    const auto bindings = c.window()->findChildren<QShortcut*>();
    EXPECT_TRUE(std::any_of(bindings.begin(), bindings.end(), [&](QShortcut* s) {
        return s->key() == ratingUp;
    })) << "bound, not only shown";
    // Shown as bound, by the accent Qt has no name for, in the menu and in the Shortcuts pane.
    QMenu shown;
    controls.fillQMenu(shown);
    const auto actions = shown.actions();
    EXPECT_TRUE(std::any_of(actions.begin(), actions.end(), [](QAction* a) {
        return a->text().endsWith(QString::fromUtf8("\tCtrl+Alt+´"));
    }));
    defaults->setObject(PropertyList("TOOLBAR_HOTKEYS"), "SelectedPrefView");  // the Shortcuts pane
    c.mainMenu().itemForCommand(MenuCommand::ShowPreferenceWindow)->performAction();
    KRRecorderControl& recorder = *c.prefsController().shortcutsPane()->recorderForTag(201);
    EXPECT_EQ(recorder.cell().displayedText(), "Ctrl+Ü");
    EXPECT_EQ(c.prefsController().shortcutsPane()->recorderForTag(211)->cell().displayedText(), "Ctrl+Alt+´");

    KeyboardLayout::setCurrent(KeyboardLayout::fromNames("us"));
    QTest::qWait(0);
    EXPECT_EQ(controls.itemWithTag(201)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_BracketLeft));
    EXPECT_EQ(recorder.cell().displayedText(), "Ctrl+[");
}

TEST_F(ControllerTest, HelpMenuLinksOpenTheMakersPages) {
    Controller& c = launch();
    std::vector<std::string> opened;
    URLOpener::setOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    for (MenuCommand command : {MenuCommand::LinkHomepage, MenuCommand::LinkSupport})
        c.mainMenu().itemForCommand(command)->performAction();
    EXPECT_EQ(opened, (std::vector<std::string>{Controller::kHomepageURL, Controller::kSupportURL}));
    EXPECT_TRUE(presenter.messages.empty());

    // No browser: an alert names the page, so the user can open it by hand.
    URLOpener::setOpener([](const std::string&) { return false; });
    c.mainMenu().itemForCommand(MenuCommand::LinkSupport)->performAction();
    URLOpener::setOpener(nullptr);
    ASSERT_EQ(presenter.messages, std::vector<std::string>{"The page could not be opened"});
    EXPECT_NE(presenter.informativeTexts[0].find(Controller::kSupportURL), std::string::npos)
        << presenter.informativeTexts[0];
    EXPECT_EQ(presenter.sheetWindows[0], c.window()) << "a sheet: a floating window cannot cover it";
}

TEST_F(ControllerTest, PreferencesItemShowsThePreferencesWindowAndTheMenusAreTheApplications) {
    HotKeyController hotKeys(*defaults);
    controller = std::make_unique<Controller>(
        Controller::Services{environment, player, *defaults, *store, Clock::system(), &hotKeys});
    Controller& c = *controller;
    c.awakeFromNib();
    c.applicationWillFinishLaunching();
    c.applicationDidFinishLaunching();
    EXPECT_EQ(Application::sharedApplication().mainMenu(), &c.mainMenu().mainMenu())
        << "the validator searches them";
    EXPECT_FALSE(c.prefsController().hasLoaded());
    c.mainMenu().itemForCommand(MenuCommand::ShowPreferenceWindow)->performAction();
    EXPECT_TRUE(c.prefsController().window().isVisible());
    // The launch bound the factory shortcuts, Command-Return for Assign among them.
    EXPECT_EQ(c.mainMenu().controlsMenu()->itemWithTag(200)->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_Return));
    EXPECT_NE(dynamic_cast<RulesPrefsController*>(c.prefsController().rulesPaneContent()), nullptr);

    // A shortcut recorded in the Shortcuts pane is bound at once.
    ShortcutsPane& pane = *c.prefsController().shortcutsPane();
    pane.recorderForTag(204)->setKeyCombo({NSCommandKeyMask | NSShiftKeyMask, 11});
    const QKeySequence recorded(Qt::CTRL | Qt::SHIFT | Qt::Key_B);
    const auto bindings = c.window()->findChildren<QShortcut*>();
    EXPECT_TRUE(
        std::any_of(bindings.begin(), bindings.end(), [&](QShortcut* s) { return s->key() == recorded; }));
    // Hot key 1 reaches the hot-key layer, which keeps it.
    pane.hotkey1Recorder().setKeyCombo({NSCommandKeyMask | NSAlternateKeyMask, 40});
    EXPECT_EQ(defaults->objectForKey("HotKey1"),
              PropertyList(PropertyList::Dictionary{{"keyCode", 40}, {"modifierFlags", 0x180000}}));
    pane.hotkey1Recorder().setKeyCombo(kEmptyKeyCombo);
    EXPECT_EQ(defaults->objectForKey("HotKey1"),
              PropertyList(PropertyList::Dictionary{{"keyCode", -1}, {"modifierFlags", 0}}));
    controller.reset();
    EXPECT_EQ(Application::sharedApplication().mainMenu(), nullptr);
}

TEST_F(ControllerTest, LaunchSetsDidLaunchOnlyWhenTheLaunchStarted) {
    applications->running.clear();
    const struct {
        const char* name;
        bool start;
        bool succeeds;
        bool didLaunch;
        int launches;
    } cases[] = {{"launched", true, true, true, 1},
                 {"launch failed", true, false, false, 1},
                 {"not wanted", false, true, false, 0}};
    for (const auto& c : cases) {
        environment.launches = 0;
        environment.launchSucceeds = c.succeeds;
        defaults->setBool(c.start, "StartiTunesOnLaunch");
        EXPECT_EQ(launch().didLaunchiTunes(), c.didLaunch) << c.name;
        EXPECT_EQ(environment.launches, c.launches) << c.name;
    }
}

TEST_F(ControllerTest, QuitMatrix) {
    const struct {
        const char* name;
        bool quitOnQuit;
        bool onlyIfStarted;
        bool weLaunched;
        bool quits;
    } cases[] = {
        {"quit off", false, false, true, false},
        {"quit always", true, false, false, true},
        {"only if started, user started it", true, true, false, false},
        {"only if started, we started it", true, true, true, true},
        {"only if started, our launch failed", true, true, false, false},
    };
    for (const auto& c : cases) {
        applications->running.clear();
        applications->terminated.clear();
        defaults->setBool(c.weLaunched, "StartiTunesOnLaunch");
        environment.launchSucceeds = c.weLaunched;
        defaults->setBool(c.quitOnQuit, "QuitiTunesOnQuit");
        defaults->setBool(c.onlyIfStarted, "QuitOnlyIfStarted");
        Controller& ctl = launch();
        applications->running = {kPlayerApp};
        ctl.applicationWillTerminate();
        EXPECT_EQ(applications->terminated.size(), c.quits ? 1u : 0u) << c.name;
    }
}

TEST_F(ControllerTest, UpdateCheckGate) {
    const SInt64 now = environment.now;
    const struct {
        const char* name;
        bool enabled;
        std::optional<SInt64> last;
        UInt32 modifiers;
        bool checks;
    } cases[] = {
        {"never checked", true, std::nullopt, 0, true},
        {"exactly a week", true, now - 604800, 0, true},
        {"a second short", true, now - 604799, 0, false},
        {"stored time in the future", true, now + 100, 0, false},
        {"option held", true, std::nullopt, NSAlternateKeyMask, false},
        {"turned off", false, std::nullopt, 0, false},
    };
    for (const auto& c : cases) {
        environment.versionChecks = 0;
        environment.modifiers = c.modifiers;
        defaults->setBool(c.enabled, "CheckForUpdates");
        store->setValue("LastUpdateCheck", c.last ? std::optional<PropertyList>(*c.last) : std::nullopt,
                        "com.orvo.Beatwick");
        launch();
        EXPECT_EQ(environment.versionChecks, c.checks ? 1 : 0) << c.name;
        const auto stored = store->copyValue("LastUpdateCheck", "com.orvo.Beatwick");
        const SInt64 expected = c.checks ? now : c.last.value_or(0);
        EXPECT_EQ(stored ? stored->integer().value_or(-1) : 0, expected)
            << c.name << ": Option records nothing";
    }
}

TEST_F(ControllerTest, UpdateBPMButtonsTable) {
    defaults->setBool(false, "AdvanceWithBPM");
    Controller& c = launch();
    const struct {
        const char* name;
        int bpm;
        int accuracy;
        int assignedThisVisit;  // the BPM an Assign of this visit wrote; 0 for none
        bool hasTrack;
        bool apply;
        bool isDefault;
        bool controls;
    } cases[] = {
        {"no tempo", 0, 0, 0, true, false, false, false},
        {"measuring", 120, 50, 0, true, true, false, true},
        {"settled", 120, 100, 0, true, true, true, true},
        {"settled and assigned", 120, 100, 120, true, false, false, true},
        {"assigned, measuring that tempo again", 120, 50, 120, true, false, false, true},
        {"assigned, another tempo settled", 130, 100, 120, true, true, true, true},
        {"assigned, another tempo measuring", 130, 50, 120, true, true, false, true},
        {"no track", 120, 100, 0, false, false, false, true},
    };
    for (const auto& k : cases) {
        player.track = k.hasTrack ? makeTrack(0x100, 0) : nullptr;
        c.playerStatus().updateWithPlayerBridge();
        c.tracker().reset();
        if (k.assignedThisVisit) {
            c.tracker().trackLoaded(k.assignedThisVisit, 100);
            c.applyBPM();
            ASSERT_TRUE(c.currentTrackAssigned()) << k.name;
        }
        c.tracker().trackLoaded(k.bpm, k.accuracy);
        c.mainWindow().updateBPMButtons();
        EXPECT_EQ(c.mainWindow().applyBPMButton()->isEnabled(), k.apply) << k.name;
        EXPECT_EQ(c.mainWindow().assignBPMIsDefault(), k.isDefault) << k.name;
        EXPECT_EQ(c.window()->defaultButton() == c.mainWindow().applyBPMButton(), k.isDefault) << k.name;
        // Left of the title: blue for the default button, grey otherwise.
        const QColor face = pixelAt(c.mainWindow().applyBPMButton()->renderToImage(), 8, 14);
        EXPECT_EQ(face.blue() > face.red() + 60, k.isDefault) << k.name << ": Return's button is drawn blue";
        EXPECT_EQ(face.alpha(), 255) << k.name;
        EXPECT_EQ(c.mainWindow().metronomeButton()->isEnabled(), k.controls) << k.name;
        EXPECT_EQ(c.mainWindow().halveDoubleBPMButton()->isEnabled(), k.controls) << k.name;
        EXPECT_EQ(c.mainWindow().plusMinusBPMButton()->isEnabled(), k.controls) << k.name;
    }
}

// After an Assign, ½, ×2, − and + make a tempo that Apply and Return write; the badge keeps the
// one written until then.
TEST_F(ControllerTest, AStepAfterAnAssignMakesATempoThatCanBeApplied) {
    defaults->setBool(false, "AdvanceWithBPM");
    NSEvent ret;
    ret.type = NSEventType::KeyDown;
    ret.characters = ret.charactersIgnoringModifiers = "\r";
    ret.qtKey = Qt::Key_Return;
    const struct {
        const char* name;
        std::function<void(Controller&)> step;
        SInt32 written;
    } cases[] = {
        {"halve", [](Controller& c) { c.mainWindow().halveBPM(); }, 60},
        {"double", [](Controller& c) { c.mainWindow().doubleBPM(); }, 240},
        {"minus", [](Controller& c) { c.mainWindow().decrementBPM(); }, 119},
        {"plus", [](Controller& c) { c.mainWindow().incrementBPM(); }, 121},
        {"the halve segment",
         [](Controller& c) {
             QTest::mousePress(c.mainWindow().halveDoubleBPMButton(), Qt::LeftButton, Qt::NoModifier,
                               QPoint(5, 12));
             QTest::mouseRelease(c.mainWindow().halveDoubleBPMButton(), Qt::LeftButton, Qt::NoModifier,
                                 QPoint(5, 12));
         },
         60},
        {"the plus segment",
         [](Controller& c) {
             QTest::mousePress(c.mainWindow().plusMinusBPMButton(), Qt::LeftButton, Qt::NoModifier,
                               QPoint(50, 12));
             QTest::mouseRelease(c.mainWindow().plusMinusBPMButton(), Qt::LeftButton, Qt::NoModifier,
                                 QPoint(50, 12));
         },
         121},
    };
    for (const auto& k : cases) {
        player.track = makeTrack(0x100, 0);
        Controller& c = launch();
        tap120();
        ASSERT_TRUE(c.window()->performKeyEquivalent(ret)) << k.name;
        ASSERT_FALSE(c.mainWindow().applyBPMButton()->isEnabled()) << k.name << ": the tempo just written";

        k.step(c);
        EXPECT_TRUE(c.mainWindow().applyBPMButton()->isEnabled()) << k.name;
        EXPECT_TRUE(c.mainWindow().assignBPMIsDefault()) << k.name << ": still settled, so Return applies it";
        EXPECT_FALSE(c.currentTrackAssigned()) << k.name;
        EXPECT_EQ(c.mainWindow().bpmBadgeView()->bpm(), 120)
            << k.name << ": the badge shows what was written";
        EXPECT_TRUE(c.mainWindow().bpmBadgeView()->assigned()) << k.name;
        EXPECT_TRUE(c.playerStatus().assigned()) << k.name;

        EXPECT_TRUE(c.window()->performKeyEquivalent(ret)) << k.name;
        EXPECT_EQ(player.track->bpmWrites, (std::vector<SInt32>{120, k.written})) << k.name;
        EXPECT_EQ(c.mainWindow().bpmBadgeView()->bpm(), k.written) << k.name;
        EXPECT_FALSE(c.mainWindow().applyBPMButton()->isEnabled()) << k.name << ": written in turn";
    }
}

TEST_F(ControllerTest, ApplyWritesTheTrackRecordsItAndPersists) {
    Controller& c = launch();
    tap120();
    ASSERT_EQ(c.tracker().displayBPM(), 120);
    ASSERT_EQ(c.tracker().accuracy(), 100);
    ASSERT_TRUE(c.mainWindow().assignBPMIsDefault());

    NSEvent ret;
    ret.type = NSEventType::KeyDown;
    ret.characters = ret.charactersIgnoringModifiers = "\r";
    ret.qtKey = Qt::Key_Return;
    EXPECT_TRUE(c.window()->performKeyEquivalent(ret)) << "Return assigns";

    EXPECT_EQ(player.track->bpmWrites, std::vector<SInt32>{120});
    EXPECT_EQ(c.playerStatus().trackBPM(), 120);
    EXPECT_TRUE(c.playerStatus().assigned());
    EXPECT_TRUE(c.mainWindow().bpmBadgeView()->assigned());
    EXPECT_TRUE(c.currentTrackAssigned());
    EXPECT_FALSE(c.mainWindow().applyBPMButton()->isEnabled()) << "settled and assigned";
    auto read = PropertyListSerialization::propertyListWithContentsOfFile(assignedPath());
    ASSERT_TRUE(read.ok()) << read.error();
    EXPECT_EQ(read.value(), PropertyList(PropertyList::Array{entry(0x100, 120)}));
}

// Three taps measure a tempo the tracker keeps but does not show yet; Assign writes the shown one,
// so its item and Command-Return wait until a tempo shows.
TEST_F(ControllerTest, AssignIsEnabledOnlyOnceATempoShows) {
    Controller& c = launch();
    NSMenuItem* assign = c.mainMenu().itemForCommand(MenuCommand::ApplyBPM);
    for (int i = 0; i < 3; ++i) c.mainWindow().processTap(1'700'000'000'000ULL + 500ULL * i);
    ASSERT_GT(c.tracker().bpm(), 0);
    ASSERT_EQ(c.tracker().displayBPM(), 0);
    EXPECT_FALSE(assign->performAction()) << "the item and its shortcut do nothing";
    EXPECT_FALSE(assign->isEnabled());
    EXPECT_TRUE(player.track->bpmWrites.empty());

    for (int i = 3; i < 5; ++i) c.mainWindow().processTap(1'700'000'000'000ULL + 500ULL * i);
    ASSERT_EQ(c.tracker().displayBPM(), 120);
    EXPECT_TRUE(assign->performAction());
    EXPECT_EQ(player.track->bpmWrites, std::vector<SInt32>{120});
}

TEST_F(ControllerTest, ApplyBranches) {
    const struct {
        const char* name;
        SInt64 id;  // 0: no track
        bool playerAnswers;
        bool keepTrackNow;  // the setting after launch; the list follows the launch's value
        bool recorded;
        bool alert;
    } cases[] = {
        {"real ID", 0x100, true, true, true, false},
        {"ID 0 records nothing", 0, true, true, false, false},
        {"ID -1 records nothing", -1, true, true, false, false},
        {"KeepTrack turned off after launch still records", 0x100, true, false, true, false},
    };
    for (const auto& k : cases) {
        fs::remove(assignedPath());
        defaults->removeObjectForKey("KeepTrack");
        player.track = makeTrack(k.id, 0);
        Controller& c = launch();
        defaults->setBool(k.keepTrackNow, "KeepTrack");
        tap120();
        c.applyBPM();
        EXPECT_EQ(player.track->bpmWrites, std::vector<SInt32>{120}) << k.name;
        EXPECT_EQ(fs::exists(assignedPath()), k.recorded) << k.name;
        EXPECT_EQ(c.assignments()->entries().size(), k.recorded ? 1u : 0u) << k.name;
    }

    // No track: the alert only when the player stays silent.
    for (bool answers : {true, false}) {
        presenter.messages.clear();
        player.track.reset();
        Controller& c = launch();
        tap120();
        environment.responding = answers;
        c.applyBPM();
        EXPECT_EQ(presenter.messages.size(), answers ? 0u : 1u) << "answers " << answers;
    }

    // No tempo shown: nothing at all, not even the alert.
    player.track.reset();
    environment.responding = false;
    presenter.messages.clear();
    launch().applyBPM();
    EXPECT_TRUE(presenter.messages.empty());
}

// Hot key 1 remembers the active window, whatever program owns it; after Assign that window comes
// back, or, when none is remembered, the player advances.
TEST_F(ControllerTest, AfterApplyReturnToThePreviousWindowOrAdvance) {
    constexpr XWindowID kTerminal = 0x1200007;
    const struct {
        const char* name;
        bool remembered;
        bool stillThere;
        bool switchBack;
        bool advance;
        bool plus;
        int activations;
        int nexts;
        size_t seeks;
    } cases[] = {
        {"return to the window", true, true, true, true, false, 1, 0, 0},
        {"remembered window blocks advance once", true, true, false, true, false, 0, 0, 0},
        {"a window closed since counts as none", true, false, true, true, false, 0, 1, 0},
        {"advance", false, false, true, true, false, 0, 1, 0},
        {"advance plus", false, false, false, true, true, 0, 1, 1},
        {"neither", false, false, true, false, false, 0, 0, 0},
    };
    for (const auto& k : cases) {
        defaults->setBool(k.switchBack, "SwitchToPrevApp");
        defaults->setBool(k.advance, "AdvanceWithBPM");
        defaults->setBool(k.plus, "AdvancePlus");
        environment.activatedWindows.clear();
        player.nextCount = 0;
        player.positions.clear();
        player.track = makeTrack(0x100, 0);
        Controller& c = launch();
        environment.windows = {kTerminal};
        environment.activeWindowID = k.remembered ? std::optional(kTerminal) : std::nullopt;
        c.hotKeyActions().hotKey1Action();
        EXPECT_EQ(c.hotKeyActions().previousWindow(), environment.activeWindowID) << k.name;
        if (!k.stillThere) environment.windows.clear();
        tap120();
        c.applyBPM();
        EXPECT_EQ(environment.activatedWindows,
                  k.activations ? std::vector<XWindowID>{kTerminal} : std::vector<XWindowID>{})
            << k.name;
        EXPECT_EQ(player.nextCount, k.nexts) << k.name;
        EXPECT_EQ(player.positions.size(), k.seeks) << k.name;
        EXPECT_FALSE(c.hotKeyActions().previousWindow()) << k.name << ": forgotten either way";
    }
}

TEST_F(ControllerTest, PlayerLaunchAndQuitRefresh) {
    writeAssigned({entry(0x100, 128)});
    player.track->mBpm = 128;
    Controller& c = launch();
    applications->running.clear();
    c.appWasTerminated(kOtherApp);
    EXPECT_EQ(c.playerStatus().trackBPM(), 128) << "other applications are ignored";
    c.appWasTerminated(kPlayerApp);
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "iTunes not running");
    EXPECT_EQ(c.mainWindow().bpmBadgeView()->bpm(), 0) << "a quit player's tempo is not shown";
    EXPECT_EQ(c.tracker().displayBPM(), 0);

    applications->running = {kPlayerApp};
    c.appWasLaunched(kPlayerApp);
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "First");
    EXPECT_EQ(c.tracker().accuracy(), 100);
}

// The player's playlists cost several requests each: read once for the menus, again only after a
// notice, a launch or a quit of the player.
TEST_F(ControllerTest, ThePlayersPlaylistsAreReadAgainOnlyAfterANoticeALaunchOrAQuit) {
    auto list = std::make_shared<FakePlaylist>();
    list->mId = 0x11;
    list->mName = "Running";
    player.userLists = {list};
    Controller& c = launch();
    const int atLaunch = player.userPlaylistReads;
    EXPECT_EQ(c.playlistMenus().playlists(), std::vector<std::string>{"Running"});
    EXPECT_EQ(c.playlistMenus().playlistIDs(), std::vector<SInt64>{0x11});
    EXPECT_EQ(player.userPlaylistReads, atLaunch + 1) << "one read for every opening";

    const std::pair<const char*, std::function<void()>> changes[] = {
        {"a notice", [&] { post(0x300, "Playing", 0); }},
        {"a launch", [&] { c.appWasLaunched(kPlayerApp); }},
        {"a quit", [&] { c.appWasTerminated(kPlayerApp); }},
    };
    for (const auto& [name, change] : changes) {
        const int before = player.userPlaylistReads;
        change();
        c.playlistMenus().playlists();
        c.playlistMenus().playlists();
        EXPECT_EQ(player.userPlaylistReads, before + 1) << name;
    }
}

// A save of the assigned tracks that failed while the data folder could not be written is made
// at quit, once the folder can be written again.
TEST_F(ControllerTest, AnAssignmentThatCouldNotBeSavedIsSavedAtQuit) {
    Controller& c = launch();
    // Root writes read-only folders: a file in the folder's place keeps it from being written.
    const fs::path support = folder / "support";
    fs::remove_all(support);
    std::ofstream(support) << "in the way";
    tap120();
    c.applyBPM();
    ASSERT_EQ(player.track->bpmWrites, std::vector<SInt32>{120});
    ASSERT_TRUE(c.assignments()->savePending());

    fs::remove(support);
    fs::create_directories(support);
    c.applicationWillTerminate();
    auto read = PropertyListSerialization::propertyListWithContentsOfFile(assignedPath());
    ASSERT_TRUE(read.ok()) << read.error();
    EXPECT_EQ(read.value(), PropertyList(PropertyList::Array{entry(0x100, 120)}));
}

// The library file can be hundreds of megabytes: it is read off the main thread, and its
// playlists come when the main thread takes the result.
TEST_F(ControllerTest, TheLibraryFileIsReadInTheBackground) {
    const fs::path library = folder / "Music" / "iTunes" / "iTunes Music Library.xml";
    fs::create_directories(library.parent_path());
    ASSERT_TRUE(generated_library::write(library.string(), 10, 2));
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", folder.c_str(), 1);
    Controller& c = launch();
    setenv("HOME", home.c_str(), 1);
    applications->running.clear();

    EXPECT_TRUE(c.playlistMenus().playlists().empty()) << "nothing read on the main thread";
    c.playlistMenus().libraryPlaylists().waitForBackgroundRead();
    scheduler.runPending();
    EXPECT_EQ(c.playlistMenus().playlists(), (std::vector<std::string>{"Playlist 1", "Playlist 2"}));
}

TEST_F(ControllerTest, ADestroyedControllerObservesNothing) {
    launch();
    ASSERT_TRUE(environment.playerInfo && environment.workspaceLaunched);
    controller.reset();  // without applicationWillTerminate, as when the program is torn down
    EXPECT_FALSE(environment.playerInfo) << "the player's broadcast";
    EXPECT_FALSE(environment.workspaceLaunched) << "the workspace's notices";
}

TEST_F(ControllerTest, LivenessProbeNeedsARunningPlayer) {
    Controller& c = launch();
    environment.probes = 0;
    EXPECT_TRUE(c.iTunesIsResponding(20));
    environment.responding = false;
    EXPECT_FALSE(c.iTunesIsResponding(20));
    applications->running.clear();
    EXPECT_FALSE(c.iTunesIsResponding(20));
    EXPECT_EQ(environment.probes, 2) << "no probe without a player";
}

TEST_F(ControllerTest, MetronomeAndTempoControlsActOnMouseDown) {
    player.track->mBpm = 120;
    Controller& c = launch();
    ASSERT_EQ(c.tracker().displayBPM(), 120);
    QWidget* button = c.mainWindow().metronomeButton();
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(14, 14));
    EXPECT_TRUE(c.tracker().metronomeIsPlaying()) << "started on the press";
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(14, 14));
    EXPECT_TRUE(c.tracker().metronomeIsPlaying()) << "the release does not act again";
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(14, 14));
    EXPECT_FALSE(c.tracker().metronomeIsPlaying());

    // ½ on the press, once.
    QWidget* halve = c.mainWindow().halveDoubleBPMButton();
    QTest::mousePress(halve, Qt::LeftButton, Qt::NoModifier, QPoint(5, 12));
    EXPECT_EQ(c.tracker().displayBPM(), 60);
    QTest::mouseRelease(halve, Qt::LeftButton, Qt::NoModifier, QPoint(5, 12));
    EXPECT_EQ(c.tracker().displayBPM(), 60);
}

TEST_F(ControllerTest, TransportButtonsAndTheVolumeSliderReachThePlayer) {
    player.playlist = FakePlaylist::withBpms({0, 120, 0});
    player.track = player.playlist->tracks[0];
    player.position = 30;
    Controller& c = launch();
    player.commands.clear();
    const SInt32 step = c.playerCommands().advanceSeconds();
    for (Button* button : {c.mainWindow().backButton(), c.mainWindow().playPauseButton(),
                           c.mainWindow().skipForwardButton(), c.mainWindow().forwardButton()})
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(14, 14));
    environment.modifiers = NSAlternateKeyMask;  // Option: the window's Next skips tracks with a tempo
    QTest::mouseClick(c.mainWindow().forwardButton(), Qt::LeftButton, Qt::NoModifier, QPoint(14, 14));
    QTest::mouseClick(c.mainWindow().skipNextButton(), Qt::LeftButton, Qt::NoModifier, QPoint(14, 14));
    c.mainWindow().volumeSlider()->setIntValue(20);
    c.mainWindow().volumeSlider()->action();
    EXPECT_EQ(player.commands,
              (std::vector<std::string>{"back", "playpause", "position " + std::to_string(30 + step), "next",
                                        "play Track 3", "play Track 3", "position " + std::to_string(step),
                                        "volume 20"}));
    EXPECT_EQ(c.playerStatus().playerVolume(), 20);
}

TEST_F(ControllerTest, HeldTransportButtonsScanAndResume) {
    player.playlist = FakePlaylist::withBpms({0, 120, 0});
    player.track = player.playlist->tracks[0];
    Controller& c = launch();
    const struct {
        const char* name;
        Button* button;
        int64_t heldMs;
        std::vector<std::string> commands;
    } cases[] = {
        {"forward held", c.mainWindow().forwardButton(), 400, {"ff", "resume"}},
        {"back held", c.mainWindow().backButton(), 1500, {"rew", "resume"}},
        {"back clicked", c.mainWindow().backButton(), 390, {"back"}},
    };
    for (const auto& k : cases) {
        player.commands.clear();
        QTest::mousePress(k.button, Qt::LeftButton, Qt::NoModifier, QPoint(14, 14));
        scheduler.advance(k.heldMs);
        QTest::mouseRelease(k.button, Qt::LeftButton, Qt::NoModifier, QPoint(14, 14));
        EXPECT_EQ(player.commands, k.commands) << k.name;
    }
}

TEST_F(ControllerTest, VolumeSpeakersAndTheBottomRowFitTheWindow) {
    Controller& c = launch();
    auto& slider = static_cast<TexturedSlider&>(*c.mainWindow().volumeSlider());
    ASSERT_EQ(slider.indicatorIndex(), TexturedSlider::kSpeakerIndicator);
    player.commands.clear();
    QTest::mouseClick(slider.maxButton(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 8));
    QTest::mouseClick(slider.minButton(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 8));
    EXPECT_EQ(player.commands, (std::vector<std::string>{"volume 100", "volume 0"}));

    const QWidget* row[] = {c.mainWindow().backButton(),           c.mainWindow().playPauseButton(),
                            c.mainWindow().forwardButton(),        c.mainWindow().skipForwardButton(),
                            c.mainWindow().skipNextButton(),       c.mainWindow().metronomeButton(),
                            c.mainWindow().halveDoubleBPMButton(), c.mainWindow().plusMinusBPMButton(),
                            c.mainWindow().applyBPMButton(),       c.mainWindow().volumeSlider()};
    const QRect content = c.window()->contentView()->rect();
    const QRect tapArea = c.mainWindow().tapView()->geometry();
    for (const QWidget* a : row) {
        EXPECT_TRUE(content.contains(a->geometry())) << a->metaObject()->className() << " inside the window";
        EXPECT_FALSE(a->geometry().intersects(tapArea)) << a->metaObject()->className();
        for (const QWidget* b : row) {
            if (a == b) continue;
            EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                << a->metaObject()->className() << " and " << b->metaObject()->className() << " overlap";
        }
    }
}

// The network worker's "DoUIAlert": the numbered alert of its 4-byte record, informational for
// flag 1 and a warning otherwise; anything but a 4-byte record is ignored.
TEST_F(ControllerTest, AlertRecordsBecomeNumberedAlerts) {
    launch();
    auto post = [](std::optional<PropertyList::Dictionary> info) {
        NSNotificationCenter::defaultCenter().postNotificationName("DoUIAlert", nullptr, std::move(info));
    };
    for (int16_t flag : {1, 0, 2})
        post(PropertyList::Dictionary{{"UIAlertStruct", PropertyList(UIAlertStructBytes({65, flag}))}});
    post(std::nullopt);
    post(PropertyList::Dictionary{});
    post(PropertyList::Dictionary{{"UIAlertStruct", PropertyList(PropertyList::Data{65, 0, 1})}});
    post(PropertyList::Dictionary{{"UIAlertStruct", PropertyList(PropertyList::Data(8, 0))}});
    post(PropertyList::Dictionary{{"UIAlertStruct", PropertyList(std::string("text"))}});
    ASSERT_EQ(presenter.messages.size(), 3u);
    EXPECT_EQ(presenter.messages[0], "The check for a new version failed.");
    EXPECT_EQ(presenter.styles, (std::vector<NSAlertStyle>{NSAlertStyle::Informational, NSAlertStyle::Warning,
                                                           NSAlertStyle::Warning}));
    EXPECT_EQ(presenter.buttons[0], std::vector<std::string>{"OK"});
}

TEST_F(ControllerTest, MainWindowFrameIsKeptInThePreferencesAcrossAQuit) {
    const std::string key = "NSWindow Frame MainWindowPos";
    launch();
    EXPECT_EQ(controller->window()->contentView()->size(), QSize(420, 400))
        << "no saved frame: the default size";
    EXPECT_NE(controller->window()->menuBar(), nullptr);
    EXPECT_EQ(controller->window()->size().height(), 400 + controller->window()->menuBar()->height())
        << "the menu bar lies outside the content";
    controller->window()->setFrameRect(NSMakeRect(30, 40, 460, 420));
    controller->applicationWillTerminate();
    controller.reset();

    // A fresh store reads what was written to disk.
    defaults.reset();
    store = std::make_unique<PreferencesStore>((folder / "prefs").string());
    defaults = std::make_unique<NSUserDefaults>(*store, "com.orvo.Beatwick");
    const auto saved = store->copyValue(key, "com.orvo.Beatwick");
    ASSERT_TRUE(saved && saved->string());
    EXPECT_EQ(saved->string()->rfind("30 40 460 420 ", 0), 0u) << *saved->string();
    launch();
    EXPECT_EQ(controller->window()->frameRect(), NSMakeRect(30, 40, 460, 420));

    // A frame left on a screen that is gone comes back on the first one, at its size.
    controller.reset();
    store->setValue(key, PropertyList("-5000 3000 460 420 -5000 3000 1024 768"), "com.orvo.Beatwick");
    launch();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(area.contains(controller->window()->geometry())) << "on the first screen";
    EXPECT_EQ(controller->window()->size(), QSize(460, 420));
}

TEST_F(ControllerTest, ViewsFollowTheWindowSize) {
    Controller& c = launch();
    Window& window = *c.window();
    const struct {
        QSize asked;
        QSize got;
    } sizes[] = {{{600, 560}, {600, 560}},
                 {{420, 400}, {420, 400}},
                 {{300, 200}, {420, 400}},
                 {{700, 500}, {700, 500}}};
    // The sizes are the content's: the menu bar lies above it.
    const QSize bar(0, window.height() - window.contentView()->height());
    for (const auto& size : sizes) {
        window.resize(size.asked + bar);
        const int w = size.got.width(), h = size.got.height();
        ASSERT_EQ(window.contentView()->size(), size.got) << "never smaller than 420 x 400";
        const NSRect track = c.mainWindow().trackView()->frame();
        EXPECT_EQ(track, NSMakeRect(0, h - 120, w, 120)) << "track panel along the top, " << w << "x" << h;
        EXPECT_EQ(c.mainWindow().tapView()->frame(), NSMakeRect(10, 60, w - 20, h - 188))
            << "the tap area takes the growth";
        EXPECT_EQ(c.mainWindow().metronomeButton()->frame(), NSMakeRect(162, 24, 28, 28))
            << "controls along the bottom";
        EXPECT_EQ(NSMaxX(c.mainWindow().applyBPMButton()->frame()), w - 10) << "Apply keeps its right margin";
        const NSRect name = c.mainWindow().nameField()->frameRect();
        EXPECT_EQ(NSMaxY(name), h - 16);
        EXPECT_EQ(NSMaxX(name), w - 60);
        const NSRect badge = c.mainWindow().bpmBadgeView()->frame();
        EXPECT_EQ(badge.origin.y, name.origin.y + 4) << "the badge stays on the name's line";
        EXPECT_GT(badge.origin.x, name.origin.x);
        EXPECT_LE(NSMaxY(badge), h);
    }
}

// The columns of the name field's place on the track panel that its text inks: those holding a
// pixel unlike the most common one there.
std::pair<int, int> inkedColumns(const QImage& image) {
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
    const QColor back = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                            return a.second < b.second;
                        })->first;
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - back.red()) + std::abs(c.green() - back.green()) +
                    std::abs(c.blue() - back.blue()) >
                96) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    return {left, right};
}

// The badge follows the name as the field draws it: after a left-to-right name at the field's
// left, and after a right-to-left name (Hebrew, Arabic) that the field draws against its right edge.
TEST_F(ControllerTest, TheBadgeSitsBesideTheNameAsDrawn) {
    const struct {
        const char* name;
        bool rightToLeft;
    } cases[] = {{"Morning Run", false}, {"שיר בוקר", true}, {"أغنية الصباح", true}};
    for (const auto& k : cases) {
        player.track = makeTrack(0x100, 120, k.name);
        Controller& c = launch();
        ASSERT_EQ(c.mainWindow().nameField()->stringValue(), k.name);
        const NSRect name = c.mainWindow().nameField()->frameRect();
        c.mainWindow().bpmBadgeView()->hide();  // it lies over the field's place
        const auto [inkLeft, inkRight] = inkedColumns(c.mainWindow()
                                                          .nameField()
                                                          ->parentWidget()
                                                          ->grab(c.mainWindow().nameField()->geometry())
                                                          .toImage());
        c.mainWindow().bpmBadgeView()->show();
        ASSERT_LT(inkLeft, inkRight) << k.name << ": the name is drawn";
        if (k.rightToLeft) {
            ASSERT_GT(inkLeft, 40) << k.name << ": drawn against the right edge";
        } else {
            ASSERT_LT(inkLeft, 10) << k.name << ": drawn from the left edge";
        }
        const CGFloat gap = c.mainWindow().bpmBadgeView()->frame().origin.x - (name.origin.x + inkRight);
        EXPECT_GE(gap, 2) << k.name;
        EXPECT_LE(gap, 12) << k.name;
        EXPECT_EQ(c.mainWindow().bpmBadgeView()->frame().origin.y, name.origin.y + 4) << k.name;
    }
}

// A request to come forward shows a hidden or minimized main window, key, with the tap area
// taking the keys; a window in sight keeps the view that has the keys.
TEST_F(ControllerTest, ReopenShowsTheMainWindowKeyWithTheTapAreaFirstResponder) {
    Controller& c = launch();
    Window& window = *c.window();
    const struct {
        const char* name;
        std::function<void()> before;
        bool tapAreaAfter;
    } cases[] = {
        {"hidden", [&] { window.orderOut(); }, true},
        {"minimized", [&] { window.showMinimized(); }, true},
        {"visible", [] {}, false},
    };
    for (const auto& k : cases) {
        window.makeKeyAndOrderFront();
        window.makeFirstResponder(nullptr);
        k.before();
        QCoreApplication::processEvents();
        EXPECT_FALSE(c.applicationShouldHandleReopen(false)) << k.name;
        BeatwickApplication::reopen(c);
        QCoreApplication::processEvents();
        EXPECT_TRUE(window.isVisible() && !window.isMinimized()) << k.name;
        EXPECT_EQ(window.firstResponder() == c.mainWindow().tapView(), k.tapAreaAfter) << k.name;
        EXPECT_TRUE(!k.tapAreaAfter || window.isKeyWindow()) << k.name;
    }
}

// The metronome keeps time for the track being tapped: it stops when Beatwick goes to the
// background, when another track starts (before the player is asked about it, which may take a
// time-out) and when an Assign moves on to the next track, and plays on for a notice of the same
// track and an Assign that stays.
TEST_F(ControllerTest, TheMetronomeStopsWhenBeatwickLeavesTheTrackOrTheForeground) {
    enum Stop { PlaysOn, Stops, StopsBeforeAskingThePlayer };
    const struct {
        const char* name;
        bool advance;  // "AdvanceWithBPM"
        std::function<void(ControllerTest&, Controller&)> event;
        Stop stop;
    } cases[] = {
        {"Beatwick deactivated", false,
         [](ControllerTest&, Controller&) { emit Application::sharedApplication().didResignActive(); },
         Stops},
        {"a new track", false, [](ControllerTest& t, Controller&) { t.post(0x900, "Playing", 120, "Other"); },
         StopsBeforeAskingThePlayer},
        {"the same track again", false,
         [](ControllerTest& t, Controller&) { t.post(0x100, "Playing", 120, "First"); }, PlaysOn},
        {"Assign that advances", true, [](ControllerTest&, Controller& c) { c.applyBPM(); }, Stops},
        {"Assign that stays", false, [](ControllerTest&, Controller& c) { c.applyBPM(); }, PlaysOn},
    };
    for (const auto& k : cases) {
        defaults->setBool(k.advance, "AdvanceWithBPM");
        player.track = makeTrack(0x100, 120, "First");
        Controller& c = launch();
        c.tracker().startStopMetronome();
        ASSERT_TRUE(c.tracker().metronomeIsPlaying()) << k.name;
        std::vector<bool> playingWhenAsked;
        player.onAsked = [&] { playingWhenAsked.push_back(c.tracker().metronomeIsPlaying()); };
        k.event(*this, c);
        player.onAsked = nullptr;
        EXPECT_EQ(c.tracker().metronomeIsPlaying(), k.stop == PlaysOn) << k.name;
        if (k.stop == StopsBeforeAskingThePlayer) {
            ASSERT_FALSE(playingWhenAsked.empty()) << k.name;
            EXPECT_FALSE(playingWhenAsked.front()) << k.name << ": no clicks while the player is asked";
        }
        if (k.stop != PlaysOn) {
            EXPECT_EQ(c.mainWindow().tapView()->beatNum(), 0) << k.name << ": a new bar";
        }
        controller.reset();
    }
}

// "QuitOnlyIfStarted" quits only a player Beatwick started: one the user had running at launch
// is neither launched again nor quit.
TEST_F(ControllerTest, APlayerRunningAtLaunchIsNotLaunchedAgainNorQuit) {
    const struct {
        const char* name;
        bool runningAtLaunch;
        bool quits;
    } cases[] = {{"the user's player", true, false}, {"a player Beatwick launched", false, true}};
    defaults->setBool(true, "StartiTunesOnLaunch");
    defaults->setBool(true, "QuitiTunesOnQuit");
    defaults->setBool(true, "QuitOnlyIfStarted");
    for (const auto& k : cases) {
        environment.launches = 0;
        applications->terminated.clear();
        applications->running =
            k.runningAtLaunch ? std::vector{kPlayerApp} : std::vector<NSRunningApplication>{};
        Controller& c = launch();
        EXPECT_EQ(environment.launches, k.runningAtLaunch ? 0 : 1) << k.name;
        applications->running = {kPlayerApp};
        c.applicationWillTerminate();
        EXPECT_EQ(applications->terminated.size(), k.quits ? 1u : 0u) << k.name;
    }
}

// The player's notice names its track by a signed number, by one past the signed range, or by
// decimal text; each names the same track, so the assigned list knows it and a second notice of
// it keeps the taps.
TEST_F(ControllerTest, ANoticesTrackIdIsReadInEachOfItsForms) {
    const SInt64 high = static_cast<SInt64>(0xF000000000000300ULL);
    const struct {
        const char* name;
        SInt64 id;
        PropertyList value;
    } cases[] = {
        {"a signed number", 0x300, PropertyList(SInt64{0x300})},
        {"beyond the signed range", high, PropertyList(0xF000000000000300ULL)},
        {"decimal text", 0x300, PropertyList("768")},
    };
    for (const auto& k : cases) {
        writeAssigned({entry(k.id, 90)});
        Controller& c = launch();
        auto notice = [&] {
            player.track = makeTrack(k.id, 90, "Tagged");
            environment.playerInfo(NSNotification{
                "com.apple.iTunes.playerInfo", nullptr,
                PropertyList::Dictionary{{"PersistentID", k.value}, {"Player State", "Playing"}}});
            scheduler.advance(0);
        };
        notice();
        EXPECT_TRUE(c.trackPreviouslyAssigned()) << k.name;
        EXPECT_EQ(c.tracker().accuracy(), 100) << k.name;
        c.mainWindow().processTap(1000);
        c.mainWindow().processTap(1500);
        const int taps = c.tracker().totaltaps();
        notice();
        EXPECT_EQ(c.tracker().totaltaps(), taps) << k.name << ": the same track";
    }
}

// The badge sits on the name's line 5 points after the name as the field draws it, the drawn
// name ending at most at the field's end, and 12 points into the field while there is no name.
TEST_F(ControllerTest, TheBadgeFollowsTheEndOfTheName) {
    Controller& c = launch();
    TextField& field = *c.mainWindow().nameField();
    const struct {
        const char* name;
        std::string title;
        CGFloat after;  // points after the drawn name's end; without a name, after the field's start
    } cases[] = {{"no name", "", 12},
                 {"a short name", "Blue", 5},
                 {"a name wider than the field", std::string(80, 'W'), 5}};
    for (const auto& k : cases) {
        post(0x700, "Playing", 120, k.title);
        post(0x701, "Playing", 120, k.title);
        const NSRect name = field.frameRect();
        const auto drawn = field.drawnTextSpan();
        ASSERT_EQ(drawn.has_value(), !k.title.empty()) << k.name;
        if (drawn) {
            ASSERT_LE(drawn->second, name.size.width) << k.name << ": the drawn name ends in the field";
        }
        const NSRect badge = c.mainWindow().bpmBadgeView()->frame();
        EXPECT_EQ(badge.origin.x, std::lround(name.origin.x + (drawn ? drawn->second : 0) + k.after))
            << k.name << ": frames are whole points";
        EXPECT_EQ(badge.origin.y, name.origin.y + 4) << k.name;
    }
}

// Counts the paint events of every widget while it lives.
struct PaintCounter : QObject {
    int paints{0};
    PaintCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~PaintCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// A window at rest draws nothing, whatever the player does: no view's drawing may ask for more.
TEST_F(ControllerTest, TheWindowAtRestPaintsNothing) {
    const struct {
        const char* name;
        const char* state;  // nullptr: no track
    } cases[] = {{"playing", "Playing"}, {"paused", "Paused"}, {"no track", nullptr}};
    for (const auto& k : cases) {
        ManualAnimationClock clock;
        ScopedAnimationClock scopedClock(clock);
        Controller& c = launch();
        c.showMainWindow();
        if (k.state)
            post(0x500, k.state, 120, "Steady");
        else {
            player.track = nullptr;
            environment.playerInfo(NSNotification{"com.apple.iTunes.playerInfo", nullptr, {}});
            scheduler.advance(0);
        }
        PaintCounter counter;
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();  // settles
        ASSERT_GT(counter.paints, 0) << k.name << ": the window was drawn";
        counter.paints = 0;
        for (int ms = 0; ms < 1000; ms += 50) {
            scheduler.advance(50);
            clock.advance(0.05);
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(counter.paints, 0) << k.name;
        controller.reset();
    }
}

}  // namespace

TEST_F(ControllerTest, AssigningATempoRunsTheRulesOnTheNewBPM) {
    auto jazz = std::make_shared<FakePlaylist>();
    jazz->mId = 0x500;
    player.userLists = {jazz};
    player.track = makeTrack(0x100, 0, "First");
    Controller& c = launch();
    RulesController& rules = c.rulesController();
    rules.addNewRule();
    rules.setAddToPlaylist(true, 0);
    rules.setAddPlaylistID(0x500, 0);
    rules.setActivateiTunes(true, 0);
    rules.setRules(PredicateParser::predicateWithFormat("trackBPM >= 120 AND assigned == YES").value(), 0);
    player.commands.clear();
    applications->activated.clear();

    tap120();
    c.applyBPM();
    EXPECT_EQ(player.commands, std::vector<std::string>{"add /music/First.mp3 to 1280"});
    EXPECT_EQ(applications->activated, std::vector<pid_t>{kPlayerApp.processIdentifier});
}

// A floating main window stays above every ordinary window: Beatwick's own windows are transient
// for it while it floats, so the window manager keeps them above it, also when the preferences
// window itself turns floating on.
TEST_F(ControllerTest, WhileTheMainWindowFloatsBeatwicksOtherWindowsStayAboveIt) {
    defaults->setBool(true, "MakeFloatingWindow");
    Controller& c = launch();
    c.performMenuCommand(MenuCommand::ShowPreferenceWindow);
    c.performMenuCommand(MenuCommand::ShowAboutWindow);
    c.performMenuCommand(MenuCommand::ShowFeedbackWindow);
    ASSERT_NE(AboutWindowController::existingController(), nullptr);
    ASSERT_EQ(FeedbackWindowController::openForms().size(), 1u);
    const std::vector<Window*> own{&c.prefsController().window(),
                                   AboutWindowController::existingController()->window(),
                                   FeedbackWindowController::openForms().front()->window()};
    auto expectAbove = [&](Window* owner, const char* when) {
        for (Window* window : own) {
            EXPECT_EQ(window->transientFor(), owner) << window->windowTitle().toStdString() << ", " << when;
            ASSERT_NE(window->windowHandle(), nullptr);
            EXPECT_EQ(window->windowHandle()->transientParent(), owner ? owner->windowHandle() : nullptr)
                << when;
            EXPECT_TRUE(window->isVisible()) << when;
        }
    };
    expectAbove(c.window(), "floating");
    defaults->setBool(false, "MakeFloatingWindow");
    NSNotificationCenter::defaultCenter().postNotificationName("WindowStyleChanged");
    expectAbove(nullptr, "not floating");
    defaults->setBool(true, "MakeFloatingWindow");
    NSNotificationCenter::defaultCenter().postNotificationName("WindowStyleChanged");
    expectAbove(c.window(), "floating again");

    AboutWindowController::existingController()->window()->performClose();
    FeedbackWindowController::openForms().front()->window()->performClose();
    QTest::qWait(0);
}

TEST_F(ControllerTest, TheFeedbackAndSupportCommandsEachOpenANewFormOfTheirKind) {
    Controller& c = launch();
    c.performMenuCommand(MenuCommand::ShowFeedbackWindow);
    c.performMenuCommand(MenuCommand::ShowSupportWindow);
    EXPECT_EQ(c.feedbackController(), nullptr) << "a shown form owns itself";
    const auto forms = FeedbackWindowController::openForms();
    ASSERT_EQ(forms.size(), 2u);
    EXPECT_TRUE(forms[0]->isFeedback());
    EXPECT_FALSE(forms[1]->isFeedback());
    for (FeedbackWindowController* form : forms) form->window()->performClose();
    QTest::qWait(0);
    EXPECT_TRUE(FeedbackWindowController::openForms().empty());
}

// The menu's check and the weekly one both go through the environment, the menu's as asked; a
// newer version the worker reports is announced either way, and "Get It" opens the home page.
TEST_F(ControllerTest, ANewerVersionFromTheAskedOrTheWeeklyCheckIsAnnounced) {
    struct Case {
        const char* what;
        bool asked;
        int16_t update;
        const char* message;
    } cases[] = {
        {"asked, an update", true, kUpdateNewerVersion, "A newer version of Beatwick is available."},
        {"weekly, a major update", false, kUpdateMajorVersion,
         "A new major version of Beatwick is available."},
    };
    std::vector<std::string> opened;
    URLOpener::setOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The worker's answer to a check, as it posts it.
        environment.versionCheck = [&](bool userAsked) {
            UIUpdateStruct update;
            UThreadUIUpdate::InitUIUpdateStruct(update);
            update.SetCode(c.update);
            update.SetFlag(userAsked ? 1 : 0);
            UThreadUIUpdate::DoUIUpdate(update);
        };
        environment.askedChecks.clear();
        defaults->setBool(!c.asked, "CheckForUpdates");
        presenter.messages.clear();
        presenter.buttons.clear();
        opened.clear();
        Controller& ctl = launch();
        if (c.asked) ctl.mainMenu().itemForCommand(MenuCommand::CheckForNewVersion)->performAction();
        scheduler.runPending();
        EXPECT_EQ(environment.askedChecks, std::vector<bool>{c.asked});
        EXPECT_EQ(presenter.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(presenter.buttons, (std::vector<std::vector<std::string>>{{"Get It", "Cancel"}}));
        EXPECT_EQ(opened, std::vector<std::string>{Controller::kHomepageURL});
        controller.reset();
    }
    URLOpener::setOpener(nullptr);
}
