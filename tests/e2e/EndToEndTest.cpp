// Beatwick's own controller and main window, in this process on the offscreen platform, with the
// real player-standin on the test's private bus: the current track is shown, a tapped tempo is
// written into the player's library and the assigned-tracks list, and the tracker follows the
// player's track changes. Beatwick's timers run on virtual time and the taps carry injected time
// stamps; every wait is on an event, with a generous bound.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EndToEndHome.h"
#include "Source/BPMBadgeView.h"
#include "Source/BPMTracker.h"
#include "Source/BridgePlayer.h"
#include "Source/Controller.h"
#include "Source/MainMenu.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "Source/PlaylistMenus.h"
#include "Source/RatingView.h"
#include "Source/SystemControllerEnvironment.h"
#include "Source/TapView.h"
#include "StandInSession.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/Menu.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppKit/SegmentedControl.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/Window.h"
#include "platform/AppleEvents/AETransport.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/ApplicationRegistry.h"
#include "platform/Foundation/BusRunningApplications.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "platform/Foundation/Workspace.h"

namespace {

// What `player-standin --ctl state` tells: the play state, then the track's name, artist and
// hexadecimal persistent ID.
struct PlayerState {
    std::string state;
    std::string name;
    SInt64 persistentID{0};
};

PlayerState playerState() {
    const QStringList fields = control({"state"}).split('\t');
    PlayerState state;
    if (fields.size() < 4) return state;
    state.state = fields[0].toStdString();
    state.name = fields[1].toStdString();
    state.persistentID = static_cast<SInt64>(fields[3].toULongLong(nullptr, 16));
    return state;
}

std::optional<PropertyList> readPlist(const std::string& path) {
    Result<PropertyList> plist = PropertyListSerialization::propertyListWithContentsOfFile(path);
    if (!plist) return std::nullopt;
    return plist.value();
}

// The BPM the player's library file holds for the track; -1 when the track is not there.
int64_t bpmInLibraryFile(const EndToEndHome& home, SInt64 persistentID) {
    const auto plist = readPlist(home.libraryFile());
    const PropertyList* tracks = plist ? plist->objectForKey("Tracks") : nullptr;
    if (!tracks || !tracks->dictionary()) return -1;
    char id[17];
    std::snprintf(id, sizeof id, "%016llX", static_cast<unsigned long long>(persistentID));
    for (const auto& [key, track] : *tracks->dictionary()) {
        const PropertyList* persistent = track.objectForKey("Persistent ID");
        if (persistent && persistent->string() && *persistent->string() == id) {
            const PropertyList* bpm = track.objectForKey("BPM");
            return bpm ? bpm->integer().value_or(-1) : 0;
        }
    }
    return -1;
}

// The BPM "AssignedTrackIDs.plist" records for the track; nullopt when it holds no entry.
std::optional<int64_t> bpmInAssignedList(const EndToEndHome& home, SInt64 persistentID) {
    const auto plist = readPlist(home.dataFolder() + "/Beatwick/AssignedTrackIDs.plist");
    if (!plist || !plist->array()) return std::nullopt;
    for (const PropertyList& entry : *plist->array()) {
        const PropertyList* id = entry.objectForKey("TrackPersistentID");
        const PropertyList* bpm = entry.objectForKey("BPM");
        if (id && bpm && id->integer() == persistentID) return bpm->integer();
    }
    return std::nullopt;
}

// The bus transport, counting the sends that went without a reply in time.
class CountingTransport : public AETransport {
public:
    OSStatus send(const AETarget& target, const std::vector<uint8_t>& event, AESendMode mode,
                  SInt32 timeoutTicks, std::vector<uint8_t>* reply) override {
        const OSStatus status = fBus.send(target, event, mode, timeoutTicks, reply);
        if (status == errAETimeout) ++timeouts;
        return status;
    }
    int timeouts{0};

private:
    DBusTransport fBus;
};

// Waits for the stand-in to serve without running this process's event loop, so that Beatwick
// hears of its launch only afterwards.
bool standInServes() {
    for (int i = 0; i < 300; ++i) {
        QProcess process;
        process.start(QString::fromLatin1(kStandIn), {"--ctl", "state"});
        if (process.waitForFinished(15000) && process.exitCode() == 0) return true;
        QThread::msleep(50);
    }
    return false;
}

// The tracks of the named playlist in the player's library file, by persistent ID; nullopt when
// the file or the playlist is not there.
std::optional<std::vector<SInt64>> playlistInLibraryFile(const EndToEndHome& home, const std::string& name) {
    const auto plist = readPlist(home.libraryFile());
    const PropertyList* tracks = plist ? plist->objectForKey("Tracks") : nullptr;
    const PropertyList* playlists = plist ? plist->objectForKey("Playlists") : nullptr;
    if (!tracks || !playlists || !playlists->array()) return std::nullopt;
    for (const PropertyList& playlist : *playlists->array()) {
        const PropertyList* title = playlist.objectForKey("Name");
        if (!title || !title->string() || *title->string() != name) continue;
        std::vector<SInt64> ids;
        const PropertyList* items = playlist.objectForKey("Playlist Items");
        for (const PropertyList& item : items && items->array() ? *items->array() : PropertyList::Array{}) {
            const PropertyList* id = item.objectForKey("Track ID");
            const PropertyList* track =
                id ? tracks->objectForKey(std::to_string(id->integer().value_or(0))) : nullptr;
            const PropertyList* persistent = track ? track->objectForKey("Persistent ID") : nullptr;
            if (persistent && persistent->string())
                ids.push_back(static_cast<SInt64>(std::stoull(*persistent->string(), nullptr, 16)));
        }
        return ids;
    }
    return std::nullopt;
}

struct RecordingPresenter : AlertPresenter {
    std::vector<std::string> messages;
    std::vector<std::string> texts;
    void present(const NSAlert& alert, Window*, std::function<void(NSModalResponse)> done) override {
        messages.push_back(alert.messageText);
        texts.push_back(alert.informativeText);
        done(NSAlertFirstButtonReturn);
    }
};

class EndToEnd : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fHome.ready()) << "a HOME of this test's own";
        AlertPresenter::setCurrent(&fPresenter);
        ApplicationRegistry::shared().registerApplication("com.apple.iTunes", kStandIn, "iTunes");
        NSWorkspace::sharedWorkspace();  // observing name changes before the player starts
        NSDistributedNotificationCenter::defaultCenter().addObserver(
            this, "com.apple.iTunes.playerInfo", [this](const NSNotification& notification) {
                if (notification.userInfo)
                    if (auto id = notification.userInfo->find("PersistentID");
                        id != notification.userInfo->end())
                        fHandled.push_back(id->second.integer().value_or(0));
            });
    }

    void TearDown() override {
        if (fController) fController->applicationWillTerminate();
        fController.reset();
        NSDistributedNotificationCenter::defaultCenter().removeObserver(this);
        AlertPresenter::setCurrent(nullptr);
        quitStandIn(fScheduler);
    }

    // Runs the event loop and Beatwick's queued work until the condition holds; false when it
    // did not within the bound. Beatwick's timed work stays on virtual time.
    bool waitFor(const std::function<bool()>& condition, int boundMs = 20000) {
        return runEventsUntil(fScheduler, condition, boundMs);
    }

    void startPlayer() {
        ASSERT_TRUE(NSWorkspace::sharedWorkspace().launchApplication("com.apple.iTunes"));
        ASSERT_TRUE(waitFor([] { return PBRunningPlayerProcessID() != 0; })) << "the stand-in took its name";
    }

    // The player's broadcast of that track has reached Beatwick: its observer came before ours.
    bool waitForPlayerInfo(SInt64 persistentID) {
        return waitFor(
            [&] { return std::find(fHandled.begin(), fHandled.end(), persistentID) != fHandled.end(); });
    }

    Controller& launch(bool startPlayer = false) {
        NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();
        Controller::initialize(defaults);
        defaults.setBool(false, "CheckForUpdates");
        defaults.setBool(startPlayer, "StartiTunesOnLaunch");
        fController = std::make_unique<Controller>(Controller::Services{
            fEnvironment, fPlayer, defaults, PreferencesStore::shared(), Clock::system()});
        fController->awakeFromNib();
        fController->applicationWillFinishLaunching();
        fController->applicationDidFinishLaunching();
        fController->mainWindow().tapView()->setClock([this] { return fNow; });
        fScheduler.runPending();
        return *fController;
    }

    void key(Qt::Key key) {
        QWidget* responder = fController->window()->firstResponder();
        ASSERT_EQ(responder, fController->mainWindow().tapView()) << "the tap area has the keyboard";
        QTest::keyClick(responder, key);
        fScheduler.runPending();
    }

    EndToEndHome fHome;  // first, so everything below starts in it
    RecordingPresenter fPresenter;
    VirtualScheduler fScheduler;
    ScopedScheduler fScopedScheduler{fScheduler};
    std::shared_ptr<CountingTransport> fBus = std::make_shared<CountingTransport>();
    ScopedAETransport fTransport{fBus};
    ScopedRunningApplicationSource fApplications{std::make_shared<BusRunningApplications>()};
    SystemControllerEnvironment fEnvironment;
    BridgePlayer fPlayer;
    std::unique_ptr<Controller> fController;
    uint64_t fNow{1'700'000'000'000};
    std::vector<SInt64> fHandled;  // persistent IDs of the broadcasts Beatwick handled, in order
};

