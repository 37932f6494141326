// Loading a generated library file of 1,000 and 10,000 tracks, with playlists and a folder: the
// time per track should stay flat from one size to the next.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "player/MusicLibraryFile.h"

namespace {

namespace fs = std::filesystem;

std::string persistentID(int64_t n) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(0x5EA7B1C000000000ULL + n));
    return text;
}

// A library as the player writes it: every track with the keys it carries, the library
// playlist, a folder holding two playlists, and a plain playlist of every tenth track.
std::string libraryText(int64_t tracks) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
        "\t<key>Major Version</key><integer>1</integer>\n\t<key>Minor Version</key><integer>1</integer>\n"
        "\t<key>Application Version</key><string>9.2.1</string>\n\t<key>Features</key><integer>5</integer>\n"
        "\t<key>Library Persistent "
        "ID</key><string>5EA7B1C0FFFFFFFF</string>\n\t<key>Tracks</key>\n\t<dict>\n";
    for (int64_t i = 0; i < tracks; ++i) {
        const std::string id = std::to_string(1000 + i);
        const std::string n = std::to_string(i);
        text += "\t\t<key>" + id + "</key>\n\t\t<dict>\n\t\t\t<key>Track ID</key><integer>" + id +
                "</integer>\n\t\t\t<key>Name</key><string>Track " + n +
                "</string>\n\t\t\t<key>Artist</key><string>Artist " + std::to_string(i % 97) +
                "</string>\n\t\t\t<key>Album</key><string>Album " + std::to_string(i % 331) +
                "</string>\n\t\t\t<key>Genre</key><string>Rock</string>\n"
                "\t\t\t<key>Kind</key><string>MPEG audio file</string>\n"
                "\t\t\t<key>Size</key><integer>5242880</integer>\n"
                "\t\t\t<key>Total Time</key><integer>" +
                std::to_string(120000 + i % 180000) + "</integer>\n\t\t\t<key>Track Number</key><integer>" +
                std::to_string(1 + i % 12) +
                "</integer>\n\t\t\t<key>Year</key><integer>1999</integer>\n"
                "\t\t\t<key>BPM</key><integer>" +
                std::to_string(60 + i % 120) +
                "</integer>\n\t\t\t<key>Date Modified</key><date>2009-05-12T10:00:00Z</date>\n"
                "\t\t\t<key>Date Added</key><date>2009-05-12T10:00:00Z</date>\n"
                "\t\t\t<key>Bit Rate</key><integer>192</integer>\n"
                "\t\t\t<key>Sample Rate</key><integer>44100</integer>\n"
                "\t\t\t<key>Play Count</key><integer>3</integer>\n"
                "\t\t\t<key>Play Date</key><integer>3324567890</integer>\n"
                "\t\t\t<key>Play Date UTC</key><date>2009-05-13T10:00:00Z</date>\n"
                "\t\t\t<key>Rating</key><integer>80</integer>\n"
                "\t\t\t<key>Artwork Count</key><integer>1</integer>\n"
                "\t\t\t<key>Sort Name</key><string>Track " +
                n + "</string>\n\t\t\t<key>Persistent ID</key><string>" + persistentID(i) +
                "</string>\n\t\t\t<key>Track Type</key><string>File</string>\n"
                "\t\t\t<key>Location</key><string>file://localhost/Music/Artist%20" +
                std::to_string(i % 97) + "/Track%20" + n +
                ".mp3</string>\n\t\t\t<key>File Folder Count</key><integer>4</integer>\n"
                "\t\t\t<key>Library Folder Count</key><integer>1</integer>\n\t\t</dict>\n";
    }
    text += "\t</dict>\n\t<key>Playlists</key>\n\t<array>\n";
    const auto items = [&](int64_t from, int64_t step) {
        std::string list = "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n";
        for (int64_t i = from; i < tracks; i += step)
            list += "\t\t\t\t<dict>\n\t\t\t\t\t<key>Track ID</key><integer>" + std::to_string(1000 + i) +
                    "</integer>\n\t\t\t\t</dict>\n";
        return list + "\t\t\t</array>\n";
    };
    const auto playlist = [&](const char* name, int64_t number, const std::string& more) {
        text += "\t\t<dict>\n\t\t\t<key>Name</key><string>" + std::string(name) +
                "</string>\n\t\t\t<key>Playlist ID</key><integer>" + std::to_string(50000 + number) +
                "</integer>\n\t\t\t<key>Playlist Persistent ID</key><string>" +
                persistentID(0x100000 + number) + "</string>\n" + more + "\t\t</dict>\n";
    };
    playlist("Library", 0,
             "\t\t\t<key>Master</key><true/>\n\t\t\t<key>Visible</key><false/>\n" + items(0, 1));
    playlist("Moods", 1, "\t\t\t<key>Folder</key><true/>\n" + items(0, 5));
    playlist("Calm", 2,
             "\t\t\t<key>Parent Persistent ID</key><string>" + persistentID(0x100001) + "</string>\n" +
                 items(0, 10));
    playlist("Loud", 3,
             "\t\t\t<key>Parent Persistent ID</key><string>" + persistentID(0x100001) + "</string>\n" +
                 items(5, 10));
    playlist("Every Tenth", 4, items(0, 10));
    return text + "\t</array>\n</dict>\n</plist>\n";
}

void LoadLibrary(benchmark::State& state) {
    std::string folder = (fs::temp_directory_path() / "player-library-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = folder + "/" + player::MusicLibraryFile::kFileName;
    std::ofstream(path, std::ios::binary) << libraryText(state.range(0));
    for (auto _ : state) {
        Result<player::MusicLibrary> loaded = player::MusicLibraryFile(path).load();
        if (!loaded || loaded.value().trackCount() != static_cast<size_t>(state.range(0))) {
            state.SkipWithError(loaded ? "tracks missing" : loaded.error().c_str());
            break;
        }
        benchmark::DoNotOptimize(loaded);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

BENCHMARK(LoadLibrary)->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
