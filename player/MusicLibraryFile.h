// The stand-in's library on disk: "iTunes Music Library.xml", an XML property list in the
// player's library format, with artwork as PNG files in "Album Artwork" beside it, one per
// image, named by the track's persistent ID ("00A1B2C3D4E5F607.png", then "-2.png"...).
//
// The root holds "Tracks" (a dictionary keyed by track id: "Track ID", "Name", "Artist",
// "Album", "Genre", "BPM", "Rating", "Total Time", "Track Number", "Persistent ID" as 16
// hexadecimal digits, "Location" as a file:// URL and the other keys of the track's property
// table) and "Playlists" (an array of dictionaries: "Name", "Playlist ID", "Playlist
// Persistent ID", "Master", "Smart Info", "Smart Criteria", "Distinguished Kind", "Folder",
// "Parent Persistent ID", "Playlist Items" as an array of dictionaries with "Track ID").
// Saving replaces the file atomically and writes back what the library did not change as the
// file had it: every key the stand-in does not model, untouched values, and the order of keys,
// tracks, playlists and a folder's items. A file that is missing, not a property list, or not a
// library is a Failure that says so; within a library, an entry that cannot be read is left out
// of the library (and written back as it was) and the rest is kept. A file that is there but
// could not be loaded is never saved over: the library file is then read-only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/Result.h"
#include "player/MusicLibrary.h"
#include "player/OrderedPropertyList.h"

namespace player {

class PlayerModel;

class MusicLibraryFile {
public:
    static constexpr const char* kFileName = "iTunes Music Library.xml";
    static constexpr const char* kArtworkFolder = "Album Artwork";

    explicit MusicLibraryFile(std::string path) : fPath(std::move(path)) {}

    // ~/Music/iTunes/iTunes Music Library.xml
    static std::string defaultPath();

    // A library from the bytes of a library file, without its artwork. May be called from any
    // thread.
    static Result<MusicLibrary> libraryWithData(std::span<const uint8_t> bytes);

    const std::string& path() const { return fPath; }
    // Reads the library; when a file is there and cannot be read, this file becomes read-only.
    Result<MusicLibrary> load();
    // True after a load that failed on a file that is there (or that could not be looked at).
    bool readOnly() const { return fReadOnly; }
    // Writes the library, and the artwork files that differ from the library's artwork; a
    // Failure, writing nothing, when read-only.
    Result<void> save(const MusicLibrary& library, const std::string& applicationVersion = {}) const;

    // Saves the model's library to this file after each change; a failure is passed to onError.
    // A read-only file saves nothing.
    void saveOnChange(PlayerModel& model, std::function<void(const std::string&)> onError) const;

private:
    struct Contents;

    static Result<MusicLibrary> libraryWithContents(OrderedPropertyList contents, const std::string& source,
                                                    Contents* record);
    Result<MusicLibrary> read(Contents& record) const;
    OrderedPropertyList contentsOf(const MusicLibrary& library, const std::string& applicationVersion) const;
    std::string artworkPath(UInt64 persistentID, size_t index) const;

    std::string fPath;
    bool fReadOnly{false};
    // What the last load read; shared by the copies that save after each change.
    std::shared_ptr<const Contents> fContents;
};

}  // namespace player
