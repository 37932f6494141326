// The library file: the shipped sample, the round trip, and files that are not libraries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "PlayerFixture.h"
#include "player/MusicLibraryFile.h"

namespace playertest {
namespace {

namespace fs = std::filesystem;

const fs::path kSampleFolder = fs::path(BEATWICK_RESOURCE_DIR) / "SampleLibrary";

class LibraryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "player-library-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        fFolder = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(fFolder, ignored);
    }
    std::string write(const std::string& name, const std::string& text) {
        const fs::path path = fFolder / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    // A copy of the sample library and its artwork.
    std::string copySample() {
        fs::copy(kSampleFolder, fFolder, fs::copy_options::recursive);
        return (fFolder / MusicLibraryFile::kFileName).string();
    }

    fs::path fFolder;
};

std::vector<std::string> names(const MusicLibrary& library, const LibraryPlaylist& playlist) {
    std::vector<std::string> result;
    for (const SInt32 id : library.tracksOf(playlist)) result.push_back(library.track(id)->name());
    return result;
}

TEST_F(LibraryFileTest, TheSampleLibraryLoads) {
    Result<MusicLibrary> loaded =
        MusicLibraryFile((kSampleFolder / MusicLibraryFile::kFileName).string()).load();
    ASSERT_TRUE(loaded) << loaded.error();
    const MusicLibrary& library = loaded.value();
    ASSERT_EQ(library.trackCount(), 12u);
    size_t withTempo = 0;
    size_t withArtwork = 0;
    for (const SInt32 id : library.libraryPlaylist().items) {
        withTempo += library.track(id)->bpm() > 0;
        withArtwork += !library.track(id)->artwork.empty();
    }
    EXPECT_EQ(withTempo, 7u);
    EXPECT_EQ(withArtwork, 4u);

    const LibraryTrack* track = library.trackWithPersistentID(0x5EA7B1C000000008ULL);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->name(), "Two Step Café");
    EXPECT_EQ(track->path(), "/Music/iTunes/iTunes Music/Ana Ribeiro/Corner Songs/01 Two Step Café.mp3");
    EXPECT_EQ(track->bpm(), 104);
    EXPECT_EQ(track->durationMilliseconds(), 176000);

    struct Case {
        UInt64 persistentID;
        PlaylistKind kind;
        const char* name;
        std::vector<std::string> tracks;
    };
    const Case cases[] = {
        {0x5EA7B1C000000100ULL, PlaylistKind::library, "Library", {}},
        {0x5EA7B1C000000101ULL, PlaylistKind::special, "Music", {}},
        {0x5EA7B1C000000102ULL,
         PlaylistKind::plain,
         "Running",
         {"Morning Run", "Steady Pulse", "Stadium Clap", "Downbeat"}},
        {0x5EA7B1C000000103ULL,
         PlaylistKind::folder,
         "Moods",
         {"Slow River", "Lantern", "Fog Horn Waltz", "Paper Boats"}},
        {0x5EA7B1C000000105ULL, PlaylistKind::plain, "Rainy Day", {"Paper Boats", "Slow River"}},
        {0x5EA7B1C000000106ULL, PlaylistKind::smart, "Top Rated", {"Downbeat", "Stadium Clap"}},
    };
    for (const Case& c : cases) {
        const LibraryPlaylist* playlist = library.playlistWithPersistentID(c.persistentID);
        ASSERT_NE(playlist, nullptr) << c.name;
        EXPECT_EQ(playlist->name, c.name);
        EXPECT_EQ(playlist->kind, c.kind) << c.name;
        if (!c.tracks.empty()) {
            EXPECT_EQ(names(library, *playlist), c.tracks) << c.name;
        }
    }
    EXPECT_EQ(library.playlists().size(), 8u);
    EXPECT_EQ(library.parentOf(*library.playlistWithPersistentID(0x5EA7B1C000000104ULL))->name, "Moods");
}

