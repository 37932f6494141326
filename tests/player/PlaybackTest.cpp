// Playback: the commands as the bridge sends them, and the playback clock.
#include <gtest/gtest.h>

#include "PlayerFixture.h"
#include "player/ScriptingCodes.h"

namespace playertest {
namespace {

class PlaybackTest : public PlayerFixture {
protected:
    // A command as the bridge sends it: no reply, never interact, default time-out.
    void command(const char* id) {
        AppleEvent event;
        const SInt32 pid = kPlayerPID;
        FourCharCode eventID = 0;
        for (int i = 0; i < 4; ++i) eventID = eventID << 8 | static_cast<unsigned char>(id[i]);
        ASSERT_EQ(
            AEBuildAppleEvent(fourCC("hook"), eventID, typeKernelProcessID, &pid, sizeof pid,
                              kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr, "'----':'null'()"),
            noErr);
        ASSERT_EQ(AESendMessage(&event, nullptr, 0x11, -1), noErr);
    }
    std::string state() {
        return get("'----':obj { form:prop, want:type(prop), seld:type(pPlS), from:'null'() }");
    }
    std::string trackName() {
        const LibraryTrack* track = fModel.currentTrack();
        return track ? track->name() : "(none)";
    }
};

TEST_F(PlaybackTest, CommandsChangeThePlayState) {
    struct Step {
        const char* command;
        SInt64 advance;  // milliseconds of playback clock before the command
        const char* state;
        const char* track;
        SInt64 position;  // milliseconds after the command
    };
    // The library plays Alpha (180 s), Bravo (200 s), Gamma (100 s), Delta (50 s).
    const Step steps[] = {
        {"Paus", 0, "'kPSS'", "(none)", 0},  // nothing to pause
        {"Play", 0, "'kPSP'", "Alpha", 0},   // the library's first track
        {"Paus", 10000, "'kPSp'", "Alpha", 10000},
        {"PlPs", 5000, "'kPSP'", "Alpha", 10000},  // paused time does not count
        {"PlPs", 2000, "'kPSp'", "Alpha", 12000},
        {"Play", 0, "'kPSP'", "Alpha", 12000},
        {"Fast", 0, "'kPSF'", "Alpha", 12000},
        {"Resu", 1000, "'kPSP'", "Alpha", 15000},  // three times as fast
        {"Rwnd", 0, "'kPSR'", "Alpha", 15000},
        {"Resu", 2000, "'kPSP'", "Alpha", 9000},
        {"Next", 0, "'kPSP'", "Bravo", 0},
        {"Back", 2500, "'kPSP'", "Bravo", 0},  // past two seconds: the start of the track
        {"Back", 1000, "'kPSP'", "Alpha", 0},  // within them: the previous track
        {"Prev", 0, "'kPSP'", "Alpha", 0},     // the first track restarts
        {"Stop", 3000, "'kPSS'", "Alpha", 0},  // stopped, the track stays current
        {"Next", 0, "'kPSS'", "Bravo", 0},     // moving keeps the state
        {"Next", 0, "'kPSS'", "Gamma", 0},
        {"Next", 0, "'kPSS'", "Delta", 0},
        {"Next", 0, "'kPSS'", "(none)", 0},  // past the last track
        {"Resu", 0, "'kPSS'", "(none)", 0},
    };
    for (const Step& s : steps) {
        fClock->advance(s.advance);
        command(s.command);
        const std::string where = std::string(s.command) + " to " + s.track;
        EXPECT_EQ(state(), s.state) << where;
        EXPECT_EQ(trackName(), s.track) << where;
        EXPECT_EQ(fModel.positionMilliseconds(), s.position) << where;
    }
}

TEST_F(PlaybackTest, TheClockPlaysThroughThePlaylistAndStopsAfterIt) {
    std::vector<std::string> tracks;
    std::vector<PlayState> states;
    fModel.setTrackChangedHandler([&](const PlayerModel& m) {
        tracks.push_back(m.currentTrack() ? m.currentTrack()->name() : "(none)");
    });
    fModel.setPlayStateChangedHandler([&](const PlayerModel& m) { states.push_back(m.playState()); });

    const LibraryPlaylist* workout = fModel.library().playlistWithPersistentID(0xAAAA000000000001ULL);
    ASSERT_TRUE(fModel.playTrack(101, workout->playlistID));
    EXPECT_EQ(fModel.millisecondsUntilTrackEnds(), 180000);
    fClock->advance(179999);
    fModel.update();
    EXPECT_EQ(trackName(), "Alpha");
    fClock->advance(1 + 4000);  // Alpha ends, Gamma plays 4 s
    EXPECT_EQ(get("'----':obj { form:prop, want:type(prop), seld:type(pPos), from:'null'() }"), "'long'(4)");
    EXPECT_EQ(trackName(), "Gamma") << "the next track of the playlist, not of the library";
    EXPECT_EQ(get("'----':obj { form:prop, want:type(prop), seld:type(pnam), from:obj { form:prop, "
                  "want:type(prop), "
                  "seld:type(pPla), from:'null'() } }"),
              "'utxt'(\"Workout\")");
    fClock->advance(10 * 60 * 1000);  // far past the end of the playlist
    fModel.update();
    EXPECT_EQ(trackName(), "(none)");
    EXPECT_EQ(fModel.playState(), PlayState::stopped);
    EXPECT_EQ(tracks, (std::vector<std::string>{"Alpha", "Gamma", "(none)"}));
    EXPECT_EQ(states, (std::vector<PlayState>{PlayState::playing, PlayState::stopped}));
}

TEST_F(PlaybackTest, PlayATrackPositionAndVolume) {
    const AEDesc calm = SpecifierFor(
        fModel,
        ObjectRef::playlist(fModel.library().playlistWithPersistentID(0xAAAA000000000003ULL)->playlistID));
    AppleEvent reply;
    const AEDesc track = [&] {
        send(fourCC("core"), fourCC("getd"), "'----':obj { form:indx, want:type(cTrk), seld:1, from:@ }",
             &reply, calm);
        return reply.find(keyDirectObject)->clone();
    }();
    ASSERT_EQ(send(fourCC("hook"), fourCC("Play"), "'----':@", &reply, track), noErr);
    EXPECT_EQ(trackName(), "Bravo");
    EXPECT_EQ(AEPrint(currentTrack()), AEPrint(track)) << "the current track is reached through its playlist";

    fModel.pause();  // a playing track that is moved to its end would end at once
    struct Case {
        const char* property;
        SInt32 value;
        const char* readBack;
    };
    const Case cases[] = {
        {"pPos", 30, "'long'(30)"}, {"pPos", 5000, "'long'(200)"},  // clamped to the track
        {"pVol", 40, "'long'(40)"}, {"pVol", 250, "'long'(100)"},  {"pFix", 1, "'long'(1)"},
    };
    for (const Case& c : cases) {
        const SInt32 value = c.value;
        char params[160];
        std::snprintf(params, sizeof params,
                      "data:long(@), '----':obj { form:prop, want:type(prop), seld:type(%s), from:'null'() }",
                      c.property);
        ASSERT_EQ(send(fourCC("core"), fourCC("setd"), params, &reply, value), noErr);
        std::snprintf(params, sizeof params,
                      "'----':obj { form:prop, want:type(prop), seld:type(%s), from:'null'() }", c.property);
        EXPECT_EQ(get(params), c.readBack) << c.property << " " << c.value;
    }
}

TEST_F(PlaybackTest, DeletingTheCurrentTrackStopsPlayback) {
    ASSERT_TRUE(fModel.play());
    AppleEvent reply;
    ASSERT_EQ(send(fourCC("core"), fourCC("delo"), "'----':@", &reply, currentTrack()), noErr);
    EXPECT_EQ(errorOf(reply), 0);
    EXPECT_EQ(fModel.library().track(101), nullptr);
    EXPECT_EQ(fModel.currentTrack(), nullptr);
    EXPECT_EQ(fModel.playState(), PlayState::stopped);
    for (const LibraryPlaylist* p : fModel.library().playlists())
        EXPECT_EQ(std::count(p->items.begin(), p->items.end(), 101), 0) << p->name;
}

TEST_F(PlaybackTest, SkimmingAcrossTheEdgesOfATrack) {
    struct Case {
        const char* name;
        int64_t from;  // position in Alpha (180 s) when skimming starts
        void (PlayerModel::*skim)();
        int64_t advance;
        const char* track;
        int64_t position;
        PlayState state;
    };
    const Case cases[] = {
        // 10 s of Alpha left take 3334 ms at three times the speed; Bravo then plays normally.
        {"fast forward past the end", 170000, &PlayerModel::fastForward, 4000, "Bravo", 666,
         PlayState::playing},
        {"fast forward within the track", 100000, &PlayerModel::fastForward, 4000, "Alpha", 112000,
         PlayState::fastForwarding},
        // 3 s rewind in 1 s, then plays on from the start.
        {"rewind past the start", 3000, &PlayerModel::rewind, 2000, "Alpha", 1000, PlayState::playing},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(fModel.playTrack(101, fModel.library().libraryPlaylist().playlistID)) << c.name;
        ASSERT_TRUE(fModel.setPosition(c.from)) << c.name;
        (fModel.*c.skim)();
        fClock->advance(c.advance);
        fModel.update();
        EXPECT_EQ(trackName(), c.track) << c.name;
        EXPECT_EQ(fModel.positionMilliseconds(), c.position) << c.name;
        EXPECT_EQ(fModel.playState(), c.state) << c.name;
    }
}

}  // namespace
}  // namespace playertest
