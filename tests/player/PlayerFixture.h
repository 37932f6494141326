// A small library and a stand-in answering on an in-process transport, for the player's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AEPrint.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/AppleEvents/InProcessTransport.h"
#include "platform/Carbon/TickClock.h"
#include "player/EventDispatcher.h"
#include "player/PlayerModel.h"

namespace playertest {

using namespace player;

inline constexpr SInt32 kPlayerPID = 4242;
inline constexpr UInt64 kAlphaPID = 0x00A1B2C3D4E5F607ULL;

// Tracks: Alpha (120 BPM, rating 60, 3 min, artwork), Bravo (no BPM, 200 s), Gamma (95 BPM,
// 100 s), Delta (no BPM, 50 s). Playlists: Library; "Workout" [Alpha, Gamma]; folder "Moods"
// holding "Calm" [Bravo]; smart "Top Rated" [Alpha]; Music (special) [all four].
inline MusicLibrary MakeSampleLibrary() {
    MusicLibrary library;
    struct Row {
        SInt32 id;
        UInt64 pid;
        const char* name;
        const char* artist;
        SInt64 bpm;
        SInt64 rating;
        SInt64 duration;
    };
    const Row rows[] = {
        {101, kAlphaPID, "Alpha", "The Testers", 120, 60, 180000},
        {102, 0x1111111111111111ULL, "Bravo", "Quiet Band", 0, 0, 200000},
        {103, 0x2222222222222222ULL, "Gamma", "The Testers", 95, 80, 100000},
        {104, 0x3333333333333333ULL, "Delta", "Solo Act", 0, 20, 50000},
    };
    for (const Row& row : rows) {
        LibraryTrack track;
        track.trackID = row.id;
        track.persistentID = row.pid;
        track.location = std::string("file:///music/") + row.name + ".mp3";
        track.set(fourCC("pnam"), std::string(row.name));
        track.set(fourCC("pArt"), std::string(row.artist));
        track.set(fourCC("pAlb"), std::string("Sample Album"));
        if (row.bpm) track.set(fourCC("pBPM"), row.bpm);
        if (row.rating) track.set(fourCC("pRte"), row.rating);
        track.set(fourCC("pDur"), row.duration);
        if (row.id == 101) track.artwork.push_back({0x89, 'P', 'N', 'G'});
        library.addTrack(std::move(track));
    }
    const auto playlist = [&](const char* name, PlaylistKind kind, UInt64 pid, std::vector<SInt32> items,
                              std::optional<UInt64> parent = std::nullopt, SInt32 distinguished = 0) {
        LibraryPlaylist p;
        p.name = name;
        p.kind = kind;
        p.persistentID = pid;
        p.items = std::move(items);
        p.parentPersistentID = parent;
        p.distinguishedKind = distinguished;
        return library.addPlaylist(std::move(p)).playlistID;
    };
    playlist("Music", PlaylistKind::special, 0xAAAA000000000004ULL, {101, 102, 103, 104}, std::nullopt, 4);
    playlist("Workout", PlaylistKind::plain, 0xAAAA000000000001ULL, {101, 103});
    playlist("Moods", PlaylistKind::folder, 0xAAAA000000000002ULL, {});
    playlist("Calm", PlaylistKind::plain, 0xAAAA000000000003ULL, {102}, 0xAAAA000000000002ULL);
    playlist("Top Rated", PlaylistKind::smart, 0xAAAA000000000005ULL, {101});
    return library;
}

class PlayerFixture : public ::testing::Test {
protected:
    explicit PlayerFixture(const char* version = "10.6.3")
        : fModel(MakeSampleLibrary(), VersionProfile::forVersion(version), fClock) {
        fTransport->addHandler(kPlayerPID, fourCC("hook"), fDispatcher.handler());
    }

    void useVersion(const char* version) { fModel.setProfile(VersionProfile::forVersion(version)); }

    // Builds an event to the stand-in and sends it waiting for the reply.
    template <typename... Args>
    OSStatus send(AEEventClass eventClass, AEEventID eventID, const char* params, AppleEvent* reply,
                  const Args&... args) {
        AppleEvent event;
        AEBuildError error;
        const SInt32 pid = kPlayerPID;
        const OSStatus built =
            AEBuildAppleEvent(eventClass, eventID, typeKernelProcessID, &pid, sizeof pid,
                              kAutoGenerateReturnID, kAnyTransactionID, &event, &error, params, args...);
        EXPECT_EQ(built, noErr) << params << " at " << error.fErrorPos;
        if (built != noErr) return built;
        return AESendMessage(&event, reply, 0x13, 120);
    }

    // The reply's error number, 0 when it has none.
    static SInt32 errorOf(const AppleEvent& reply) {
        SInt32 error = 0;
        AEGetParamPtr(&reply, keyErrorNumber, typeSInt32, nullptr, &error, sizeof error, nullptr);
        return error;
    }
    // The direct parameter printed, or "errn N" for a failed event ("errn N with result" when a
    // failed reply still carries a direct parameter, which it must not).
    static std::string resultOf(const AppleEvent& reply) {
        const AEDesc* result = reply.event() ? reply.find(keyDirectObject) : nullptr;
        if (const SInt32 error = errorOf(reply))
            return "errn " + std::to_string(error) + (result ? " with result" : "");
        return result ? AEPrint(*result) : std::string("(none)");
    }

    template <typename... Args>
    std::string get(const char* params, const Args&... args) {
        AppleEvent reply;
        const OSStatus status = send(fourCC("core"), fourCC("getd"), params, &reply, args...);
        if (status != noErr) return "send " + std::to_string(status);
        return resultOf(reply);
    }

    // The specifier the player hands out for its current track (after playing the library's first).
    AEDesc currentTrack() {
        AppleEvent reply;
        send(fourCC("core"), fourCC("getd"),
             "'----':obj { form:prop, want:type(prop), seld:type(pTrk), from:'null'() }", &reply);
        const AEDesc* track = reply.find(keyDirectObject);
        return track ? track->clone() : AEDesc();
    }

    std::shared_ptr<ManualPlaybackClock> fClock = std::make_shared<ManualPlaybackClock>();
    ManualTickSource fTicks;
    ScopedTickSource fScopedTicks{fTicks};
    std::shared_ptr<InProcessTransport> fTransport = std::make_shared<InProcessTransport>(&fTicks);
    ScopedAETransport fScopedTransport{fTransport};
    PlayerModel fModel;
    EventDispatcher fDispatcher{fModel};
};

}  // namespace playertest
