#include <gtest/gtest.h>

#include <map>
#include <set>

#include "Source/PlayerCommands.h"
#include "Source/PlayerCommandsHost.h"
#include "Source/PlayerStatus.h"
#include "Source/PlayerStatusHost.h"
#include "platform/AppKit/Event.h"
#include "tests/Source/FakePlayer.h"

namespace {

using Sender = PlayerCommands::Sender;
using Commands = std::vector<std::string>;

// The window and the model's controller at once: settings, modifier keys, the rating view, the
// slider and the assigned-tracks look-up, with a log of what the commands did to them.
struct FakeHost : PlayerCommandsHost, PlayerStatusHost {
    std::map<std::string, bool> flags;
    std::optional<std::string> advanceSeconds;
    UInt32 modifiers{0};
    bool halfStars{false};
    SInt32 slider{50};
    bool running{true};
    std::set<SInt64> assigned;
    Commands log;

    void beep() override { log.push_back("beep"); }
    UInt32 currentModifierFlags() override { return modifiers; }
    bool boolForKey(const std::string& key) override { return flags[key]; }
    SInt64 integerForKey(const std::string&) override { return 0; }
    std::optional<std::string> stringForKey(const std::string& key) override {
        return key == "AdvanceSeconds" ? advanceSeconds : std::nullopt;
    }
    bool ratingViewHasHalfStars() override { return halfStars; }
    void showRating(SInt32 rating) override { log.push_back("shows " + std::to_string(rating)); }
    void ratingChanged(SInt32 rating) override { log.push_back("model " + std::to_string(rating)); }
    SInt32 volumeSliderValue() override { return slider; }
    void setVolumeSliderValue(SInt32 value) override { slider = value; }
    bool playerIsRunning() override { return running; }
    void launchPlayer() override { log.push_back("launch"); }
    void activatePlayer() override { log.push_back("activate"); }

    bool iTunesIsRunning() override { return true; }
    bool iTunesIsResponding(UInt32) override { return true; }
    bool trackAssigned(SInt64 id, SInt32, bool) override { return assigned.count(id) != 0; }
};

struct PlayerCommandsTest : ::testing::Test {
    FakeHost host;
    FakePlayer player;
    PlayerStatus model{host, player};
    PlayerCommands commands{host, player, model};

