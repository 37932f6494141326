// The library file: the shipped sample, the round trip, and files that are not libraries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "PlayerFixture.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "player/MusicLibraryFile.h"
#include "player/XMLPropertyListReader.h"

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

// A library as the player writes one, with what the stand-in does not model: the root's
// "Date", "Features" and "Show Content Ratings"; per track sort names, play and release dates,
// artwork and folder counts, a false flag; the playlists' kind flags; a folder inside a folder
// whose items are not in the order of its children; tracks listed in another order than the
// library's; names beyond ASCII.
std::string realisticLibrary() {
    std::string tracks;
    const char* names[] = {"Café Ørsted", "東京の夜", "Ünïcödé &amp; &lt;Tags&gt;",
                           "Plain",       "Señora",   "Ελληνικά"};
    for (int i = 0; i < 6; ++i) {
        const std::string id = std::to_string(2000 + i);
        char pid[17];
        std::snprintf(pid, sizeof pid, "ABCDEF00000000%02X", i);
        tracks += "\t\t<key>" + id + "</key>\n\t\t<dict>\n\t\t\t<key>Track ID</key><integer>" + id +
                  "</integer>\n\t\t\t<key>Name</key><string>" + names[i] +
                  "</string>\n\t\t\t<key>Artist</key><string>Ørkester " + std::to_string(i % 2) +
                  "</string>\n\t\t\t<key>Kind</key><string>MPEG audio file</string>"
                  "\n\t\t\t<key>Size</key><integer>4812345</integer>"
                  "\n\t\t\t<key>Total Time</key><integer>201000</integer>"
                  "\n\t\t\t<key>BPM</key><integer>" +
                  std::to_string(100 + i) +
                  "</integer>\n\t\t\t<key>Date Modified</key><date>2009-05-12T10:00:00Z</date>"
                  "\n\t\t\t<key>Play Count</key><integer>7</integer>"
                  "\n\t\t\t<key>Play Date</key><integer>3324567890</integer>"
                  "\n\t\t\t<key>Play Date UTC</key><date>2009-05-13T09:31:30Z</date>"
                  "\n\t\t\t<key>Release Date</key><date>1999-01-01T08:00:00Z</date>"
                  "\n\t\t\t<key>Artwork Count</key><integer>1</integer>"
                  "\n\t\t\t<key>Compilation</key><false/>"
                  "\n\t\t\t<key>Sort Name</key><string>" +
                  names[i] +
                  "</string>\n\t\t\t<key>Sort Album</key><string>Åbum</string>"
                  "\n\t\t\t<key>Sort Artist</key><string>Orkester</string>"
                  "\n\t\t\t<key>Sort Album Artist</key><string>Orkester</string>"
                  "\n\t\t\t<key>Persistent ID</key><string>" +
                  pid +
                  "</string>\n\t\t\t<key>Track Type</key><string>File</string>"
                  "\n\t\t\t<key>Location</key><string>file://localhost/Music/%C3%98rkester/" +
                  id +
                  ".mp3</string>\n\t\t\t<key>File Folder Count</key><integer>4</integer>"
                  "\n\t\t\t<key>Library Folder Count</key><integer>1</integer>\n\t\t</dict>\n";
    }
    const auto items = [](std::initializer_list<int> ids) {
        std::string list = "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n";
        for (const int id : ids)
            list += "\t\t\t\t<dict>\n\t\t\t\t\t<key>Track ID</key><integer>" + std::to_string(id) +
                    "</integer>\n\t\t\t\t</dict>\n";
        return list + "\t\t\t</array>\n";
    };
    const auto playlist = [](const char* name, int id, const char* more, const std::string& list) {
        char pid[17];
        std::snprintf(pid, sizeof pid, "FEDC0000000000%02X", id);
        return "\t\t<dict>\n\t\t\t<key>Name</key><string>" + std::string(name) +
               "</string>\n\t\t\t<key>Playlist ID</key><integer>" + std::to_string(9000 + id) +
               "</integer>\n\t\t\t<key>Playlist Persistent ID</key><string>" + pid + "</string>\n" + more +
               "\t\t\t<key>All Items</key><true/>\n" + list + "\t\t</dict>\n";
    };
    const char* music =
        "\t\t\t<key>Distinguished Kind</key><integer>4</integer>\n\t\t\t<key>Music</key><true/>\n"
        "\t\t\t<key>Smart Info</key>\n\t\t\t<data>\n\t\t\tAQEAAwAAAAIAAAAZAAAAAAAAAAcAAAABAAAAAAAAAAAAAAAA\n"
        "\t\t\t</data>\n";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n"
           "\t<key>Major Version</key><integer>1</integer>\n\t<key>Minor Version</key><integer>1</integer>\n"
           "\t<key>Date</key><date>2009-05-14T12:00:00Z</date>\n"
           "\t<key>Application Version</key><string>8.1.1</string>\n"
           "\t<key>Features</key><integer>5</integer>\n\t<key>Show Content Ratings</key><true/>\n"
           "\t<key>Music Folder</key><string>file://localhost/Music/</string>\n"
           "\t<key>Library Persistent ID</key><string>ABCDEF0123456789</string>\n"
           "\t<key>Tracks</key>\n\t<dict>\n" +
           tracks + "\t</dict>\n\t<key>Playlists</key>\n\t<array>\n" +
           playlist("Bibliothèque", 0, "\t\t\t<key>Master</key><true/>\n\t\t\t<key>Visible</key><false/>\n",
                    items({2005, 2004, 2003, 2002, 2001, 2000})) +
           playlist("Music", 1, music, items({2000, 2001, 2002, 2003, 2004, 2005})) +
           playlist(
               "Movies", 2,
               "\t\t\t<key>Distinguished Kind</key><integer>2</integer>\n\t\t\t<key>Movies</key><true/>\n",
               "") +
           playlist("Party Shuffle", 3,
                    "\t\t\t<key>Distinguished Kind</key><integer>22</integer>\n\t\t\t<key>Party "
                    "Shuffle</key><true/>\n",
                    "") +
           playlist("Äußeres", 4, "\t\t\t<key>Folder</key><true/>\n", items({2004, 2003, 2001, 2000})) +
           playlist("Inneres", 5,
                    "\t\t\t<key>Parent Persistent ID</key><string>FEDC000000000004</string>\n"
                    "\t\t\t<key>Folder</key><true/>\n",
                    items({2001, 2000, 2003})) +
           playlist("Blätter", 6, "\t\t\t<key>Parent Persistent ID</key><string>FEDC000000000005</string>\n",
                    items({2000, 2001, 2003})) +
           playlist("Seite", 7, "\t\t\t<key>Parent Persistent ID</key><string>FEDC000000000004</string>\n",
                    items({2004})) +
           "\t</array>\n</dict>\n</plist>\n";
}