TEST_F(LibraryFileTest, ChangesAreSavedAndReadBack) {
    MusicLibraryFile file(copySample());
    Result<MusicLibrary> loaded = file.load();
    ASSERT_TRUE(loaded) << loaded.error();
    PlayerModel model(std::move(loaded.value()));
    std::vector<std::string> errors;
    file.saveOnChange(model, [&](const std::string& error) { errors.push_back(error); });
    EventDispatcher dispatcher(model);

    // Changes through events, as the bridge makes them.
    const auto handle = [&](AEEventClass eventClass, AEEventID id, const char* params, const auto&... args) {
        AppleEvent event;
        const SInt32 pid = kPlayerPID;
        ASSERT_EQ(
            AEBuildAppleEvent(eventClass, id, typeKernelProcessID, &pid, sizeof pid, kAutoGenerateReturnID,
                              kAnyTransactionID, &event, nullptr, params, args...),
            noErr)
            << params;
        AppleEvent reply = AEDesc::makeEvent(kAEAnswerClass, kAEAnswer, AEDesc(), 0, 0);
        EXPECT_EQ(dispatcher.handle(event, reply), noErr) << params;
    };
    const SInt32 libraryID = model.library().libraryPlaylist().playlistID;
    const AEDesc lantern = SpecifierFor(model, ObjectRef::track(libraryID, 1006));
    const AEDesc morningRun = SpecifierFor(model, ObjectRef::track(libraryID, 1001));
    const SInt32 bpm = 75;
    AEDesc value = AEDesc::makeData(typeSInt32, &bpm, sizeof bpm);
    handle(fourCC("core"), fourCC("setd"),
           "data:@, '----':obj { form:prop, want:type(prop), seld:type(pBPM), from:@ }", value, lantern);
    const AEDesc running = SpecifierFor(
        model,
        ObjectRef::playlist(model.library().playlistWithPersistentID(0x5EA7B1C000000102ULL)->playlistID));
    handle(fourCC("core"), fourCC("delo"), "'----':@, insh:(@)", morningRun, running);
    handle(fourCC("core"), fourCC("delo"),
           "'----':obj { form:indx, want:type(cArt), seld:abso('all '), from:@ }", morningRun);
    EXPECT_TRUE(errors.empty()) << errors.front();

    Result<MusicLibrary> reloaded = file.load();
    ASSERT_TRUE(reloaded) << reloaded.error();
    const MusicLibrary& saved = reloaded.value();
    EXPECT_EQ(saved.track(1006)->bpm(), 75);
    EXPECT_TRUE(saved.track(1001)->artwork.empty());
    EXPECT_FALSE(fs::exists(fFolder / MusicLibraryFile::kArtworkFolder / "5EA7B1C000000001.png"));
    EXPECT_EQ(names(saved, *saved.playlistWithPersistentID(0x5EA7B1C000000102ULL)),
              (std::vector<std::string>{"Steady Pulse", "Stadium Clap", "Downbeat"}));

    // Everything else is as it was.
    const MusicLibrary& before = model.library();
    ASSERT_EQ(saved.trackCount(), before.trackCount());
    for (const SInt32 id : before.libraryPlaylist().items) {
        const LibraryTrack* a = before.track(id);
        const LibraryTrack* b = saved.track(id);
        ASSERT_NE(b, nullptr) << id;
        EXPECT_EQ(a->values(), b->values()) << a->name();
        EXPECT_EQ(a->persistentID, b->persistentID) << a->name();
        EXPECT_EQ(a->location, b->location) << a->name();
        EXPECT_EQ(a->artwork, b->artwork) << a->name();
    }
    EXPECT_EQ(saved.libraryPlaylist().items, before.libraryPlaylist().items);
    ASSERT_EQ(saved.playlists().size(), before.playlists().size());
    for (size_t i = 0; i < before.playlists().size(); ++i) {
        const LibraryPlaylist& a = *before.playlists()[i];
        const LibraryPlaylist& b = *saved.playlists()[i];
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.playlistID, b.playlistID) << a.name;
        EXPECT_EQ(a.persistentID, b.persistentID) << a.name;
        EXPECT_EQ(a.kind, b.kind) << a.name;
        EXPECT_EQ(a.parentPersistentID, b.parentPersistentID) << a.name;
        EXPECT_EQ(before.tracksOf(a), saved.tracksOf(b)) << a.name;
        EXPECT_EQ(a.smartInfo, b.smartInfo) << a.name;
    }
}

