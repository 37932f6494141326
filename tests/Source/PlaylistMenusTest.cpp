// The add-to-playlist menus, the genre list and Get Info against a fake player, with the
// bundle's scripts answered on an in-process transport and alerts answered by a presenter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Source/ApplescriptController.h"
#include "Source/PlayerStatus.h"
#include "Source/PlayerStatusHost.h"
#include "Source/PlaylistMenus.h"
#include "Source/PlaylistMenusHost.h"
#include "Source/UserPlaylists.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Menu.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/AppleEvents/InProcessTransport.h"
#include "platform/Foundation/Bundle.h"
#include "tests/Source/FakePlayer.h"
#include "tests/Source/ViewTestApplication.h"

namespace {

namespace fs = std::filesystem;

struct FakeHost : PlaylistMenusHost, PlayerStatusHost {
    bool running{true};
    bool responding{true};
    bool accessibility{true};
    int mainWindowShown{0};
    int genreChanges{0};
    std::vector<std::string> opened;

    bool iTunesIsRunning() override { return running; }
    bool iTunesIsResponding(UInt32) override { return running && responding; }
    bool trackAssigned(SInt64, SInt32, bool) override { return false; }
    bool accessibilityEnabled() override { return accessibility; }
    Window* sheetWindow() override { return nullptr; }
    void showMainWindow() override { ++mainWindowShown; }
    void openFile(const std::string& path) override { opened.push_back(path); }
    void genresChanged() override { ++genreChanges; }
};

struct RecordingPresenter : AlertPresenter {
    std::vector<NSAlert> alerts;
    NSModalResponse answer{NSAlertFirstButtonReturn};
    void present(const NSAlert& alert, Window*, std::function<void(NSModalResponse)> done) override {
        alerts.push_back(alert);
        done(answer);
    }
};

std::shared_ptr<FakePlaylist> playlist(SInt64 id, const std::string& name) {
    auto list = std::make_shared<FakePlaylist>();
    list->mId = id;
    list->mName = name;
    return list;
}

constexpr const char* kLibraryFile = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>Playlists</key><array>
<dict><key>Name</key><string>Library</string><key>Master</key><true/>
<key>Playlist Persistent ID</key><string>00000000000000AA</string></dict>
<dict><key>Name</key><string>From the file</string>
<key>Playlist Persistent ID</key><string>00000000000000BB</string></dict>
</array></dict></plist>
)";

struct PlaylistMenusTest : ::testing::Test {
    fs::path libraryFile =
        fs::temp_directory_path() / ("playlistmenus-" + std::to_string(::getpid()) + ".xml");
    FakeHost host;
    FakePlayer player;
    PlayerStatus model{host, player};
    RecordingPresenter presenter;
    std::shared_ptr<InProcessTransport> transport = std::make_shared<InProcessTransport>();
    ScopedAETransport scopedTransport{transport};
    std::unique_ptr<PlaylistMenus> menus;
    // The genres the player's script answers; nullopt: the script's event fails.
    std::optional<std::vector<std::string>> playerGenres = std::vector<std::string>{};

    void SetUp() override {
        viewTestApplication();
        AlertPresenter::setCurrent(&presenter);
        ApplescriptController::setLog([](const std::string&) {});
        std::ofstream(libraryFile) << kLibraryFile;
        menus = std::make_unique<PlaylistMenus>(host, player, model,
                                                std::make_unique<UserPlaylists>(libraryFile.string()));
        transport->addHandler(77, fourCC("hook"), [this](const AppleEvent& event, AppleEvent& reply) {
            if (event.event()->eventID != fourCC("Gnrs")) return OSStatus{noErr};
            if (!playerGenres) return OSStatus{errAEEventNotHandled};
            AEDesc list = AEDesc::makeList();
            for (const std::string& genre : *playerGenres)
                list.put(0, AEDesc::makeData(typeChar, genre.data(), genre.size()));
            return OSStatus(AEPutParamDesc(&reply, keyDirectObject, &list));
        });
        player.userLists = {playlist(0x11, "Running"), playlist(0x22, "Calm")};
        play(makeTrack(7, 120, "Song"));
    }
    void TearDown() override {
        AlertPresenter::setCurrent(nullptr);
        ApplescriptController::setLog(nullptr);
        fs::remove(libraryFile);
    }
    void play(std::shared_ptr<FakeTrack> track) {
        player.track = std::move(track);
        model.updateWithPlayerBridge();
        player.commands.clear();
    }
    std::vector<std::string> titles(const NSMenu& menu) const {
        std::vector<std::string> shown;
        for (size_t i = 0; i < menu.numberOfItems(); ++i)
            shown.push_back(menu.itemAtIndex(i)->title() + "#" + std::to_string(menu.itemAtIndex(i)->tag()));
        return shown;
    }
    std::vector<std::string> alertMessages() const {
        std::vector<std::string> messages;
        for (const NSAlert& alert : presenter.alerts) messages.push_back(alert.messageText);
        return messages;
    }
    std::vector<std::string> scriptEvents() const {
        std::vector<std::string> events;
        for (const AELogEntry& entry : transport->log().entries()) events.push_back(entry.event);
        return events;
    }
};

