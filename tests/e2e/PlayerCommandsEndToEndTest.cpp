// The player commands of Beatwick's own controller against the real player-standin on the
// test's private bus, with a library file of its own: Next skipping the tracks whose tempo is
// done, seeks, rating steps and volume steps, each read back from the player.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EndToEndHome.h"
#include "Source/BridgePlayer.h"
#include "Source/Controller.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PlayerBridge.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "Source/SystemControllerEnvironment.h"
#include "StandInSession.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Slider.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/ApplicationRegistry.h"
#include "platform/Foundation/BusRunningApplications.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "platform/Foundation/Workspace.h"

namespace {

// Five file tracks of four minutes in one library, in order; the BPMs make the skip walk's case:
// after "One", "Two" and "Three" are done and "Four" has no tempo.
std::string libraryText() {
    const char* names[] = {"One", "Two", "Three", "Four", "Five"};
    const int bpms[] = {0, 120, 130, 0, 90};
    std::string tracks, items;
    for (int i = 0; i < 5; ++i) {
        const std::string id = std::to_string(1001 + i);
        tracks +=
            "<key>" + id + "</key><dict><key>Track ID</key><integer>" + id +
            "</integer><key>Name</key><string>" + names[i] +
            "</string><key>Artist</key><string>Tester</string><key>Total Time</key><integer>240000</"
            "integer><key>Rating</key><integer>40</integer>" +
            (bpms[i] ? "<key>BPM</key><integer>" + std::to_string(bpms[i]) + "</integer>" : std::string()) +
            "<key>Persistent ID</key><string>C0FFEE000000000" + std::to_string(i + 1) +
            "</string><key>Track Type</key><string>File</string><key>Location</key><string>file:///music/" +
            names[i] + ".mp3</string></dict>\n";
        items += "<dict><key>Track ID</key><integer>" + id + "</integer></dict>";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>Major Version</key><integer>1</integer><key>Minor Version</key><integer>1</integer>"
           "<key>Application Version</key><string>10.6.3</string>"
           "<key>Library Persistent ID</key><string>C0FFEE00000000FF</string><key>Tracks</key><dict>\n" +
           tracks +
           "</dict><key>Playlists</key><array><dict><key>Name</key><string>Library</string>"
           "<key>Master</key><true/><key>Playlist ID</key><integer>2001</integer>"
           "<key>Playlist Persistent ID</key><string>C0FFEE0000000100</string><key>Playlist "
           "Items</key><array>" +
           items + "</array></dict></array></dict></plist>\n";
}

class PlayerCommandsEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fHome.ready());
        QFile library(QString::fromStdString(fHome.libraryFile()));
        ASSERT_TRUE(library.open(QIODevice::WriteOnly | QIODevice::Truncate));
        library.write(QByteArray::fromStdString(libraryText()));
        library.close();
        AlertPresenter::setCurrent(&fPresenter);
        ApplicationRegistry::shared().registerApplication("com.apple.iTunes", kStandIn, "iTunes");
        NSWorkspace::sharedWorkspace();
        ASSERT_TRUE(NSWorkspace::sharedWorkspace().launchApplication("com.apple.iTunes"));
        ASSERT_TRUE(waitFor([] { return PBRunningPlayerProcessID() != 0; }));
        control({"play"});
        NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();
        Controller::initialize(defaults);
        defaults.setBool(false, "CheckForUpdates");
        defaults.setBool(false, "StartiTunesOnLaunch");
        defaults.setBool(true, "SkipIfHasBPM");
        defaults.setBool(false, "OnlyIfConfirmed");
        defaults.setObject(PropertyList(std::string("20")), "AdvanceSeconds");
        fController = std::make_unique<Controller>(Controller::Services{
            fEnvironment, fPlayer, defaults, PreferencesStore::shared(), Clock::system()});
        fController->awakeFromNib();
        fController->applicationWillFinishLaunching();
        fController->applicationDidFinishLaunching();
        ASSERT_TRUE(waitFor([&] { return playingName() == "One"; }));
        ASSERT_TRUE(waitFor([&] { return fController->playerStatus().trackName() == "One"; }));
    }

    void TearDown() override {
        if (fController) fController->applicationWillTerminate();
        fController.reset();
        AlertPresenter::setCurrent(nullptr);
        quitStandIn(fScheduler);
    }

    bool waitFor(const std::function<bool()>& condition, int boundMs = 20000) {
        return runEventsUntil(fScheduler, condition, boundMs);
    }

    std::string playingName() {
        const QStringList fields = control({"state"}).split('\t');
        return fields.size() > 1 ? fields[1].toStdString() : std::string();
    }

    EndToEndHome fHome;
    struct : AlertPresenter {
        void present(const NSAlert&, Window*, std::function<void(NSModalResponse)> done) override {
            done(NSAlertFirstButtonReturn);
        }
    } fPresenter;
    VirtualScheduler fScheduler;
    ScopedScheduler fScopedScheduler{fScheduler};
    ScopedAETransport fTransport{std::make_shared<DBusTransport>()};
    ScopedRunningApplicationSource fApplications{std::make_shared<BusRunningApplications>()};
    SystemControllerEnvironment fEnvironment;
    BridgePlayer fPlayer;
    std::unique_ptr<Controller> fController;
};

TEST_F(PlayerCommandsEndToEnd, NextSkipsTheTracksWithATempoAndSeeksWhenAsked) {
    Controller& c = *fController;
    c.playerCommands().nextTrack(
        PlayerCommands::Sender::None);  // as an Assign moves on: "SkipIfHasBPM" decides
    EXPECT_TRUE(waitFor([&] { return playingName() == "Four"; })) << playingName();

    // Without skipping, Next-plus-skip goes to the next track and seeks into it.
    ASSERT_TRUE(waitFor([&] { return c.playerStatus().trackName() == "Four"; }));
    NSUserDefaults::standardUserDefaults().setBool(false, "SkipIfHasBPM");
    c.playerCommands().nextPlusSkipForward(PlayerCommands::Sender::None);
    EXPECT_TRUE(waitFor([&] { return playingName() == "Five"; })) << playingName();
    EXPECT_GE(PlayerBridge::sharedInstance().playerPosition(), 20) << "seeked 20 seconds in";
}

TEST_F(PlayerCommandsEndToEnd, SeeksRatingsAndVolumeReachThePlayer) {
    Controller& c = *fController;
    PlayerBridge& player = PlayerBridge::sharedInstance();
    player.setPlayerPosition(100);
    c.playerCommands().skipForward();
    EXPECT_GE(player.playerPosition(), 120);
    EXPECT_LT(player.playerPosition(), 130);
    c.playerCommands().skipBack();
    EXPECT_GE(player.playerPosition(), 100);
    EXPECT_LT(player.playerPosition(), 110);

    ASSERT_EQ(c.playerStatus().trackRating(), 40);
    c.playerCommands().ratingUp();
    EXPECT_TRUE(waitFor([&] { return player.currentTrack() && player.currentTrack()->rating() == 60; }));
    EXPECT_EQ(c.playerStatus().trackRating(), 60);
    c.playerCommands().ratingDown();
    c.playerCommands().ratingDown();
    EXPECT_TRUE(waitFor([&] { return player.currentTrack()->rating() == 20; }));

    c.mainWindow().volumeSlider()->setIntValue(50);
    c.playerCommands().volumeUp();
    EXPECT_TRUE(waitFor([&] { return player.playerVolume() == 55; }));
    c.playerCommands().volumeDown();
    c.playerCommands().volumeDown();
    EXPECT_TRUE(waitFor([&] { return player.playerVolume() == 45; }));
}

}  // namespace
