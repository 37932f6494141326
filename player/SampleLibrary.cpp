#include "player/SampleLibrary.h"

#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/Carbon/FileReference.h"
#include "player/MusicLibraryFile.h"

namespace player {

namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultMusicFolder = "iTunes Music";

// A folder URL's path without its closing slash; nullopt for no file URL.
std::optional<fs::path> folderOfURL(const std::string& url) {
    std::optional<std::string> path = PathFromFileURL(url);
    if (!path || path->empty()) return std::nullopt;
    while (path->size() > 1 && path->back() == '/') path->pop_back();
    return fs::path(*path);
}

// Where a track of the sample lies below its music folder: its place there, or its file's name
// when it lies elsewhere.
fs::path placeInMusicFolder(const fs::path& file, const std::optional<fs::path>& musicFolder) {
    if (musicFolder) {
        const fs::path relative = file.lexically_relative(*musicFolder);
        if (!relative.empty() && *relative.begin() != "..") return relative;
    }
    return file.filename();
}

Result<void> copyFile(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::skip_existing, error);
    if (error)
        return Failure{"could not copy " + from.string() + " to " + to.string() + ": " + error.message()};
    return {};
}

}  // namespace

Result<void> SampleLibrary::provide(const std::string& sampleFolder, const std::string& libraryPath) {
    std::error_code error;
    if (fs::exists(fs::symlink_status(libraryPath, error))) return {};
    const fs::path sample(sampleFolder);
    const fs::path folder = fs::path(libraryPath).parent_path();
    fs::create_directories(folder / MusicLibraryFile::kArtworkFolder, error);
    if (error) return Failure{"could not make " + folder.string() + ": " + error.message()};
    if (Result<void> copied = copyFile(sample / MusicLibraryFile::kFileName, libraryPath); !copied)
        return copied;
    for (const fs::directory_entry& image :
         fs::directory_iterator(sample / MusicLibraryFile::kArtworkFolder, error)) {
        if (!image.is_regular_file()) continue;
        const fs::path to = folder / MusicLibraryFile::kArtworkFolder / image.path().filename();
        if (Result<void> copied = copyFile(image.path(), to); !copied) return copied;
    }

    MusicLibraryFile file(libraryPath);
    Result<MusicLibrary> loaded = file.load();
    if (!loaded) return Failure{loaded.error()};
    MusicLibrary& library = loaded.value();
    const std::optional<fs::path> sampleMusic = folderOfURL(library.musicFolder);
    const fs::path music = folder / (sampleMusic && !sampleMusic->filename().empty() ? sampleMusic->filename()
                                                                                     : kDefaultMusicFolder);
    for (const SInt32 id : library.libraryPlaylist().items) {
        LibraryTrack& track = *library.track(id);
        const std::string path = track.path();
        if (path.empty()) continue;  // a stream has no file
        const fs::path own = music / placeInMusicFolder(fs::path(path), sampleMusic);
        fs::create_directories(own.parent_path(), error);
        if (error) return Failure{"could not make " + own.parent_path().string() + ": " + error.message()};
        if (!fs::exists(own, error)) {
            std::ofstream placeholder(own, std::ios::binary);
            placeholder << "player-standin sample track\n";
            if (!placeholder) return Failure{"could not write " + own.string()};
        }
        track.location = FileURLFromPath(own.string());
    }
    library.musicFolder = FileURLFromPath(music.string() + "/");
    return file.save(library);
}

}  // namespace player
