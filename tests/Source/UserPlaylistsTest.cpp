// The add-to-playlist menus' list while the player does not run: a library file in the player's
// own format, with the kinds of playlist a user cannot add to.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Source/UserPlaylists.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "tests/support/FifoInPlace.h"
#include "tests/support/GeneratedLibrary.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kLibraryFile = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple Computer//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>Major Version</key><integer>1</integer>
	<key>Application Version</key><string>7.4.1</string>
	<key>Tracks</key>
	<dict>
		<key>1001</key>
		<dict>
			<key>Track ID</key><integer>1001</integer>
			<key>Name</key><string>Morning Run</string>
			<key>Persistent ID</key><string>5EA7B1C000000001</string>
		</dict>
	</dict>
	<key>Playlists</key>
	<array>
		<dict>
			<key>Name</key><string>Library</string>
			<key>Master</key><true/>
			<key>Playlist ID</key><integer>2001</integer>
			<key>Playlist Persistent ID</key><string>5EA7B1C000000100</string>
		</dict>
		<dict>
			<key>Name</key><string>Running</string>
			<key>Playlist ID</key><integer>2002</integer>
			<key>Playlist Persistent ID</key><string>5EA7B1C000000102</string>
			<key>Playlist Items</key>
			<array><dict><key>Track ID</key><integer>1001</integer></dict></array>
		</dict>
		<dict>
			<key>Name</key><string>Music</string>
			<key>Distinguished Kind</key><integer>4</integer>
			<key>Playlist Persistent ID</key><string>5EA7B1C000000101</string>
		</dict>
		<dict>
			<key>Name</key><string>Fast ones</string>
			<key>Smart Info</key><data>AQEAAwAAAAIAAAAZAAAAAAAAAAcAAAAAAAAAAAAAAAAAAAAA</data>
			<key>Playlist Persistent ID</key><string>5EA7B1C000000105</string>
		</dict>
		<dict>
			<key>Name</key><string>Moods</string>
			<key>Folder</key><true/>
			<key>Playlist Persistent ID</key><string>5EA7B1C000000103</string>
		</dict>
		<dict>
			<key>Name</key><string>Zero</string>
			<key>Playlist Persistent ID</key><string>0000000000000000</string>
		</dict>
		<dict>
			<key>Name</key><string>No ID</string>
		</dict>
		<dict>
			<key>Name</key><string>Calm</string>
			<key>Master</key><false/>
			<key>Folder</key><false/>
			<key>Parent Persistent ID</key><string>5EA7B1C000000103</string>
			<key>Playlist Persistent ID</key><string>fedcba9876543210</string>
		</dict>
	</array>
</dict>
</plist>
)";

struct UserPlaylistsTest : ::testing::Test {
    fs::path folder =
        fs::temp_directory_path() / ("userplaylists-" + std::to_string(::getpid()) + "-" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }
    std::string write(const std::string& text) const {
        const fs::path path = folder / "iTunes Music Library.xml";
        std::ofstream(path) << text;
        return path.string();
    }
};

TEST_F(UserPlaylistsTest, ListsOnlyThePlainPlaylistsWithAnIDInTheFilesOrder) {
    const UserPlaylists lists(write(kLibraryFile));
    EXPECT_EQ(lists.playlists(), (std::vector<std::string>{"Running", "Calm"}));
    EXPECT_EQ(lists.playlistIDs(),
              (std::vector<SInt64>{0x5EA7B1C000000102, static_cast<SInt64>(0xFEDCBA9876543210ULL)}));
}