TEST_F(EndToEnd, ShowsTheTrackTapsATempoAssignsItAndFollowsTrackChanges) {
    startPlayer();
    control({"play"});
    const PlayerState first = playerState();
    ASSERT_EQ(first.state, "Playing");
    ASSERT_EQ(first.name, "Morning Run") << "the sample library's first track";

    // Start-up shows the playing track with its stars and tempo.
    Controller& c = launch();
    EXPECT_EQ(c.playerStatus().persistentID(), first.persistentID);
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "Morning Run");
    EXPECT_EQ(c.mainWindow().artistField()->stringValue(), "The Metronomes");
    EXPECT_EQ(c.mainWindow().albumField()->stringValue(), "Tap Tempo Sessions");
    EXPECT_EQ(c.mainWindow().ratingView()->rating(), 80) << "four stars";
    EXPECT_EQ(c.mainWindow().bpmBadgeView()->bpm(), 128);
    EXPECT_FALSE(c.mainWindow().bpmBadgeView()->assigned());
    EXPECT_EQ(c.tracker().accuracy(), 10) << "a tempo this program never assigned";
    const int loadedTaps = c.tracker().totaltaps();  // what a freshly loaded track counts

    // Eight key taps 500 ms apart.
    for (int i = 0; i < 8; ++i) {
        key(Qt::Key_Space);
        fNow += 500;
    }
    EXPECT_EQ(c.mainWindow().currentDisplayBPM(), 120);
    EXPECT_EQ(c.mainWindow().currentAccuracy(), 100);
    EXPECT_TRUE(c.mainWindow().assignBPMIsDefault());
    EXPECT_EQ(c.window()->defaultButton(), c.mainWindow().applyBPMButton()) << "Apply is the default button";

    // Return assigns: the player's library and Beatwick's list hold it once the player has
    // answered a request that follows the assignment.
    const int tapped = c.tracker().totaltaps();
    key(Qt::Key_Return);
    EXPECT_EQ(c.tracker().totaltaps(), tapped) << "Return is no tap";
    EXPECT_TRUE(c.currentTrackAssigned());
    EXPECT_TRUE(c.mainWindow().bpmBadgeView()->assigned());
    EXPECT_EQ(c.mainWindow().bpmBadgeView()->bpm(), 120);
    ASSERT_EQ(playerState().persistentID, first.persistentID);
    EXPECT_EQ(bpmInLibraryFile(fHome, first.persistentID), 120);
    EXPECT_EQ(bpmInAssignedList(fHome, first.persistentID), 120);

    // The next track starts a fresh tracker.
    control({"next"});
    const PlayerState second = playerState();
    ASSERT_NE(second.persistentID, first.persistentID);
    ASSERT_TRUE(waitForPlayerInfo(second.persistentID)) << "the broadcast of the next track";
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), second.name);
    EXPECT_EQ(c.tracker().totaltaps(), loadedTaps);
    EXPECT_EQ(c.tracker().msSinceLastTap(fNow), 0u) << "no tap of the previous track is kept";
    EXPECT_EQ(c.tracker().accuracy(), 10);
    EXPECT_FALSE(c.trackPreviouslyAssigned());
    EXPECT_FALSE(c.mainWindow().bpmBadgeView()->assigned());

    // Back to the tagged track: it starts settled.
    fHandled.clear();
    control({"previous"});
    ASSERT_EQ(playerState().persistentID, first.persistentID);
    ASSERT_TRUE(waitForPlayerInfo(first.persistentID)) << "the broadcast of the tagged track";
    EXPECT_EQ(c.mainWindow().nameField()->stringValue(), "Morning Run");
    EXPECT_TRUE(c.trackPreviouslyAssigned());
    EXPECT_EQ(c.tracker().accuracy(), 100);
    EXPECT_EQ(c.mainWindow().bpmBadgeView()->bpm(), 120);
    EXPECT_TRUE(c.mainWindow().bpmBadgeView()->assigned());

    EXPECT_EQ(fPresenter.messages, std::vector<std::string>{}) << "no alert";
}