    // The player plays track `current` (1-based) of a playlist with these BPMs.
    void playing(const std::vector<SInt32>& bpms, SInt32 current) {
        player.playlist = FakePlaylist::withBpms(bpms);
        player.track = player.playlist->tracks[static_cast<size_t>(current - 1)];
        model.updateWithPlayerBridge();
        player.commands.clear();
    }
};

TEST_F(PlayerCommandsTest, SkipWalkOverAFixturePlaylist) {
    const struct {
        const char* what;
        std::vector<SInt32> bpms;
        SInt32 current;
        bool onlyConfirmed;
        std::set<SInt64> assigned;
        Commands sent;
    } cases[] = {
        {"skips done tracks to the first without a tempo",
         {0, 120, 130, 0, 140},
         1,
         false,
         {},
         {"play Track 4"}},
        {"the next track has no tempo: a plain next", {0, 0, 130}, 1, false, {}, {"next"}},
        {"every later track done: the last, then next",
         {0, 120, 130},
         1,
         false,
         {},
         {"play Track 3", "next"}},
        {"from the last track: a plain next", {0, 120, 130}, 3, false, {}, {"next"}},
        {"only confirmed: another program's tempo is not done",
         {0, 120, 130, 0},
         1,
         true,
         {2},
         {"play Track 3"}},
        {"only confirmed, all recorded", {0, 120, 130}, 1, true, {2, 3}, {"play Track 3", "next"}},
        {"only confirmed, none recorded: a plain next", {0, 120, 130}, 1, true, {}, {"next"}},
    };
    for (const auto& c : cases) {
        host.flags = {{"SkipIfHasBPM", true}, {"OnlyIfConfirmed", c.onlyConfirmed}};
        host.assigned = c.assigned;
        playing(c.bpms, c.current);
        commands.nextTrack(Sender::None);
        EXPECT_EQ(player.commands, c.sent) << c.what;
    }
}

TEST_F(PlayerCommandsTest, SkipModeFollowsOptionWithASenderAndTheSettingWithout) {
    const struct {
        Sender sender;
        bool skipSetting;
        UInt32 modifiers;
        Commands sent;
    } cases[] = {
        {Sender::Control, false, NSAlternateKeyMask, {"play Track 3"}},
        {Sender::Control, true, 0, {"next"}},
        {Sender::None, true, 0, {"play Track 3"}},
        {Sender::None, false, NSAlternateKeyMask, {"next"}},
    };
    for (const auto& c : cases) {
        host.flags = {{"SkipIfHasBPM", c.skipSetting}};
        host.modifiers = c.modifiers;
        playing({0, 120, 0}, 1);
        commands.nextTrack(c.sender);
        EXPECT_EQ(player.commands, c.sent) << c.skipSetting << " " << c.modifiers;
    }
}

TEST_F(PlayerCommandsTest, NextPlusSkipSeeksRightAfterTheTrackChange) {
    host.flags = {{"SkipIfHasBPM", true}};
    host.advanceSeconds = "45";
    playing({0, 120, 0}, 1);
    commands.nextPlusSkipForward(Sender::None);
    EXPECT_EQ(player.commands, (Commands{"play Track 3", "position 45"}));

    playing({0, 120, 130}, 1);
    commands.nextPlusSkipForward(Sender::None);
    EXPECT_EQ(player.commands, (Commands{"play Track 3", "position 45", "next"}));

    playing({0, 0}, 1);
    commands.nextPlusSkipForward(Sender::None);
    EXPECT_EQ(player.commands, (Commands{"next", "position 45"}));
}

TEST_F(PlayerCommandsTest, AWalkThatCannotDecideIsAPlainNext) {
    host.flags = {{"SkipIfHasBPM", true}};
    playing({0, 120, 0}, 1);
    player.playlist->cursorFails = true;
    commands.nextTrack(Sender::None);
    EXPECT_EQ(player.commands, Commands{"next"}) << "no enumerator";

    playing({0, 120, 0}, 1);
    player.track->mIndex = 7;  // past the end: the walk must not start elsewhere
    commands.nextTrack(Sender::None);
    EXPECT_EQ(player.commands, Commands{"next"}) << "index past the end";

    playing({0, 120, 0}, 1);
    model.setNoNextPlaylistID(player.playlist->mId);
    commands.nextTrack(Sender::None);
    EXPECT_EQ(player.commands, Commands{"next"}) << "the playlist with nothing left";

    playing({0, 120, 0}, 1);
    player.playlist.reset();
    commands.nextTrack(Sender::None);
    EXPECT_EQ(player.commands, Commands{"next"}) << "no current playlist";
}

// Each command that waits on the player's replies makes them in one batch, so a slow player
// costs it one time-out of waiting in all, not one per request.
TEST_F(PlayerCommandsTest, EachCommandThatAsksThePlayerIsOneBatch) {
    const struct {
        const char* name;
        void (PlayerCommands::*run)();
    } cases[] = {
        {"skip forward", &PlayerCommands::skipForward},
        {"skip back", &PlayerCommands::skipBack},
        {"rating up", &PlayerCommands::ratingUp},
        {"rating down", &PlayerCommands::ratingDown},
    };
    for (const auto& c : cases) {
        playing({0, 120, 130, 0}, 1);
        model.setTrackRating(40);
        player.batches = player.requestsOutsideBatches = 0;
        (commands.*c.run)();
        EXPECT_EQ(player.batches, 1) << c.name;
        EXPECT_EQ(player.requestsOutsideBatches, 0) << c.name;
        EXPECT_FALSE(player.commands.empty() && player.track->ratingWrites.empty()) << c.name;
    }
    host.flags = {{"SkipIfHasBPM", true}};
    for (const bool seek : {false, true}) {
        playing({0, 120, 130, 0}, 1);
        player.batches = player.requestsOutsideBatches = 0;
        seek ? commands.nextPlusSkipForward(Sender::None) : commands.nextTrack(Sender::None);
        EXPECT_EQ(player.batches, 1) << "the skip walk, seek " << seek;
        EXPECT_EQ(player.requestsOutsideBatches, 0) << "the skip walk, seek " << seek;
        EXPECT_EQ(player.commands.front(), "play Track 4");
    }
}

TEST_F(PlayerCommandsTest, AdvanceSecondsReadsALeadingIntegerFrom1To300Else10) {
    const struct {
        std::optional<std::string> text;
        SInt32 seconds;
    } cases[] = {
        {"300", 300}, {"1", 1},   {"0", 10}, {"301", 10},         {"abc", 10},        {"12a", 12},
        {" 7", 7},    {"-5", 10}, {"", 10},  {"99999999999", 10}, {std::nullopt, 10},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlayerCommands::advanceSecondsFrom(c.text), c.seconds) << c.text.value_or("(absent)");
}

TEST_F(PlayerCommandsTest, SkipsSeekByTheStepOrGoBackAndIgnoreAnUnreadablePosition) {
    const struct {
        SInt32 position;
        bool back;
        Commands sent;
    } cases[] = {
        {5, true, {"back"}},  {11, true, {"position 1"}},
        {10, true, {"back"}}, {30, false, {"position 40"}},
        {-1, true, {}},       {-1, false, {}},
    };
    host.advanceSeconds = "10";
    for (const auto& c : cases) {
        player.commands.clear();
        player.position = c.position;
        c.back ? commands.skipBack() : commands.skipForward();
        EXPECT_EQ(player.commands, c.sent) << c.position << (c.back ? " back" : " forward");
    }
}

TEST_F(PlayerCommandsTest, RatingStepsTheirBoundsAndAnUnreadableRating) {
    const struct {
        SInt32 rating;
        bool halfStars;
        bool up;
        Commands log;
        std::vector<SInt32> written;
    } cases[] = {
        {95, true, true, {"shows 100", "model 100"}, {100}},
        {90, false, true, {"shows 100", "model 100"}, {100}},
        {40, false, true, {"shows 60", "model 60"}, {60}},
        {50, true, false, {"shows 40", "model 40"}, {40}},
        {10, false, false, {"shows 0", "model 0"}, {0}},
        {100, false, true, {"beep"}, {}},
        {0, true, false, {"beep"}, {}},
        // Unreadable: nothing is shown, written or signalled.
        {-1, false, true, {}, {}},
        {-1, true, false, {}, {}},
    };
    for (const auto& c : cases) {
        playing({0}, 1);
        host.log.clear();
        host.halfStars = c.halfStars;
        model.setTrackRating(c.rating);
        c.up ? commands.ratingUp() : commands.ratingDown();
        EXPECT_EQ(host.log, c.log) << c.rating;
        EXPECT_EQ(player.track->ratingWrites, c.written) << c.rating;
    }
}

TEST_F(PlayerCommandsTest, VolumeStepsMoveTheSliderTheModelAndThePlayer) {
    const struct {
        SInt32 slider;
        bool up;
        SInt32 after;
        bool beeps;
    } cases[] = {{50, true, 55, false},
                 {98, true, 100, false},
                 {100, true, 100, true},
                 {3, false, 0, false},
                 {0, false, 0, true}};
    for (const auto& c : cases) {
        host.log.clear();
        player.volumes.clear();
        host.slider = c.slider;
        model.setPlayerVolume(-1);
        c.up ? commands.volumeUp() : commands.volumeDown();
        EXPECT_EQ(host.slider, c.after);
        if (c.beeps) {
            EXPECT_EQ(host.log, Commands{"beep"});
            EXPECT_TRUE(player.volumes.empty());
            EXPECT_EQ(model.playerVolume(), -1);
        } else {
            EXPECT_EQ(player.volumes, std::vector<SInt32>{c.after});
            EXPECT_EQ(model.playerVolume(), c.after);
        }
    }
}

TEST_F(PlayerCommandsTest, TransportAndSwitchingToThePlayer) {
    commands.previousTrack();
    commands.pausePlayTrack();
    commands.fastForward();
    commands.resume();
    commands.rewind();
    commands.resume();
    EXPECT_EQ(player.commands, (Commands{"back", "playpause", "ff", "resume", "rew", "resume"}));

    commands.switchToiTunes();
    host.running = false;
    commands.switchToiTunes();
    EXPECT_EQ(host.log, (Commands{"activate", "launch"}));
}

}  // namespace