TEST_F(UserPlaylistsTest, AMissingOrBrokenFileGivesTwoEmptyListsAndOneLineSayingWhy) {
    struct Case {
        std::string path;
        const char* why;
    };
    const Case cases[] = {
        {(folder / "absent.xml").string(), "No such file"},
        {write("<plist><dict><key>Play"), "truncated"},
        {folder.string(), "not a regular file"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> logged;
        const UserPlaylists lists(c.path, UserPlaylists::Reading::AtOnce,
                                  [&](const std::string& line) { logged.push_back(line); });
        EXPECT_TRUE(lists.playlists().empty()) << c.path;
        EXPECT_TRUE(lists.playlistIDs().empty()) << c.path;
        ASSERT_EQ(logged.size(), 1u) << c.path;
        EXPECT_NE(logged[0].find(c.path), std::string::npos) << logged[0];
        EXPECT_NE(logged[0].find(c.why), std::string::npos) << logged[0];
    }
    std::vector<std::string> logged;
    const UserPlaylists good(write(kLibraryFile), UserPlaylists::Reading::AtOnce,
                             [&](const std::string& line) { logged.push_back(line); });
    EXPECT_TRUE(logged.empty()) << "a library that reads says nothing";
}

// The player's own format puts past 64 MiB somewhere between 65,000 and 70,000 tracks.
TEST_F(UserPlaylistsTest, AHundredThousandTrackLibraryGivesItsPlaylists) {
    const std::string path = (folder / "iTunes Music Library.xml").string();
    ASSERT_TRUE(generated_library::write(path, 100'000, 3));
    ASSERT_GT(fs::file_size(path), PropertyListSerialization::kMaximumLength);
    std::vector<std::string> logged;
    const UserPlaylists lists(path, UserPlaylists::Reading::AtOnce,
                              [&](const std::string& line) { logged.push_back(line); });
    EXPECT_TRUE(logged.empty()) << logged.front();
    EXPECT_EQ(lists.playlists(), (std::vector<std::string>{"Playlist 1", "Playlist 2", "Playlist 3"}));
    EXPECT_EQ(lists.playlistIDs(),
              (std::vector<SInt64>{static_cast<SInt64>(generated_library::playlistPersistentID(1)),
                                   static_cast<SInt64>(generated_library::playlistPersistentID(2)),
                                   static_cast<SInt64>(generated_library::playlistPersistentID(3))}));
}

// The application's read: the lists stay empty until the main thread runs the result.
TEST_F(UserPlaylistsTest, InTheBackgroundTheListsArriveThroughTheScheduler) {
    VirtualScheduler scheduler;
    ScopedScheduler scoped(scheduler);
    const std::string path = write(kLibraryFile);
    UserPlaylists lists(path, UserPlaylists::Reading::InBackground);
    lists.waitForBackgroundRead();
    EXPECT_TRUE(lists.playlists().empty()) << "nothing changes off the main thread";
    EXPECT_EQ(scheduler.runPending(), 1u);
    EXPECT_EQ(lists.playlists(), (std::vector<std::string>{"Running", "Calm"}));
    EXPECT_EQ(lists.playlistIDs().size(), 2u);

    std::vector<std::string> logged;
    UserPlaylists broken((folder / "absent.xml").string(), UserPlaylists::Reading::InBackground,
                         [&](const std::string& line) { logged.push_back(line); });
    broken.waitForBackgroundRead();
    EXPECT_TRUE(logged.empty());
    scheduler.runPending();
    EXPECT_EQ(logged.size(), 1u) << "logged on the main thread";

    // Gone before the main thread takes the result: the result is dropped.
    { UserPlaylists gone(path, UserPlaylists::Reading::InBackground); }
    EXPECT_EQ(scheduler.runPending(), 1u);
}

// The library is the player's: a pipe in its place gives no playlists, at once, and stays.
TEST_F(UserPlaylistsTest, APipeInPlaceOfTheLibraryGivesNoPlaylistsAndIsLeftAlone) {
    const std::string path = (folder / "iTunes Music Library.xml").string();
    FifoInPlace fifo(path);
    ASSERT_TRUE(fifo.made());
    const UserPlaylists lists(path);
    EXPECT_FALSE(fifo.readerWasStuck());
    EXPECT_TRUE(lists.playlists().empty());
    EXPECT_TRUE(fs::is_fifo(path));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(UserPlaylistsTest, GetPlaylistsReadsTheFileAgainInsteadOfAppending) {
    const std::string path = write(kLibraryFile);
    UserPlaylists lists(path);
    lists.getPlaylists();
    EXPECT_EQ(lists.playlists().size(), 2u);
    fs::remove(path);
    lists.getPlaylists();
    EXPECT_TRUE(lists.playlists().empty());
}

TEST(UserPlaylistsPath, IsTheLibraryFileUnderTheHomeFoldersMusicFolder) {
    const char* home = std::getenv("HOME");
    EXPECT_EQ(UserPlaylists::defaultLibraryPath(),
              std::string(home ? home : "") + "/Music/iTunes/iTunes Music Library.xml");
}

}  // namespace