using Strings = std::vector<std::string>;

TEST_F(PlaylistMenusTest, MenusListThePlayersPlaylistsAndAddToTheOneChosen) {
    auto menu = menus->makeAddToPlaylistMenu();
    menus->menuNeedsUpdate(*menu);
    EXPECT_EQ(titles(*menu), (Strings{"Running#0", "Calm#1"}));

    ASSERT_TRUE(menu->itemAtIndex(0)->performAction());
    EXPECT_EQ(player.commands, (Strings{"add /music/Song.mp3 to 17"}))
        << "the first item, the first playlist";

    player.commands.clear();
    player.userLists[1]->tracks.push_back(player.track);
    menus->addToPlaylistFromMenu(1);
    EXPECT_TRUE(player.commands.empty()) << "a track already in the playlist is not added twice";

    menus->addToPlaylistFromMenu(2);
    menus->addToPlaylistFromMenu(-1);
    EXPECT_TRUE(player.commands.empty()) << "no playlist past the end";
    EXPECT_TRUE(presenter.alerts.empty());
}

TEST_F(PlaylistMenusTest, AChoiceAddsToThePlaylistTheMenuShowedEvenWhenTheListChanged) {
    auto menu = menus->makeAddToPlaylistMenu();
    PopUpButton popUp(true);
    popUp.addItemWithTitle("");  // the button's image
    menus->setAddToPlaylistPopUp(&popUp);
    menus->menuNeedsUpdate(*menu);
    menus->popUpNeedsUpdate();
    EXPECT_EQ(popUp.itemTitles(), (Strings{"", "Running", "Calm"}));

    // A playlist appears in the player before the user picks from the open menus.
    player.userLists.insert(player.userLists.begin(), playlist(0x33, "New"));
    menu->itemAtIndex(0)->performAction();
    popUp.chooseItemAtIndex(2);
    EXPECT_EQ(player.commands, (Strings{"add /music/Song.mp3 to 17", "add /music/Song.mp3 to 34"}));

    // Rebuilt after a notice, the menus show the new list; the image item stays first.
    menus->forgetPlayerPlaylists();
    menus->popUpNeedsUpdate();
    EXPECT_EQ(popUp.itemTitles(), (Strings{"", "New", "Running", "Calm"}));
    player.commands.clear();
    popUp.chooseItemAtIndex(0);
    EXPECT_TRUE(player.commands.empty()) << "the image item adds nothing";
}

// Reading the player's list costs several requests a playlist: both menus and later openings use
// the first read until the list is forgotten.
TEST_F(PlaylistMenusTest, ThePlayersListIsReadOnceUntilForgotten) {
    auto menu = menus->makeAddToPlaylistMenu();
    PopUpButton popUp(true);
    popUp.addItemWithTitle("");
    menus->setAddToPlaylistPopUp(&popUp);
    menus->menuNeedsUpdate(*menu);
    menus->menuNeedsUpdate(*menu);
    menus->popUpNeedsUpdate();
    EXPECT_EQ(player.userPlaylistReads, 1);
    EXPECT_EQ(titles(*menu), (Strings{"Running#0", "Calm#1"}));

    player.userLists.push_back(playlist(0x33, "New"));
    menus->forgetPlayerPlaylists();
    menus->menuNeedsUpdate(*menu);
    EXPECT_EQ(player.userPlaylistReads, 2);
    EXPECT_EQ(titles(*menu), (Strings{"Running#0", "Calm#1", "New#2"}));

    // A player that quit: the library file's list, whatever was kept.
    host.running = false;
    EXPECT_EQ(menus->playlists(), (Strings{"From the file"}));
    EXPECT_EQ(player.userPlaylistReads, 2);
}