// Every value of a property list with the path to it, in order: two lists compare line by line.
void flatten(const OrderedPropertyList& value, const std::string& path, std::vector<std::string>& out) {
    if (const OrderedPropertyList::Dictionary* entries = value.dictionary()) {
        out.push_back(path + " {" + std::to_string(entries->size()) + "}");
        for (const auto& [key, item] : *entries) flatten(item, path + "/" + key, out);
    } else if (const OrderedPropertyList::Array* items = value.array()) {
        out.push_back(path + " [" + std::to_string(items->size()) + "]");
        for (size_t i = 0; i < items->size(); ++i) flatten((*items)[i], path + "/" + std::to_string(i), out);
    } else {
        const PropertyList& scalar = *value.scalar();
        std::string shown;
        if (scalar.string()) {
            shown = '"' + *scalar.string() + '"';
        } else if (scalar.type() == PropertyList::Type::Date) {
            shown = "date " + std::to_string(scalar.date()->seconds);
        } else if (scalar.data()) {
            shown = "data of " + std::to_string(scalar.data()->size());
        } else if (scalar.type() == PropertyList::Type::Boolean) {
            shown = *scalar.boolean() ? "true" : "false";
        } else {
            shown = "number " + std::to_string(*scalar.real());
        }
        out.push_back(path + " = " + shown);
    }
}

