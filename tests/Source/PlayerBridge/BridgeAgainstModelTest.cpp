// The bridge against the stand-in player's own object model, loaded from the sample library and
// answering on the in-process transport: the current track, writes the model sees, playlists and
// the cache, look-ups by persistent ID in each form the player's versions use, adding and
// removing tracks, and a player that does not answer in time.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBPlaylistCache.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PersistentID.h"
#include "Source/PlayerBridge/PlayerBridge.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "platform/AppKit/Image.h"
#include "platform/AppleEvents/InProcessTransport.h"
#include "platform/Carbon/FileReference.h"
#include "platform/Carbon/TickClock.h"
#include "player/EventDispatcher.h"
#include "player/MusicLibraryFile.h"
#include "player/PlaybackClock.h"
#include "player/PlayerModel.h"
#include "player/VersionProfile.h"

namespace {

namespace fs = std::filesystem;
using namespace player;

constexpr SInt32 kPlayerPID = 5151;

// Persistent IDs of the sample library.
constexpr SInt64 kMorningRun = 0x5EA7B1C000000001;       // the library's first: 128 BPM, rating 80, artwork
constexpr SInt64 kHalfTimeShuffle = 0x5EA7B1C000000003;  // no BPM
constexpr SInt64 kSlowRiver = 0x5EA7B1C000000005;
constexpr SInt64 kTwoStepCafe = 0x5EA7B1C000000008;
constexpr SInt64 kRunning = 0x5EA7B1C000000102;
constexpr SInt64 kMoods = 0x5EA7B1C000000103;  // a folder holding Calm and Rainy Day
constexpr SInt64 kCalm = 0x5EA7B1C000000104;
constexpr SInt64 kTopRated = 0x5EA7B1C000000106;  // smart
constexpr SInt64 kMusic = 0x5EA7B1C000000101;     // special
constexpr SInt64 kNotInLibrary = 0x5EA7B1C0000009FF;

// Versions whose persistent IDs differ: 'comp' and plain playlists of kind 'kNon' (6.0.2), 16
// digits of text (7.2.1), 'comp' and the text in 'pPIS' (7.3), and the current player.
constexpr const char* kVersions[] = {"6.0.2", "7.2.1", "7.3", "10.6.3"};

MusicLibrary sampleLibrary() {
    const fs::path file = fs::path(BEATWICK_RESOURCE_DIR) / "SampleLibrary" / MusicLibraryFile::kFileName;
    Result<MusicLibrary> loaded = MusicLibraryFile(file.string()).load();
    if (!loaded) {
        ADD_FAILURE() << loaded.error();
        return MusicLibrary();
    }
    return std::move(loaded.value());
}

std::vector<std::string> namesOf(const std::vector<std::shared_ptr<PBPlaylist>>& playlists) {
    std::vector<std::string> names;
    for (const auto& playlist : playlists) names.push_back(playlist->name().value_or("(unreadable)"));
    return names;
}

std::vector<std::string> namesOf(const std::vector<std::shared_ptr<PBTrack>>& tracks) {
    std::vector<std::string> names;
    for (const auto& track : tracks) names.push_back(track->name().value_or("(unreadable)"));
    return names;
}

class BridgeAgainstModel : public ::testing::Test {
protected:
    void SetUp() override {
        PlayerBridge::forgetCachedVersion();
        startPlayer();
        ASSERT_TRUE(fModel.play());  // the library's first track becomes current
        std::string pattern = (fs::temp_directory_path() / "bridge-model-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        fFolder = pattern;
    }
    void TearDown() override {
        PlayerBridge::forgetCachedVersion();
        std::error_code ignored;
        fs::remove_all(fFolder, ignored);
    }

    void startPlayer() {
        fPID = kPlayerPID;
        fTransport->addHandler(fPID, PBAppleEventObject::iTunesSignature, fDispatcher.handler());
    }
    void quitPlayer() {
        fTransport->removeApplication(fPID);
        fPID = 0;
    }
    // The player reports another version; the bridge reads it anew.
    void useVersion(const char* version) {
        fModel.setProfile(VersionProfile::forVersion(version));
        PlayerBridge::forgetCachedVersion();
    }

    static PlayerBridge& bridge() { return PlayerBridge::sharedInstance(); }

    const LibraryTrack& modelTrack(SInt64 persistentID) const {
        return *fModel.library().trackWithPersistentID(static_cast<UInt64>(persistentID));
    }
    const LibraryPlaylist& modelPlaylist(SInt64 persistentID) const {
        return *fModel.library().playlistWithPersistentID(static_cast<UInt64>(persistentID));
    }
    // A file that exists, for the player to add.
    std::string makeFile(const std::string& name) const {
        const fs::path path = fFolder / name;
        std::ofstream(path, std::ios::binary) << "ID3";
        return path.string();
    }

    ManualTickSource fTicks;
    ScopedTickSource fScopedTicks{fTicks};
    std::shared_ptr<InProcessTransport> fTransport = std::make_shared<InProcessTransport>(&fTicks);
    ScopedAETransport fScopedTransport{fTransport};
    SInt32 fPID{0};
    ScopedPlayerProcessLookup fLookup{[this] { return fPID; }};
    std::shared_ptr<ManualPlaybackClock> fClock = std::make_shared<ManualPlaybackClock>();
    PlayerModel fModel{sampleLibrary(), VersionProfile::current(), fClock};
    EventDispatcher fDispatcher{fModel};
    fs::path fFolder;
};

TEST_F(BridgeAgainstModel, TheCurrentTrackReadsInEveryIdForm) {
    const std::vector<uint8_t>& png = modelTrack(kMorningRun).artwork.at(0);
    const QImage cover = QImage::fromData(png.data(), static_cast<int>(png.size()));
    ASSERT_FALSE(cover.isNull());
    for (const char* version : kVersions) {
        SCOPED_TRACE(version);
        useVersion(version);
        const auto track = bridge().currentTrack();
        ASSERT_NE(track, nullptr);
        EXPECT_EQ(track->name(), "Morning Run");
        EXPECT_EQ(track->bpm(), 128);
        EXPECT_EQ(track->persistentId(), kMorningRun);
        EXPECT_EQ(track->persistentIdAsString(), "5EA7B1C000000001");
        const auto artwork = track->artwork();
        ASSERT_EQ(artwork.size(), 1u);
        EXPECT_EQ(artwork[0]->qtImage().convertToFormat(cover.format()), cover);
    }
}

TEST_F(BridgeAgainstModel, BpmAndRatingSetThroughTheBridgeReachTheModel) {
    const struct {
        const char* version;
        SInt32 bpm;
        SInt32 rating;
        bool taken;  // the player refuses values out of range and keeps the old ones
    } cases[] = {
        {"6.0.2", 140, 100, true}, {"7.2.1", 0, 0, true},         {"7.3", 65535, 20, true},
        {"10.6.3", 93, 60, true},  {"10.6.3", 65536, 101, false}, {"10.6.3", -1, -20, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " bpm " + std::to_string(c.bpm));
        useVersion(c.version);
        const SInt32 bpmBefore = modelTrack(kMorningRun).bpm();
        const SInt32 ratingBefore = modelTrack(kMorningRun).rating();
        const SInt32 bpm = c.taken ? c.bpm : bpmBefore;
        const SInt32 rating = c.taken ? c.rating : ratingBefore;
        const auto track = bridge().currentTrack();
        ASSERT_NE(track, nullptr);
        track->setBpm(c.bpm);
        track->setRating(c.rating);
        EXPECT_EQ(modelTrack(kMorningRun).bpm(), bpm);
        EXPECT_EQ(modelTrack(kMorningRun).rating(), rating);
        EXPECT_EQ(track->bpm(), bpm);
        EXPECT_EQ(track->rating(), rating);
    }
    // A track without a BPM gets one; found by its ID rather than being current.
    const auto shuffle = bridge().trackWithPersistentId(kHalfTimeShuffle);
    ASSERT_NE(shuffle, nullptr);
    EXPECT_EQ(shuffle->bpm(), 0);
    shuffle->setBpm(87);
    EXPECT_EQ(modelTrack(kHalfTimeShuffle).bpm(), 87);
    EXPECT_EQ(shuffle->bpm(), 87);
}

TEST_F(BridgeAgainstModel, PlaylistsAreThoseOfTheSampleLibrary) {
    const std::vector<std::string> all = {"Library", "Music",     "Running",   "Moods",
                                          "Calm",    "Rainy Day", "Top Rated", "No Tempo Yet"};
    // Neither the folder nor the smart playlist is a plain user playlist.
    const std::vector<std::string> user = {"Running", "Calm", "Rainy Day", "No Tempo Yet"};
    for (const char* version : kVersions) {
        SCOPED_TRACE(version);
        useVersion(version);
        EXPECT_EQ(bridge().playlistCount(), 8);
        EXPECT_EQ(namesOf(bridge().playlists()), all);
        EXPECT_EQ(namesOf(bridge().userPlaylists()), user);
        EXPECT_EQ(bridge().userPlaylistCount(), 4);
        const auto library = bridge().libraryPlaylist();
        ASSERT_NE(library, nullptr);
        EXPECT_EQ(library->trackCount(), 12);
        const auto rainy = bridge().playlistWithPersistentId(0x5EA7B1C000000105);
        ASSERT_NE(rainy, nullptr);
        EXPECT_EQ(namesOf(rainy->tracks()), (std::vector<std::string>{"Paper Boats", "Slow River"}));
        EXPECT_EQ(namesOf(rainy->tracksFromIndex(2)), std::vector<std::string>{"Slow River"});
        const auto current = bridge().currentPlaylist();
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(current->name(), "Library");
    }
}

// From version 7 on, where plain playlists are 'kSpN': the user tree takes no other.
TEST_F(BridgeAgainstModel, TheCacheBuildsBothTreesFromThePlayer) {
    const auto namesOfIds = [](const std::vector<SInt64>& ids) {
        std::vector<std::string> names;
        for (const SInt64 id : ids) {
            const auto playlist = PBPlaylistCache::sharedInstance().playlistForPersistentId(id);
            names.push_back(playlist ? playlist->name().value_or("(unreadable)") : "(missing)");
        }
        return names;
    };
    for (const char* version : {"7.2.1", "7.3", "10.6.3"}) {
        SCOPED_TRACE(version);
        useVersion(version);
        PBPlaylistCache& cache = PBPlaylistCache::sharedInstance();
        cache.reload();

        const auto calm = cache.playlistForPersistentId(kCalm);
        ASSERT_NE(calm, nullptr);
        EXPECT_EQ(calm->name(), "Calm");
        EXPECT_EQ(calm->parentPlaylistId(), kMoods);
        const auto music = cache.playlistForPersistentId(kMusic);
        ASSERT_NE(music, nullptr);
        EXPECT_EQ(music->parentPlaylistId(), 1) << "special playlists go under LIBRARY";
        EXPECT_EQ(namesOfIds(cache.playlistForPersistentId(kMoods)->childPlaylistIds()),
                  (std::vector<std::string>{"Calm", "Rainy Day"}));
        // Plain playlists and folders at the top go under PLAYLISTS, ordered by name.
        EXPECT_EQ(namesOfIds(cache.playlistForPersistentId(3)->childPlaylistIds()),
                  (std::vector<std::string>{"Moods", "No Tempo Yet", "Running", "Top Rated"}));

        const auto userRoot = cache.userPlaylistForPersistentId(0);
        ASSERT_NE(userRoot, nullptr);
        EXPECT_EQ(namesOfIds(userRoot->childPlaylistIds()),
                  (std::vector<std::string>{"Moods", "No Tempo Yet", "Running", "Top Rated"}));
        EXPECT_EQ(cache.userPlaylistForPersistentId(kMusic), nullptr);
        const auto userCalm = cache.userPlaylistForPersistentId(kCalm);
        ASSERT_NE(userCalm, nullptr);
        EXPECT_EQ(userCalm->parentPlaylistId(), kMoods);
    }
}

TEST_F(BridgeAgainstModel, LookUpsByPersistentIdInEachForm) {
    for (const char* version : kVersions) {
        SCOPED_TRACE(version);
        useVersion(version);
        const auto calm = bridge().playlistWithPersistentId(kCalm);
        ASSERT_NE(calm, nullptr);
        EXPECT_EQ(calm->name(), "Calm");
        EXPECT_EQ(calm->persistentId(), kCalm);
        EXPECT_EQ(calm->persistentIdAsString(), "5EA7B1C000000104");
        EXPECT_EQ(bridge().playlistWithPersistentId(kNotInLibrary), nullptr);

        const struct {
            const char* name;
            std::function<std::shared_ptr<PBTrack>()> find;
            std::optional<std::string> found;  // its name, or nothing found
        } lookUps[] = {
            {"by number", [] { return bridge().trackWithPersistentId(kTwoStepCafe); }, "Two Step Café"},
            {"by text", [] { return bridge().trackWithPersistentIdString("5EA7B1C000000003"); },
             "Half Time Shuffle"},
            {"by lower-case text", [] { return bridge().trackWithPersistentIdString("5ea7b1c000000003"); },
             "Half Time Shuffle"},
            {"by number, not in the library", [] { return bridge().trackWithPersistentId(kNotInLibrary); },
             std::nullopt},
            {"by text, not in the library",
             [] { return bridge().trackWithPersistentIdString("5EA7B1C0000009FF"); }, std::nullopt},
            {"in a playlist holding it", [&] { return calm->trackWithPersistentId(kSlowRiver); },
             "Slow River"},
            {"in a playlist without it", [&] { return calm->trackWithPersistentId(kMorningRun); },
             std::nullopt},
        };
        for (const auto& l : lookUps) {
            SCOPED_TRACE(l.name);
            const auto track = l.find();
            ASSERT_EQ(track != nullptr, l.found.has_value());
            if (!track) continue;
            EXPECT_EQ(track->name(), l.found);
            const SInt64 id = track->persistentId();
            EXPECT_EQ(track->persistentIdAsString(), PBPersistentIdString(id));
            EXPECT_EQ(modelTrack(id).name(), l.found);
        }
    }
}

TEST_F(BridgeAgainstModel, AddATrackToAPlaylistAndRemoveIt) {
    const std::string file = makeFile("Half Time Shuffle.mp3");
    fModel.library().track(1003)->location = FileURLFromPath(file);
    const std::vector<SInt32> running = modelPlaylist(kRunning).items;
    const std::vector<SInt32> topRated = modelPlaylist(kTopRated).items;
    for (const char* version : kVersions) {
        SCOPED_TRACE(version);
        useVersion(version);
        const auto track = bridge().trackWithPersistentId(kHalfTimeShuffle);
        const auto playlist = bridge().playlistWithPersistentId(kRunning);
        ASSERT_NE(track, nullptr);
        ASSERT_NE(playlist, nullptr);
        EXPECT_EQ(track->path(), file);

        const std::optional<PBTrackList> added = bridge().addTrack(*track, playlist.get());
        ASSERT_TRUE(added.has_value());
        ASSERT_EQ(added->size(), 1u);
        EXPECT_EQ(added->front()->name(), "Half Time Shuffle");
        std::vector<SInt32> withIt = running;
        withIt.push_back(1003);
        EXPECT_EQ(modelPlaylist(kRunning).items, withIt);
        EXPECT_EQ(playlist->trackCount(), 5);
        EXPECT_EQ(fModel.library().trackCount(), 12u) << "a known file is not added to the library again";

        bridge().removeTrack(*added->front(), playlist.get());
        EXPECT_EQ(modelPlaylist(kRunning).items, running);
        EXPECT_EQ(playlist->trackCount(), 4);
        EXPECT_NE(fModel.library().track(1003), nullptr) << "removing from a playlist keeps the track";

        // What the player refuses, and a track whose file is gone: nothing is added.
        const auto smart = bridge().playlistWithPersistentId(kTopRated);
        ASSERT_NE(smart, nullptr);
        EXPECT_EQ(bridge().addTrack(*track, smart.get()), std::nullopt);
        EXPECT_EQ(modelPlaylist(kTopRated).items, topRated);
        const auto missing = bridge().trackWithPersistentId(kMorningRun);
        ASSERT_NE(missing, nullptr);
        EXPECT_EQ(bridge().addTrack(*missing, playlist.get()), std::nullopt);
        EXPECT_EQ(modelPlaylist(kRunning).items, running);
    }

    // A new file by its path joins the library and the playlist.
    const auto playlist = bridge().playlistWithPersistentId(kRunning);
    ASSERT_NE(playlist, nullptr);
    EXPECT_EQ(bridge().addTrackPath(makeFile("Count In.mp3"), playlist.get()), 0);
    EXPECT_EQ(fModel.library().trackCount(), 13u);
    ASSERT_EQ(modelPlaylist(kRunning).items.size(), running.size() + 1);
    EXPECT_EQ(fModel.library().track(modelPlaylist(kRunning).items.back())->name(), "Count In");
}

TEST_F(BridgeAgainstModel, FailureValuesWhenThePlayerIsSilentOrLate) {
    const struct {
        const char* name;
        std::function<void()> arrange;
        bool answers;
    } situations[] = {
        {"the reply comes 119 ticks late", [&] { fTransport->setReplyDelay(119); }, true},
        {"the reply comes 121 ticks late", [&] { fTransport->setReplyDelay(121); }, false},
        {"the reply never comes", [&] { fTransport->setDropReplies(true); }, false},
        {"no player runs", [&] { quitPlayer(); }, false},
    };
    // Each version reads persistent IDs its own way; each must fail to its failure value.
    for (const char* version : kVersions) {
        for (const auto& s : situations) {
            for (const bool versionKnown : {true, false}) {
                SCOPED_TRACE(std::string(version) + ", " + s.name +
                             (versionKnown ? ", version known" : ", version not read yet"));
                // Objects made while the player answered, then the player falls silent.
                useVersion(version);
                const auto track = bridge().currentTrack();
                const auto calm = bridge().playlistWithPersistentId(kCalm);
                ASSERT_NE(track, nullptr);
                ASSERT_NE(calm, nullptr);
                if (!versionKnown) PlayerBridge::forgetCachedVersion();
                s.arrange();

                const bool a = s.answers;
                EXPECT_EQ(bridge().versionNumber(),
                          a || versionKnown ? PlayerBridge::packedVersion(version) : 0u);
                EXPECT_EQ(track->name(), a ? std::optional<std::string>("Morning Run") : std::nullopt);
                EXPECT_EQ(track->bpm(), a ? 128 : -1);
                EXPECT_EQ(track->rating(), a ? 80 : -1);
                EXPECT_EQ(track->persistentId(), a ? kMorningRun : -1);
                EXPECT_EQ(track->persistentIdAsString(),
                          a ? std::optional<std::string>("5EA7B1C000000001") : std::nullopt);
                EXPECT_EQ(track->artwork().size(), a ? 1u : 0u);
                EXPECT_EQ(calm->persistentIdAsString(),
                          a ? std::optional<std::string>("5EA7B1C000000104") : std::nullopt);
                EXPECT_EQ(calm->tracks().size(), a ? 3u : 0u);
                EXPECT_EQ(bridge().currentTrack() != nullptr, a);
                EXPECT_EQ(bridge().trackWithPersistentId(kTwoStepCafe) != nullptr, a);
                EXPECT_EQ(bridge().playlistWithPersistentId(kCalm) != nullptr, a);
                EXPECT_EQ(bridge().userPlaylists().size(), a ? 4u : 0u);
                EXPECT_EQ(bridge().playlistCount(), a ? 8 : -1);
                EXPECT_EQ(bridge().playerState(), a ? fourCC("kPSP") : 0xFFFFFFFF);

                fTransport->setReplyDelay(0);
                fTransport->setDropReplies(false);
                if (fPID == 0) startPlayer();
            }
        }
    }
}

}  // namespace