TEST_F(EndToEnd, StartingWithoutAPlayerLaunchesItPlaying) {
    ASSERT_EQ(PBRunningPlayerProcessID(), 0);
    Controller& c = launch(true);
    EXPECT_TRUE(c.didLaunchiTunes());
    ASSERT_TRUE(waitFor([] { return PBRunningPlayerProcessID() != 0; })) << "the stand-in was launched";
    // Its first event starts playback, and the broadcast of it brings the track in.
    ASSERT_TRUE(waitFor([&] { return c.mainWindow().nameField()->stringValue() == "Morning Run"; }))
        << c.mainWindow().nameField()->stringValue();
    EXPECT_EQ(playerState().state, "Playing");
    EXPECT_EQ(c.tracker().accuracy(), 10);
}

// A player that takes its bus name and never answers costs Beatwick one time-out at its launch:
// after the first unanswered request, the liveness probe and the genre list do not wait again.
TEST_F(EndToEnd, TheLaunchOfAPlayerThatNeverAnswersCostsOneTimeOut) {
    Controller& c = launch();
    ASSERT_EQ(c.mainWindow().nameField()->stringValue(), "iTunes not running");
    ASSERT_TRUE(NSWorkspace::sharedWorkspace().launchApplication("com.apple.iTunes"));
    ASSERT_TRUE(standInServes());
    const pid_t pid = PBRunningPlayerProcessID();
    ASSERT_NE(pid, 0);
    kill(pid, SIGSTOP);
    ASSERT_TRUE(waitFor([&] { return c.mainWindow().nameField()->stringValue() == "iTunes not responding"; }))
        << c.mainWindow().nameField()->stringValue();
    EXPECT_EQ(fBus->timeouts, 1);
    EXPECT_EQ(c.playlistMenus().genres().size() > 2, true) << "the bundle's genres stand in for the player's";
    kill(pid, SIGCONT);
}