TEST_F(PlaylistMenusTest, WithoutThePlayersListTheLibraryFilesPlainPlaylistsAreOffered) {
    const Strings fromFile{"From the file"};
    host.running = false;
    EXPECT_EQ(menus->playlists(), fromFile);
    EXPECT_EQ(menus->playlistIDs(), (std::vector<SInt64>{0xBB}));
    PopUpButton popUp(true);
    popUp.addItemWithTitle("");
    menus->setAddToPlaylistPopUp(&popUp);
    menus->popUpNeedsUpdate();
    ASSERT_EQ(popUp.itemTitles(), (Strings{"", "From the file"}));
    EXPECT_FALSE(popUp.itemAtIndex(1)->enabled) << "the pop-up adds only while the player runs";

    host.running = true;
    player.userLists.clear();
    EXPECT_EQ(menus->playlists(), fromFile) << "a running player that lists none";
    player.userLists = {playlist(0x11, "Running"), playlist(-1, "Unreadable ID")};
    menus->forgetPlayerPlaylists();
    EXPECT_EQ(menus->playlists(), (Strings{"Running"}));
}

TEST_F(PlaylistMenusTest, TracksThatCannotBeAddedAddNothingAndOnlyASilentPlayerIsReported) {
    auto menu = menus->makeAddToPlaylistMenu();
    menus->menuNeedsUpdate(*menu);
    auto stream = makeTrack(8, 0, "Radio");
    stream->mPath.reset();
    stream->mLocation.reset();
    play(stream);
    menus->addToPlaylistFromMenu(0);
    EXPECT_TRUE(player.commands.empty());
    EXPECT_TRUE(presenter.alerts.empty()) << "a stream while the player answers";

    host.responding = false;
    menus->addToPlaylistFromMenu(0);
    EXPECT_EQ(alertMessages(), (Strings{"Add to playlist failed"}));
    EXPECT_EQ(presenter.alerts[0].informativeText,
              NSBundle::mainBundle().localizedStringForKey("ITUNESNOTRESPONDING", "", ""));
    EXPECT_EQ(presenter.alerts[0].alertStyle, NSAlertStyle::Critical);

    play(nullptr);
    menus->addToPlaylistFromMenu(0);
    EXPECT_EQ(presenter.alerts.size(), 1u) << "no track, nothing";
    EXPECT_TRUE(player.commands.empty());
}

TEST_F(PlaylistMenusTest, AnAddThatDoesNotReachThePlayerIsReported) {
    auto menu = menus->makeAddToPlaylistMenu();
    menus->menuNeedsUpdate(*menu);
    player.addStatus = errAETimeout;
    menus->addToPlaylistFromMenu(0);
    EXPECT_EQ(alertMessages(), (Strings{"Add to playlist failed"})) << "the player's answer did not come";
    EXPECT_EQ(presenter.alerts.back().informativeText,
              NSBundle::mainBundle().localizedStringForKey("ITUNESNOTRESPONDING", "", ""));

    // The track's file is not there: the alert names it.
    player.addStatus = fnfErr;
    menus->addToPlaylistFromMenu(0);
    ASSERT_EQ(alertMessages(), (Strings{"Add to playlist failed", "Add to playlist failed"}));
    EXPECT_NE(presenter.alerts.back().informativeText.find("/music/Song.mp3"), std::string::npos)
        << presenter.alerts.back().informativeText;
    EXPECT_EQ(presenter.alerts.back().informativeText.find("%@"), std::string::npos);

    // The playlist is gone: only a silent player is worth an alert.
    player.addStatus = 0;
    player.userLists.clear();
    menus->addToPlaylistFromMenu(1);
    EXPECT_EQ(presenter.alerts.size(), 2u);
    host.responding = false;
    menus->addToPlaylistFromMenu(1);
    EXPECT_EQ(presenter.alerts.size(), 3u);
}

