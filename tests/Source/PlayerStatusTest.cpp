#include <gtest/gtest.h>

#include "Source/PlayerStatus.h"
#include "Source/PlayerStatusHost.h"
#include "platform/AppKit/Image.h"
#include "tests/Source/FakePlayer.h"

namespace {

struct FakeStatusHost : PlayerStatusHost {
    bool running{true};
    bool responding{true};
    std::vector<std::pair<SInt64, SInt32>> lookups;
    bool answer{true};

    bool iTunesIsRunning() override { return running; }
    bool iTunesIsResponding(UInt32) override { return responding; }
    bool trackAssigned(SInt64 id, SInt32 bpm, bool) override {
        lookups.emplace_back(id, bpm);
        return answer;
    }
};

std::shared_ptr<NSImage> someImage() {
    return std::make_shared<NSImage>(QImage(4, 4, QImage::Format_ARGB32));
}

struct PlayerStatusTest : ::testing::Test {
    FakeStatusHost host;
    FakePlayer player;
    PlayerStatus status{host, player};

    void loadTrack(SInt64 id, SInt32 bpm) {
        player.track = makeTrack(id, bpm, "First");
        status.updateWithPlayerBridge();
    }
};

TEST_F(PlayerStatusTest, PlayStateOfEachPlayerState) {
    const struct {
        const char* name;
        UInt32 code;
        PlayState state;
    } cases[] = {
        {"playing", fourCC("kPSP"), 1},   {"fast-forwarding", fourCC("kPSF"), 1},
        {"rewinding", fourCC("kPSR"), 1}, {"paused", fourCC("kPSp"), 2},
        {"stopped", fourCC("kPSS"), 3},   {"failed read", 0xFFFFFFFF, 4},
        {"unknown", fourCC("kPSx"), 4},
    };
    for (const auto& c : cases) {
        player.state = c.code;
        EXPECT_EQ(status.eyeTunesState(), c.state) << c.name;
    }
}

TEST_F(PlayerStatusTest, FullRefreshReadsTrackAndAsksTheStore) {
    loadTrack(0x1234, 120);
    EXPECT_EQ(status.trackName(), "First");
    EXPECT_EQ(status.trackArtist(), "Artist of First");
    EXPECT_EQ(status.trackBPM(), 120);
    EXPECT_EQ(status.playerVolume(), 55);
    EXPECT_EQ(status.persistentID(), 0x1234);
    EXPECT_EQ(status.playState(), kPlayStatePlaying);
    EXPECT_TRUE(status.assigned());
    ASSERT_EQ(host.lookups.size(), 1u);
    EXPECT_EQ(host.lookups[0], (std::pair<SInt64, SInt32>{0x1234, 120}));
}

TEST_F(PlayerStatusTest, UnreadableOrMissingIdsAndNoBpmAreNeverAssigned) {
    const struct {
        const char* name;
        SInt64 id;
        SInt32 bpm;
    } cases[] = {{"ID 0", 0, 120}, {"ID -1", -1, 120}, {"no BPM", 77, 0}, {"failed BPM read", 77, -1}};
    for (const auto& c : cases) {
        host.lookups.clear();
        loadTrack(c.id, c.bpm);
        EXPECT_FALSE(status.assigned()) << c.name;
        EXPECT_TRUE(host.lookups.empty()) << c.name;
    }
}

TEST_F(PlayerStatusTest, ResetAndNoTrackRefreshesForgetTheTrackAndItsTempo) {
    const struct {
        const char* name;
        std::function<void(PlayerStatus&, FakeStatusHost&, FakePlayer&)> refresh;
        const char* text;
    } cases[] = {
        {"reset", [](PlayerStatus& s, FakeStatusHost&, FakePlayer&) { s.reset(); }, "iTunes not playing"},
        {"player quit",
         [](PlayerStatus& s, FakeStatusHost& h, FakePlayer&) {
             h.running = false;
             s.updateWithPlayerBridge();
         },
         "iTunes not running"},
        {"full refresh without track",
         [](PlayerStatus& s, FakeStatusHost&, FakePlayer& p) {
             p.track.reset();
             s.updateWithPlayerBridge();
         },
         "iTunes not playing"},
        {"notification without track",
         [](PlayerStatus& s, FakeStatusHost&, FakePlayer& p) {
             p.track.reset();
             s.updateForNotification(std::nullopt, kPlayStatePlaying);
         },
         "iTunes not playing"},
    };
    for (const auto& c : cases) {
        host.running = true;
        loadTrack(0x55, 128);
        ASSERT_TRUE(status.assigned());
        c.refresh(status, host, player);
        EXPECT_EQ(status.trackName(), c.text) << c.name;
        EXPECT_EQ(status.trackBPM(), 0) << c.name;
        EXPECT_EQ(status.persistentID(), 0) << c.name;
        EXPECT_EQ(status.track(), nullptr) << c.name;
        EXPECT_FALSE(status.assigned()) << c.name;
    }
}

TEST_F(PlayerStatusTest, PlayerNotRunningOrNotResponding) {
    host.running = false;
    status.updateWithPlayerBridge();
    EXPECT_EQ(status.trackName(), "iTunes not running");
    EXPECT_EQ(status.playState(), kPlayStateNone);
    EXPECT_EQ(status.playerVolume(), 70);

    host.running = true;
    loadTrack(9, 100);
    player.state = 0xFFFFFFFF;
    host.responding = false;
    status.updateWithPlayerBridge();
    EXPECT_EQ(status.trackName(), "iTunes not responding");
    EXPECT_EQ(status.trackBPM(), 100) << "other values stay";
}

TEST_F(PlayerStatusTest, NotificationTakesTextsFromInfoAndNumbersFromTrack) {
    player.track = makeTrack(5, 90, "Track");
    player.track->mRating = 60;
    PropertyList::Dictionary info{{"Name", "Info name"},        {"Artist", "Info artist"},
                                  {"Album", "Info album"},      {"Genre", "Jazz"},
                                  {"Track Number", 7},          {"PersistentID", PropertyList(SInt64{0x77})},
                                  {"Location", "file:///a.mp3"}};
    status.updateForNotification(info, kPlayStatePaused);
    EXPECT_EQ(status.trackName(), "Info name");
    EXPECT_EQ(status.trackGenre(), "Jazz");
    EXPECT_EQ(status.trackNumber(), 7);
    EXPECT_EQ(status.trackRating(), 60);
    EXPECT_EQ(status.trackBPM(), 90);
    EXPECT_EQ(status.persistentID(), 0x77);
    EXPECT_EQ(status.playState(), kPlayStatePaused);
}

TEST_F(PlayerStatusTest, StateNoneEmptiesTrackButKeepsTexts) {
    loadTrack(3, 100);
    status.updateForNotification(PropertyList::Dictionary{}, kPlayStateNone);
    EXPECT_EQ(status.track(), nullptr);
    EXPECT_EQ(status.trackName(), "First");
    EXPECT_EQ(status.trackBPM(), 100);
    EXPECT_EQ(status.playState(), kPlayStateNone);
}

TEST_F(PlayerStatusTest, ArtworkOnlyForFilesAndStoreTracks) {
    const struct {
        const char* name;
        std::optional<PropertyList::Dictionary> info;
        std::optional<std::string> trackLocation;
        bool artwork;
    } cases[] = {
        {"file by info", PropertyList::Dictionary{{"Location", "file:///x.mp3"}}, std::nullopt, true},
        {"store URL only", PropertyList::Dictionary{{"Store URL", "itms://buy"}}, std::nullopt, true},
        {"stream by info", PropertyList::Dictionary{{"Location", "http://radio"}}, std::nullopt, false},
        {"no location in info", PropertyList::Dictionary{}, "file:///x.mp3", false},
        {"file by track", std::nullopt, "file:///x.mp3", true},
        {"stream by track", std::nullopt, "http://radio", false},
    };
    for (const auto& c : cases) {
        loadTrack(1, 0);  // a file track with artwork first
        player.track->mArtwork = {someImage()};
        status.updateWithPlayerBridge();
        ASSERT_TRUE(status.hasArtwork()) << c.name;

        player.track = makeTrack(2, 0, "Next");
        player.track->mLocation = c.trackLocation;
        player.track->mArtwork = {someImage()};
        status.updateForNotification(c.info, kPlayStatePlaying);
        EXPECT_EQ(status.hasArtwork(), c.artwork) << c.name;
        EXPECT_NE(status.artwork(), nullptr) << c.name << ": the placeholder stands in";
    }
}

TEST_F(PlayerStatusTest, RatingStars) {
    const struct {
        SInt32 rating;
        const char* stars;
    } cases[] = {
        {0, ""}, {19, ""}, {20, "\u2605"}, {59, "\u2605\u2605"}, {100, "\u2605\u2605\u2605\u2605\u2605"},
        {-1, ""}};
    for (const auto& c : cases) {
        status.setTrackRating(c.rating);
        EXPECT_EQ(status.trackRatingStars(), c.stars) << c.rating;
    }
}

}  // namespace