// Apply with a player whose reply comes late: the current track's request times out, the probe
// after it does not wait again, and the failure alert comes at once.
TEST_F(EndToEnd, ApplyWithASlowPlayerCostsOneTimeOutAndAlertsAtOnce) {
    startPlayer();
    control({"play"});
    Controller& c = launch();
    ASSERT_EQ(c.mainWindow().nameField()->stringValue(), "Morning Run");
    ASSERT_TRUE(waitForPlayerInfo(c.playerStatus().persistentID())) << "the broadcast of the play";
    for (int i = 0; i < 8; ++i) {
        key(Qt::Key_Space);
        fNow += 500;
    }
    ASSERT_EQ(c.mainWindow().currentDisplayBPM(), 120);
    control({"delay", "8000"});
    fBus->timeouts = 0;
    c.applyBPM();
    EXPECT_EQ(fPresenter.messages, std::vector<std::string>{"Save BPM failed"});
    EXPECT_EQ(fBus->timeouts, 1);
    EXPECT_FALSE(c.currentTrackAssigned());
}

// Tap, Return, then ½: the halved tempo is offered again, and Apply writes it into the player's
// library.
TEST_F(EndToEnd, AHalvedTempoIsAppliedAfterAnAssign) {
    startPlayer();
    control({"play"});
    Controller& c = launch();
    const SInt64 track = c.playerStatus().persistentID();
    ASSERT_NE(track, 0);
    // The player's launch notice and its broadcast of the play come first: the launch would
    // start the tracker afresh.
    ASSERT_TRUE(waitForPlayerInfo(track)) << "the broadcast of the play";
    for (int i = 0; i < 8; ++i) {
        key(Qt::Key_Space);
        fNow += 500;
    }
    key(Qt::Key_Return);
    // The write awaits no reply: the library file shows it once the player has saved it.
    ASSERT_TRUE(waitFor([&] { return bpmInLibraryFile(fHome, track) == 120; }));
    ASSERT_FALSE(c.mainWindow().applyBPMButton()->isEnabled());

    QTest::mousePress(c.mainWindow().halveDoubleBPMButton(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 12));
    QTest::mouseRelease(c.mainWindow().halveDoubleBPMButton(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 12));
    ASSERT_EQ(c.mainWindow().currentDisplayBPM(), 60);
    EXPECT_TRUE(c.mainWindow().applyBPMButton()->isEnabled());
    QTest::mouseClick(c.mainWindow().applyBPMButton(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 14));
    EXPECT_TRUE(waitFor([&] { return bpmInLibraryFile(fHome, track) == 60; }))
        << bpmInLibraryFile(fHome, track);
    EXPECT_EQ(bpmInAssignedList(fHome, track), 60);
    EXPECT_EQ(c.mainWindow().bpmBadgeView()->bpm(), 60);
    EXPECT_TRUE(fPresenter.messages.empty());
}