TEST_F(LibraryFileTest, FilesThatAreNoLibraryGiveAClearError) {
    struct Case {
        const char* name;
        std::string path;
        const char* message;  // a part of the error
    };
    const Case cases[] = {
        {"missing", (fFolder / "absent.xml").string(), "absent.xml"},
        {"not a property list", write("garbage.xml", "<plist><dict><key>Tracks</key"),
         "Cannot read the music library"},
        {"an array", write("array.xml", "<plist version=\"1.0\"><array/></plist>"), "Not a music library"},
        {"no tracks",
         write("empty.xml", "<plist version=\"1.0\"><dict><key>Playlists</key><array/></dict></plist>"),
         "Not a music library"},
        {"tracks of the wrong type",
         write("wrong.xml", "<plist version=\"1.0\"><dict><key>Tracks</key><array/></dict></plist>"),
         "Not a music library"},
    };
    for (const Case& c : cases) {
        Result<MusicLibrary> loaded = MusicLibraryFile(c.path).load();
        EXPECT_FALSE(loaded) << c.name;
        EXPECT_NE(loaded.error().find(c.message), std::string::npos) << c.name << ": " << loaded.error();
    }
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(LibraryFileTest, AFileThatCannotBeLoadedIsNeverSavedOver) {
    const std::string sample = contents((kSampleFolder / MusicLibraryFile::kFileName).string());
    std::string lettered = sample;
    const std::string id = "<key>Track ID</key><integer>1003</integer>";
    ASSERT_NE(lettered.find(id), std::string::npos);
    lettered.replace(lettered.find(id), id.size(), "<key>Track ID</key><integer>1003abc</integer>");
    struct Case {
        const char* name;
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"truncated", sample.substr(0, sample.size() / 2), "Cannot read the music library"},
        {"a track id with letters", lettered, "<integer>1003abc</integer> is not an integer"},
        {"no library", "<plist version=\"1.0\"><array/></plist>", "Not a music library"},
    };
    for (const Case& c : cases) {
        const std::string path = write(MusicLibraryFile::kFileName, c.text);
        MusicLibraryFile file(path);
        Result<MusicLibrary> loaded = file.load();
        ASSERT_FALSE(loaded) << c.name;
        EXPECT_NE(loaded.error().find(c.message), std::string::npos) << c.name << ": " << loaded.error();
        EXPECT_TRUE(file.readOnly()) << c.name;

        PlayerModel model{MusicLibrary()};
        file.saveOnChange(model, [&](const std::string& error) { ADD_FAILURE() << c.name << ": " << error; });
        model.library().addTrack(LibraryTrack());
        model.libraryChanged();
        Result<void> saved = file.save(model.library(), "9.2.1");
        EXPECT_FALSE(saved) << c.name;
        EXPECT_NE(saved.error().find("left as it is"), std::string::npos) << saved.error();
        EXPECT_EQ(contents(path), c.text) << c.name;
    }

    // A missing file is no one's: the library starts empty and is saved there.
    MusicLibraryFile missing((fFolder / "new" / MusicLibraryFile::kFileName).string());
    EXPECT_FALSE(missing.load());
    EXPECT_FALSE(missing.readOnly());
    Result<void> saved = missing.save(MusicLibrary());
    EXPECT_TRUE(saved) << saved.error();
    EXPECT_TRUE(MusicLibraryFile(missing.path()).load());
}

TEST_F(LibraryFileTest, UnreadableEntriesAreLeftOutAndTheRestKept) {
    const std::string path = write("partial.xml", R"(<plist version="1.0"><dict><key>Tracks</key><dict>
        <key>1</key><dict><key>Name</key><string>No id</string></dict>
        <key>2</key><string>not a track</string>
        <key>3</key><dict><key>Track ID</key><integer>3</integer><key>Name</key><string>Kept</string>
            <key>BPM</key><string>fast</string><key>Persistent ID</key><string>XYZ</string></dict>
        </dict><key>Playlists</key><array><integer>7</integer>
        <dict><key>Name</key><string>Odd</string><key>Playlist Items</key><array><dict><key>Track ID</key><integer>3</integer></dict>
            <dict><key>Track ID</key><integer>99</integer></dict><string>x</string></array></dict></array></dict></plist>)");
    Result<MusicLibrary> loaded = MusicLibraryFile(path).load();
    ASSERT_TRUE(loaded) << loaded.error();
    const MusicLibrary& library = loaded.value();
    ASSERT_EQ(library.trackCount(), 1u);
    const LibraryTrack* kept = library.track(3);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->name(), "Kept");
    EXPECT_FALSE(kept->has(fourCC("pBPM")));
    EXPECT_NE(kept->persistentID, 0u) << "a track without a readable persistent ID gets one";
    ASSERT_EQ(library.playlists().size(), 2u);
    EXPECT_EQ(library.playlists()[1]->items, (std::vector<SInt32>{3}));
}

TEST_F(LibraryFileTest, AFailedSaveIsReportedAndKeepsTheModel) {
    const std::string blocker = write("not-a-folder", "x");
    const MusicLibraryFile file(blocker + "/" + MusicLibraryFile::kFileName);
    PlayerModel model(MakeSampleLibrary());
    std::vector<std::string> errors;
    file.saveOnChange(model, [&](const std::string& error) { errors.push_back(error); });
    model.library().track(101)->set(fourCC("pBPM"), SInt64{99});
    model.libraryChanged();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors.front().find("Cannot save the music library"), std::string::npos) << errors.front();
    EXPECT_EQ(model.library().track(101)->bpm(), 99);
}

}  // namespace
}  // namespace playertest
