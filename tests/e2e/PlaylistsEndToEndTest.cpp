// The playlist and genre menus and Get Info of Beatwick's own controller, with the real
// player-standin on the test's private bus and a library file of its own in the player's format,
// odd playlists included: without the player the menus read the file; with it they ask the
// player, the genre list comes from its library and Get Info reaches its event log.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QThread>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EndToEndHome.h"
#include "Source/BridgePlayer.h"
#include "Source/Controller.h"
#include "Source/MainMenu.h"
#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PlayerBridge.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "Source/PlayerRulesHost.h"
#include "Source/RulesController.h"
#include "Source/SystemControllerEnvironment.h"
#include "StandInSession.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Menu.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/ApplicationRegistry.h"
#include "platform/Foundation/BusRunningApplications.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/PredicateParser.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "platform/Foundation/Workspace.h"

namespace {

constexpr SInt64 kRunning = 0x5EA7B1C000000102;
constexpr SInt64 kCalm = 0x5EA7B1C000000104;
constexpr SInt64 kFirstTrack = 0x5EA7B1C000000001;
constexpr SInt64 kStreamTrack = 0x5EA7B1C000000002;

// Tracks: a file track, a stream (no location), a file track; playlists of every kind the
// player writes, the plain ones being "Running" [third] and "Calm" [first] inside a folder.
std::string libraryText(const std::string& musicFolder) {
    const std::string file = "file://" + musicFolder;
    auto track = [](int id, const char* name, const char* genre, const char* pid,
                    const std::string& location) {
        std::string text = "<key>" + std::to_string(id) + "</key><dict><key>Track ID</key><integer>" +
                           std::to_string(id) + "</integer><key>Name</key><string>" + name +
                           "</string><key>Artist</key><string>Tester</string><key>Genre</key><string>" +
                           genre +
                           "</string><key>Total Time</key><integer>215000</integer><key>Persistent "
                           "ID</key><string>" +
                           pid + "</string>";
        if (!location.empty())
            text += "<key>Track Type</key><string>File</string><key>Location</key><string>" + location +
                    "</string>";
        else
            text += "<key>Track Type</key><string>URL</string>";
        return text + "</dict>\n";
    };
    auto playlist = [](const char* name, int id, const char* pid, const std::string& extra,
                       const std::vector<int>& items) {
        std::string text = "<dict><key>Name</key><string>" + std::string(name) +
                           "</string><key>Playlist ID</key><integer>" + std::to_string(id) +
                           "</integer><key>Playlist Persistent ID</key><string>" + pid + "</string>" + extra +
                           "<key>Playlist Items</key><array>";
        for (int item : items)
            text += "<dict><key>Track ID</key><integer>" + std::to_string(item) + "</integer></dict>";
        return text + "</array></dict>\n";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>Major Version</key><integer>1</integer><key>Minor Version</key><integer>1</integer>"
           "<key>Application Version</key><string>10.6.3</string>"
           "<key>Library Persistent ID</key><string>5EA7B1C0000000FF</string><key>Tracks</key><dict>\n" +
           track(1001, "Morning Run", "Rock", "5EA7B1C000000001", file + "Morning%20Run.mp3") +
           track(1002, "Radio Hour", "ambient", "5EA7B1C000000002", "") +
           track(1003, "Slow River", "Blues", "5EA7B1C000000003", file + "Slow%20River.mp3") +
           "</dict><key>Playlists</key><array>\n" +
           playlist("Library", 2001, "5EA7B1C000000100", "<key>Master</key><true/>", {1001, 1002, 1003}) +
           playlist("Music", 2002, "5EA7B1C000000101", "<key>Distinguished Kind</key><integer>4</integer>",
                    {1001, 1002, 1003}) +
           playlist("Running", 2003, "5EA7B1C000000102", "", {1003}) +
           playlist("Moods", 2004, "5EA7B1C000000103", "<key>Folder</key><true/>", {}) +
           playlist("Calm", 2005, "5EA7B1C000000104",
                    "<key>Parent Persistent ID</key><string>5EA7B1C000000103</string>", {1001}) +
           playlist("Top Rated", 2006, "5EA7B1C000000106",
                    "<key>Smart Info</key><data>AQEAAwAAAAIAAAAZAAAAAAAAAAcAAAAAAAAAAAAAAAAAAAAA</data>",
                    {}) +
           "</array></dict></plist>\n";
}

struct RecordingPresenter : AlertPresenter {
    std::vector<std::string> messages;
    void present(const NSAlert& alert, Window*, std::function<void(NSModalResponse)> done) override {
        messages.push_back(alert.messageText);
        done(NSAlertFirstButtonReturn);
    }
};

class PlaylistsEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fHome.ready());
        const std::string music = fHome.path() + "/Music/Files/";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(music)));
        for (const char* name : {"Morning Run.mp3", "Slow River.mp3"}) {
            QFile audio(QString::fromStdString(music + name));
            ASSERT_TRUE(audio.open(QIODevice::WriteOnly));
        }
        QFile library(QString::fromStdString(fHome.libraryFile()));
        ASSERT_TRUE(library.open(QIODevice::WriteOnly | QIODevice::Truncate));
        library.write(QByteArray::fromStdString(libraryText(music)));
        library.close();
        AlertPresenter::setCurrent(&fPresenter);
        ApplicationRegistry::shared().registerApplication("com.apple.iTunes", kStandIn, "iTunes");
        NSWorkspace::sharedWorkspace();
        NSDistributedNotificationCenter::defaultCenter().addObserver(
            this, "com.apple.iTunes.playerInfo", [this](const NSNotification& notification) {
                if (!notification.userInfo) return;
                if (auto id = notification.userInfo->find("PersistentID"); id != notification.userInfo->end())
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

    bool waitFor(const std::function<bool()>& condition, int boundMs = 20000) {
        return runEventsUntil(fScheduler, condition, boundMs);
    }

    void startPlayer() {
        ASSERT_TRUE(NSWorkspace::sharedWorkspace().launchApplication("com.apple.iTunes"));
        ASSERT_TRUE(waitFor([] { return PBRunningPlayerProcessID() != 0; }));
    }

    bool playing(SInt64 persistentID) {
        return waitFor([&] {
                   return std::find(fHandled.begin(), fHandled.end(), persistentID) != fHandled.end();
               }) &&
               waitFor([&] { return fController->playerStatus().persistentID() == persistentID; });
    }

    Controller& launch() {
        NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();
        Controller::initialize(defaults);
        defaults.setBool(false, "CheckForUpdates");
        defaults.setBool(false, "StartiTunesOnLaunch");
        fController = std::make_unique<Controller>(Controller::Services{
            fEnvironment, fPlayer, defaults, PreferencesStore::shared(), Clock::system()});
        fController->awakeFromNib();
        fController->applicationWillFinishLaunching();
        fController->applicationDidFinishLaunching();
        fScheduler.runPending();
        return *fController;
    }

    // The tracks the player's playlist holds now, asked through the bridge.
    SInt32 trackCount(SInt64 playlist) {
        auto list = PlayerBridge::sharedInstance().playlistWithPersistentId(playlist);
        return list ? list->trackCount() : -1;
    }
    bool holds(SInt64 playlist, SInt64 track) {
        auto list = PlayerBridge::sharedInstance().playlistWithPersistentId(playlist);
        return list && list->trackWithPersistentId(track) != nullptr;
    }

    EndToEndHome fHome;
    RecordingPresenter fPresenter;
    VirtualScheduler fScheduler;
    ScopedScheduler fScopedScheduler{fScheduler};
    ScopedAETransport fTransport{std::make_shared<DBusTransport>()};
    ScopedRunningApplicationSource fApplications{std::make_shared<BusRunningApplications>()};
    SystemControllerEnvironment fEnvironment;
    BridgePlayer fPlayer;
    std::unique_ptr<Controller> fController;
    std::vector<SInt64> fHandled;
};

using Strings = std::vector<std::string>;

TEST_F(PlaylistsEndToEnd, WithoutThePlayerTheLibraryFilesPlaylistsAndTheDefaultGenresAreOffered) {
    Controller& c = launch();
    EXPECT_EQ(c.playlistMenus().playlists(), (Strings{"Running", "Calm"}));
    EXPECT_EQ(c.playlistMenus().playlistIDs(), (std::vector<SInt64>{kRunning, kCalm}));
    const Strings shown = c.mainWindow().genreButton()->itemTitles();
    ASSERT_GT(shown.size(), 3u);
    EXPECT_EQ(shown[0], "Genre not specified");
    EXPECT_EQ(shown[2], "Alternative") << "the bundle's genres after the separator";
    EXPECT_TRUE(c.mainWindow().genreButton()->itemAtIndex(1)->separator);

    // The commands menu's submenu is rebuilt as it shows.
    NSMenuItem* add = c.mainMenu().controlsMenu()->itemWithTitle("Add to Playlist");
    ASSERT_TRUE(add && add->submenu());
    QMenu qmenu;
    add->submenu()->fillQMenu(qmenu);
    ASSERT_EQ(add->submenu()->numberOfItems(), 2u);
    EXPECT_EQ(add->submenu()->itemAtIndex(1)->title(), "Calm");
    EXPECT_EQ(qmenu.actions().size(), 2);
    EXPECT_TRUE(fPresenter.messages.empty());
}

TEST_F(PlaylistsEndToEnd, WithThePlayerItsPlaylistsGenresAndInfoWindowAreUsed) {
    startPlayer();
    control({"play"});
    Controller& c = launch();
    ASSERT_TRUE(playing(kFirstTrack));

    EXPECT_EQ(c.playlistMenus().genres(),
              (Strings{"Genre not specified", "\u2022\u2022\u2022", "ambient", "Blues", "Rock"}));
    EXPECT_EQ(c.mainWindow().genreButton()->titleOfSelectedItem(), "Rock");

    auto menu = c.playlistMenus().makeAddToPlaylistMenu();
    c.playlistMenus().menuNeedsUpdate(*menu);
    ASSERT_EQ(menu->numberOfItems(), 2u);
    EXPECT_EQ(menu->itemAtIndex(0)->title(), "Running");
    EXPECT_EQ(menu->itemAtIndex(1)->title(), "Calm");

    // The first item adds the playing track to the first playlist, once.
    ASSERT_FALSE(holds(kRunning, kFirstTrack));
    menu->itemAtIndex(0)->performAction();
    EXPECT_TRUE(holds(kRunning, kFirstTrack));
    EXPECT_EQ(trackCount(kRunning), 2);
    menu->itemAtIndex(0)->performAction();
    EXPECT_EQ(trackCount(kRunning), 2) << "already there: nothing";
    c.playlistMenus().addToPlaylistFromMenu(1);
    EXPECT_EQ(trackCount(kCalm), 1) << "Calm held the track from the start";

    // The pop-up: its image item stays, the playlists follow it.
    PopUpButton* popUp = c.mainWindow().addToPlaylistButton();
    EXPECT_FALSE(popUp->isHidden()) << "the window shows the add-to-playlist button";
    c.playlistMenus().popUpNeedsUpdate();
    EXPECT_EQ(popUp->itemTitles(), (Strings{"", "Running", "Calm"}));

    // A stream has no file to add, and the player answering, nothing is reported.
    control({"next"});
    ASSERT_TRUE(playing(kStreamTrack));
    popUp->chooseItemAtIndex(1);
    EXPECT_EQ(trackCount(kRunning), 2);
    EXPECT_TRUE(fPresenter.messages.empty());

    // Get Info reaches the player within its time-out.
    c.playlistMenus().getTrackInfo();
    const QStringList events = control({"events"}).split('\n');
    const auto info = std::find_if(events.begin(), events.end(),
                                   [](const QString& line) { return line.startsWith("'hook'\\'Info'"); });
    ASSERT_NE(info, events.end()) << control({"events"}).toStdString();
    EXPECT_TRUE(info->endsWith("\t120\t0")) << info->toStdString();
    EXPECT_TRUE(fPresenter.messages.empty());
}

TEST_F(PlaylistsEndToEnd, RulesAddRemoveAndShowInfoThroughThePlayer) {
    startPlayer();
    control({"play"});
    Controller& c = launch();
    ASSERT_TRUE(playing(kFirstTrack));

    // Rows in order: move the track from Calm to Running and open its info window; then a rule
    // whose condition cannot be read, which is logged and leaves the next one to run.
    RulesController& rules = c.rulesController();
    for (int i = 0; i < 3; ++i) rules.addNewRule();
    auto when = [](const char* format) { return PredicateParser::predicateWithFormat(format).value(); };
    rules.setRules(when("trackName ==[c] \"morning run\" AND trackRating < threestars"), 0);
    rules.setAddToPlaylist(true, 0);
    rules.setAddPlaylistID(kRunning, 0);
    rules.setRemoveFromPlaylist(true, 0);
    rules.setRemovePlaylistID(kCalm, 0);
    rules.setRules(when("trackTempo > 0"), 1);
    rules.setActivateiTunes(true, 1);
    rules.setRules(when("trackGenre == \"Rock\""), 2);
    rules.setShowGetInfo(true, 2);
    rules.setActivateiTunes(true, 2);
    ASSERT_TRUE(holds(kCalm, kFirstTrack));
    ASSERT_FALSE(holds(kRunning, kFirstTrack));

    c.rulesController().applyRules(c.playerStatus(), c.rulesHost());
    EXPECT_TRUE(holds(kRunning, kFirstTrack));
    EXPECT_EQ(trackCount(kRunning), 2);
    EXPECT_FALSE(holds(kCalm, kFirstTrack));
    const QStringList events = control({"events"}).split('\n');
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const QString& line) {
        return line.startsWith("'hook'\\'Info'");
    })) << control({"events"}).toStdString();

    // Again: already in Running and no longer in Calm, so the player is asked for nothing new.
    c.rulesController().applyRules(c.playerStatus(), c.rulesHost());
    EXPECT_EQ(trackCount(kRunning), 2);
    EXPECT_EQ(trackCount(kCalm), 0);

    // A stream has no file: the playlist steps are skipped.
    rules.setRules(when("trackBPM >= 0"), 0);
    control({"next"});
    ASSERT_TRUE(playing(kStreamTrack));
    c.rulesController().applyRules(c.playerStatus(), c.rulesHost());
    EXPECT_EQ(trackCount(kRunning), 2);
    EXPECT_TRUE(fPresenter.messages.empty());
}

}  // namespace