// With the sample library as the stand-in provides it, Add to Playlist from the Controls menu and
// from the pop-up reaches the player; a track whose file has gone is reported by its file.
TEST_F(EndToEnd, AddToPlaylistWithTheSampleLibraryReachesThePlayer) {
    startPlayer();
    control({"play"});
    Controller& c = launch();
    const SInt64 track = c.playerStatus().persistentID();
    ASSERT_EQ(c.mainWindow().nameField()->stringValue(), "Morning Run");
    auto holds = [&](const char* playlist) {
        const auto ids = playlistInLibraryFile(fHome, playlist);
        return ids && std::find(ids->begin(), ids->end(), track) != ids->end();
    };
    ASSERT_FALSE(holds("Calm"));
    ASSERT_FALSE(holds("Rainy Day"));

    NSMenuItem* add = c.mainMenu().controlsMenu()->itemWithTitle("Add to Playlist");
    ASSERT_TRUE(add && add->submenu());
    QMenu shown;
    add->submenu()->fillQMenu(shown);
    NSMenuItem* calm = add->submenu()->itemWithTitle("Calm");
    ASSERT_NE(calm, nullptr);
    calm->performAction();
    EXPECT_TRUE(waitFor([&] { return holds("Calm"); })) << "the Controls menu's add";

    PopUpButton* popUp = c.mainWindow().addToPlaylistButton();
    c.playlistMenus().popUpNeedsUpdate();
    const std::vector<std::string> titles = popUp->itemTitles();
    const auto rainy = std::find(titles.begin(), titles.end(), "Rainy Day");
    ASSERT_NE(rainy, titles.end());
    popUp->chooseItemAtIndex(static_cast<int>(rainy - titles.begin()));
    EXPECT_TRUE(waitFor([&] { return holds("Rainy Day"); })) << "the pop-up's add";
    EXPECT_TRUE(fPresenter.messages.empty());

    // The file is gone: nothing reaches the player, and the alert names the file.
    const std::optional<std::string> path = c.playerStatus().track()->path();
    ASSERT_TRUE(path && std::filesystem::remove(*path)) << path.value_or("no path");
    const size_t before = playlistInLibraryFile(fHome, "No Tempo Yet").value_or(std::vector<SInt64>{}).size();
    c.playlistMenus().popUpNeedsUpdate();
    const std::vector<std::string> again = popUp->itemTitles();
    const auto noTempo = std::find(again.begin(), again.end(), "No Tempo Yet");
    ASSERT_NE(noTempo, again.end());
    popUp->chooseItemAtIndex(static_cast<int>(noTempo - again.begin()));
    EXPECT_EQ(fPresenter.messages, std::vector<std::string>{"Add to playlist failed"});
    ASSERT_EQ(fPresenter.texts.size(), 1u);
    EXPECT_NE(fPresenter.texts[0].find(*path), std::string::npos) << fPresenter.texts[0];
    ASSERT_EQ(playerState().persistentID, track) << "a request after the add";
    EXPECT_EQ(playlistInLibraryFile(fHome, "No Tempo Yet").value_or(std::vector<SInt64>{}).size(), before);
}

}  // namespace