std::vector<std::string> flattenedFile(const std::string& path) {
    const std::string text = contents(path);
    Result<OrderedPropertyList> read =
        XMLPropertyListReader::read({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    EXPECT_TRUE(read) << read.error();
    std::vector<std::string> lines;
    if (read) flatten(read.value(), "", lines);
    return lines;
}

TEST_F(LibraryFileTest, ASaveChangesOnlyWhatChanged) {
    const std::string path = write(MusicLibraryFile::kFileName, realisticLibrary());
    std::vector<std::string> expected = flattenedFile(path);
    ASSERT_FALSE(expected.empty());

    MusicLibraryFile file(path);
    Result<MusicLibrary> loaded = file.load();
    ASSERT_TRUE(loaded) << loaded.error();
    PlayerModel model(std::move(loaded).value());
    ASSERT_EQ(model.library().trackCount(), 6u);
    ASSERT_EQ(model.library().track(2002)->name(), "Ünïcödé & <Tags>");
    std::vector<std::string> errors;
    file.saveOnChange(model, [&](const std::string& error) { errors.push_back(error); });

    // One BPM changed: that value and the version that saved are all that differ.
    model.library().track(2002)->set(fourCC("pBPM"), SInt64{133});
    model.libraryChanged();
    EXPECT_TRUE(errors.empty()) << errors.front();
    for (std::string& line : expected) {
        if (line == "/Tracks/2002/BPM = number 102.000000") line = "/Tracks/2002/BPM = number 133.000000";
        if (line == "/Application Version = \"8.1.1\"")
            line = "/Application Version = \"" + model.profile().version() + "\"";
    }
    EXPECT_EQ(flattenedFile(path), expected);
    EXPECT_TRUE(PropertyListSerialization::propertyListWithContentsOfFile(path))
        << "other readers take it too";

    // A track taken out of a playlist in a folder: the folders keep the order they listed.
    LibraryPlaylist& leaves = *model.library().playlist(9006);
    std::erase(leaves.items, 2001);
    model.library().track(2004)->clear(fourCC("pBPM"));
    model.libraryChanged();
    std::vector<std::string> changed = flattenedFile(path);
    const auto itemsOf = [&](int playlistIndex) {
        std::vector<std::string> ids;
        const std::string prefix = "/Playlists/" + std::to_string(playlistIndex) + "/Playlist Items/";
        for (const std::string& line : changed) {
            if (line.starts_with(prefix) && line.ends_with(".000000") &&
                line.find("Track ID") != std::string::npos)
                ids.push_back(line.substr(line.rfind(' ') + 1, 4));
        }
        return ids;
    };
    EXPECT_EQ(itemsOf(6), (std::vector<std::string>{"2000", "2003"}));
    EXPECT_EQ(itemsOf(5), (std::vector<std::string>{"2000", "2003"}));
    EXPECT_EQ(itemsOf(4), (std::vector<std::string>{"2004", "2003", "2000"}));
    EXPECT_EQ(std::count_if(changed.begin(), changed.end(),
                            [](const std::string& line) { return line.starts_with("/Tracks/2004/BPM"); }),
              0);
    EXPECT_EQ(changed.size(), expected.size() - 3 * 2 - 1)
        << "a track out of a playlist and its two folders, a BPM";
    EXPECT_TRUE(errors.empty()) << errors.front();
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
    MusicLibraryFile file(path);
    Result<MusicLibrary> loaded = file.load();
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

    // What could not be taken is the user's still: a save writes it back as it was.
    ASSERT_TRUE(file.save(library));
    const std::vector<std::string> saved = flattenedFile(path);
    for (const char* line :
         {"/Tracks/1/Name = \"No id\"", "/Tracks/2 = \"not a track\"", "/Tracks/3/BPM = \"fast\"",
          "/Playlists/1 = number 7.000000", "/Playlists/2/Playlist Items/2 = \"x\""})
        EXPECT_NE(std::find(saved.begin(), saved.end(), line), saved.end()) << line;
    EXPECT_NE(std::find(saved.begin(), saved.end(),
                        "/Tracks/3/Persistent ID = \"" + PersistentIDString(kept->persistentID) + "\""),
              saved.end());
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