TEST_F(PlaylistMenusTest, PlaylistPositionLookUps) {
    const std::vector<SInt64> ids{5, 9, 5};
    EXPECT_EQ(PlaylistMenus::playlistIndexForPersistentID(ids, 5), 0u);
    EXPECT_EQ(PlaylistMenus::playlistIndexForPersistentID(ids, 9), 1u);
    EXPECT_EQ(PlaylistMenus::playlistIndexForPersistentID(ids, 4), 3u) << "not there: the count";
    EXPECT_EQ(PlaylistMenus::playlistIndexForPersistentID({}, 4), 0u);
    EXPECT_EQ(PlaylistMenus::playlistPersistentIDForIndex(ids, 1), 9);
    EXPECT_EQ(PlaylistMenus::playlistPersistentIDForIndex(ids, 3), 0);
}

TEST_F(PlaylistMenusTest, GenreListFromThePlayerIsSortedCaseInsensitivelyAfterItsFirstEntries) {
    playerGenres = Strings{"rock", "", "Ambient", "Blues", "electronic"};
    EXPECT_EQ(menus->genres(), (Strings{"Genre not specified", "\u2022\u2022\u2022", "Ambient", "Blues",
                                        "electronic", "rock"}));
    EXPECT_EQ(scriptEvents(), (Strings{"'hook'\\'Gnrs'{}"}));
    EXPECT_EQ(host.genreChanges, 0) << "the first list is no change";
    menus->genres();
    EXPECT_EQ(scriptEvents().size(), 1u) << "built once, on first use";

    playerGenres = Strings{""};
    menus->getGenreList();
    EXPECT_EQ(menus->genres(), (Strings{"Genre not specified"})) << "no genres, no separator";
    EXPECT_EQ(host.genreChanges, 1);
}

TEST_F(PlaylistMenusTest, GenreListFallsBackOnTheBundlesDefaultGenres) {
    const struct {
        const char* name;
        bool responding;
        std::optional<Strings> answer;
    } cases[] = {
        {"silent player", false, Strings{"Rock"}},
        {"script fails", true, std::nullopt},
        {"no items", true, Strings{}},
    };
    for (const auto& c : cases) {
        host.responding = c.responding;
        playerGenres = c.answer;
        menus->getGenreList();
        const Strings genres = menus->genres();
        ASSERT_GT(genres.size(), 3u) << c.name;
        EXPECT_EQ(Strings(genres.begin(), genres.begin() + 3),
                  (Strings{"Genre not specified", "\u2022\u2022\u2022", "Alternative"}))
            << c.name;
        EXPECT_TRUE(std::is_sorted(genres.begin() + 2, genres.end())) << c.name;
    }
    EXPECT_EQ(host.genreChanges, 0) << "the fall-back tells no one";
}

TEST_F(PlaylistMenusTest, SelectGenreSetsTheTracksGenre) {
    menus->selectGenre(0, "Genre not specified");
    menus->selectGenre(3, "Folk");
    EXPECT_EQ(player.track->genreWrites, (Strings{"", "Folk"}));
    auto track = player.track;
    play(nullptr);
    menus->selectGenre(3, "Folk");
    EXPECT_EQ(track->genreWrites.size(), 2u);
}

TEST_F(PlaylistMenusTest, GetInfoRunsItsScriptOrSaysWhyNot) {
    menus->getTrackInfo();
    ASSERT_EQ(scriptEvents().size(), 1u);
    EXPECT_EQ(scriptEvents()[0].rfind("'hook'\\'Info'", 0), 0u);

    host.responding = false;
    menus->getTrackInfo();
    EXPECT_EQ(alertMessages(), (Strings{"Get track info failed"}));
    EXPECT_EQ(scriptEvents().size(), 1u);

    presenter.alerts.clear();
    host.accessibility = false;
    for (const NSModalResponse answer : {NSAlertSecondButtonReturn, NSAlertFirstButtonReturn}) {
        presenter.answer = answer;
        menus->getTrackInfo();
    }
    ASSERT_EQ(presenter.alerts.size(), 2u);
    EXPECT_EQ(presenter.alerts[0].buttonTitles(), (Strings{"Open", "Cancel"}));
    EXPECT_EQ(presenter.alerts[0].messageText, "\"Enable access for assistive devices\" not enabled.");
    EXPECT_EQ(host.opened, (Strings{PlaylistMenus::kUniversalAccessPrefs})) << "only Open opens the settings";
    EXPECT_EQ(scriptEvents().size(), 1u);
}

}  // namespace