TEST_F(PlayerStatusTest, PropertiesAreReadableByNameStarCountsIncluded) {
    loadTrack(0x1234, 120);
    status.setTrackRating(60);
    status.setTrackGenre(std::string("Swing"));
    const struct {
        const char* key;
        PropertyList value;
    } cases[] = {
        {"trackName", "First"},
        {"trackArtist", "Artist of First"},
        {"trackAlbum", "Album of First"},
        {"trackGenre", "Swing"},
        {"trackRatingStars", "\u2605\u2605\u2605"},
        {"trackBPM", 120},
        {"trackDuration", 200},
        {"trackNumber", 1},
        {"trackRating", 60},
        {"playerVolume", 55},
        {"playState", kPlayStatePlaying},
        {"persistentID", PropertyList(int64_t{0x1234})},
        {"assigned", true},
        {"nostars", 0},
        {"onestar", 20},
        {"twostars", 40},
        {"threestars", 60},
        {"fourstars", 80},
        {"fivestars", 100},
    };
    for (const auto& c : cases) {
        auto value = status.valueForKeyPath(c.key);
        ASSERT_TRUE(value) << c.key;
        EXPECT_EQ(*value, c.value) << c.key;
    }
    // Names of other members are not properties a condition can read.
    for (const char* key : {"track", "oldTrackName", "trackOldRating", "TrackBPM", "", "trackBPM.value"})
        EXPECT_FALSE(status.valueForKeyPath(key)) << key;
}
