#include "player/MusicLibraryFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string_view>
#include <system_error>

#include "platform/Foundation/AtomicFile.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "player/OrderedPropertyList.h"
#include "player/PlayerModel.h"
#include "player/XMLPropertyListReader.h"

namespace player {

namespace {

// Seconds from 1970-01-01 to 2001-01-01, the epoch of property-list dates.
constexpr SInt64 kSecondsFrom1970To2001 = 978307200;

// Library files of real players run to tens of megabytes; beyond this one is refused unread.
constexpr std::uintmax_t kMaximumFileSize = std::uintmax_t{512} << 20;

const OrderedPropertyList* field(const OrderedPropertyList& dictionary, const char* key) {
    return dictionary.objectForKey(key);
}

std::optional<UInt64> persistentIDField(const OrderedPropertyList& dictionary, const char* key) {
    const OrderedPropertyList* value = field(dictionary, key);
    if (!value || !value->string()) return std::nullopt;
    return ParsePersistentID(*value->string());
}

bool flagField(const OrderedPropertyList& dictionary, const char* key) {
    const OrderedPropertyList* value = field(dictionary, key);
    return value && value->boolean().value_or(false);
}

// Either form of property list: the XML form keeps its order, the binary one comes sorted.
Result<OrderedPropertyList> readPropertyList(std::span<const uint8_t> bytes) {
    static constexpr std::string_view kBinaryMagic = "bplist";
    if (std::string_view(reinterpret_cast<const char*>(bytes.data()),
                         std::min(bytes.size(), kBinaryMagic.size())) == kBinaryMagic) {
        Result<PropertyList> binary = PropertyListSerialization::propertyListWithData(bytes);
        if (!binary) return Failure{binary.error()};
        return OrderedPropertyList(binary.value());
    }
    return XMLPropertyListReader::read(bytes);
}

std::optional<std::vector<uint8_t>> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

std::optional<LibraryTrack> readTrack(const OrderedPropertyList& entry) {
    if (!entry.dictionary()) return std::nullopt;
    const OrderedPropertyList& dictionary = entry;
    const OrderedPropertyList* id = field(dictionary, "Track ID");
    const std::optional<int64_t> trackID = id ? id->integer() : std::nullopt;
    if (!trackID || *trackID <= 0 || *trackID > std::numeric_limits<SInt32>::max()) return std::nullopt;
    LibraryTrack track;
    track.trackID = static_cast<SInt32>(*trackID);
    track.persistentID = persistentIDField(dictionary, "Persistent ID").value_or(0);
    if (const OrderedPropertyList* location = field(dictionary, "Location"); location && location->string())
        track.location = *location->string();
    for (const TrackProperty& property : TrackProperties()) {
        const OrderedPropertyList* value = field(dictionary, property.key);
        if (!value) continue;
        switch (property.type) {
            case TrackValueType::text:
                if (value->string()) track.set(property.code, *value->string());
                break;
            case TrackValueType::integer:
                if (const std::optional<int64_t> number = value->integer()) track.set(property.code, *number);
                break;
            case TrackValueType::boolean:
                if (value->boolean().value_or(false)) track.set(property.code, true);
                break;
            case TrackValueType::date:
                if (const std::optional<PropertyList::Date> date = value->date())
                    track.set(property.code, static_cast<SInt64>(date->seconds) + kSecondsFrom1970To2001);
                break;
        }
    }
    return track;
}

std::optional<LibraryPlaylist> readPlaylist(const OrderedPropertyList& entry) {
    if (!entry.dictionary()) return std::nullopt;
    const OrderedPropertyList& dictionary = entry;
    LibraryPlaylist playlist;
    if (const OrderedPropertyList* name = field(dictionary, "Name"); name && name->string())
        playlist.name = *name->string();
    if (const OrderedPropertyList* id = field(dictionary, "Playlist ID")) {
        const std::optional<int64_t> number = id->integer();
        if (number && *number > 0 && *number <= std::numeric_limits<SInt32>::max())
            playlist.playlistID = static_cast<SInt32>(*number);
    }
    playlist.persistentID = persistentIDField(dictionary, "Playlist Persistent ID").value_or(0);
    playlist.parentPersistentID = persistentIDField(dictionary, "Parent Persistent ID");
    const OrderedPropertyList* distinguished = field(dictionary, "Distinguished Kind");
    const OrderedPropertyList* smartInfo = field(dictionary, "Smart Info");
    if (flagField(dictionary, "Master")) {
        playlist.kind = PlaylistKind::library;
    } else if (flagField(dictionary, "Folder")) {
        playlist.kind = PlaylistKind::folder;
    } else if (distinguished && distinguished->integer()) {
        playlist.kind = PlaylistKind::special;
        playlist.distinguishedKind = static_cast<SInt32>(*distinguished->integer());
    } else if (smartInfo && smartInfo->data()) {
        playlist.kind = PlaylistKind::smart;
    }
    if (smartInfo && smartInfo->data()) playlist.smartInfo = *smartInfo->data();
    if (const OrderedPropertyList* criteria = field(dictionary, "Smart Criteria");
        criteria && criteria->data())
        playlist.smartCriteria = *criteria->data();
    if (const OrderedPropertyList* items = field(dictionary, "Playlist Items"); items && items->array()) {
        for (const OrderedPropertyList& item : *items->array()) {
            const OrderedPropertyList* id = item.objectForKey("Track ID");
            const std::optional<int64_t> trackID = id ? id->integer() : std::nullopt;
            if (trackID && *trackID > 0 && *trackID <= std::numeric_limits<SInt32>::max())
                playlist.items.push_back(static_cast<SInt32>(*trackID));
        }
    }
    return playlist;
}

PropertyList writeTrack(const LibraryTrack& track) {
    PropertyList::Dictionary dictionary;
    dictionary["Track ID"] = track.trackID;
    dictionary["Persistent ID"] = PersistentIDString(track.persistentID);
    dictionary["Track Type"] = "File";
    if (!track.location.empty()) dictionary["Location"] = track.location;
    for (const TrackProperty& property : TrackProperties()) {
        const auto found = track.values().find(property.code);
        if (found == track.values().end()) continue;
        const LibraryTrack::Value& value = found->second;
        switch (property.type) {
            case TrackValueType::text:
                if (const auto* text = std::get_if<std::string>(&value)) dictionary[property.key] = *text;
                break;
            case TrackValueType::integer:
                if (const auto* number = std::get_if<SInt64>(&value))
                    dictionary[property.key] = static_cast<long long>(*number);
                break;
            case TrackValueType::boolean:
                if (const auto* flag = std::get_if<bool>(&value); flag && *flag)
                    dictionary[property.key] = true;
                break;
            case TrackValueType::date:
                if (const auto* seconds = std::get_if<SInt64>(&value))
                    dictionary[property.key] =
                        PropertyList::Date{static_cast<double>(*seconds - kSecondsFrom1970To2001)};
                break;
        }
    }
    return dictionary;
}

PropertyList writePlaylist(const MusicLibrary& library, const LibraryPlaylist& playlist) {
    PropertyList::Dictionary dictionary;
    dictionary["Name"] = playlist.name;
    dictionary["Playlist ID"] = playlist.playlistID;
    dictionary["Playlist Persistent ID"] = PersistentIDString(playlist.persistentID);
    if (const LibraryPlaylist* parent = library.parentOf(playlist))
        dictionary["Parent Persistent ID"] = PersistentIDString(parent->persistentID);
    dictionary["All Items"] = true;
    switch (playlist.kind) {
        case PlaylistKind::library:
            dictionary["Master"] = true;
            dictionary["Visible"] = false;
            break;
        case PlaylistKind::folder:
            dictionary["Folder"] = true;
            break;
        case PlaylistKind::special:
            dictionary["Distinguished Kind"] = playlist.distinguishedKind;
            break;
        case PlaylistKind::plain:
        case PlaylistKind::smart:
            break;
    }
    if (!playlist.smartInfo.empty()) dictionary["Smart Info"] = playlist.smartInfo;
    if (!playlist.smartCriteria.empty()) dictionary["Smart Criteria"] = playlist.smartCriteria;
    PropertyList::Array items;
    for (const SInt32 id : library.tracksOf(playlist)) {
        // Built key by key: GCC 12 warns falsely on a variant copied out of an initializer list.
        PropertyList::Dictionary item;
        item.emplace("Track ID", PropertyList(static_cast<int64_t>(id)));
        items.emplace_back(std::move(item));
    }
    if (!items.empty()) dictionary["Playlist Items"] = std::move(items);
    return dictionary;
}

}  // namespace

std::string MusicLibraryFile::defaultPath() {
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/Music/iTunes/" + kFileName;
}

std::string MusicLibraryFile::artworkPath(UInt64 persistentID, size_t index) const {
    const std::filesystem::path folder = std::filesystem::path(fPath).parent_path() / kArtworkFolder;
    const std::string name =
        PersistentIDString(persistentID) + (index == 0 ? "" : "-" + std::to_string(index + 1));
    return (folder / (name + ".png")).string();
}

Result<MusicLibrary> MusicLibraryFile::libraryWithContents(const OrderedPropertyList& contents,
                                                           const std::string& source) {
    const bool isDictionary = contents.dictionary() != nullptr;
    const OrderedPropertyList* tracks = isDictionary ? field(contents, "Tracks") : nullptr;
    const OrderedPropertyList* playlists = isDictionary ? field(contents, "Playlists") : nullptr;
    if (!tracks || !tracks->dictionary() || (playlists && !playlists->array()))
        return Failure{"Not a music library (no \"Tracks\" dictionary): " + source};

    MusicLibrary library;
    library.libraryPersistentID = persistentIDField(contents, "Library Persistent ID").value_or(0);
    if (const OrderedPropertyList* folder = field(contents, "Music Folder"); folder && folder->string())
        library.musicFolder = *folder->string();
    for (const auto& [key, entry] : *tracks->dictionary()) {
        if (std::optional<LibraryTrack> track = readTrack(entry)) library.addTrack(std::move(*track));
    }
    if (playlists) {
        for (const OrderedPropertyList& entry : *playlists->array()) {
            if (std::optional<LibraryPlaylist> playlist = readPlaylist(entry))
                library.addPlaylist(std::move(*playlist));
        }
    }
    return library;
}

Result<MusicLibrary> MusicLibraryFile::libraryWithData(std::span<const uint8_t> bytes) {
    Result<OrderedPropertyList> read = readPropertyList(bytes);
    if (!read) return Failure{"Cannot read the music library: " + read.error()};
    return libraryWithContents(read.value(), "the data given");
}

Result<MusicLibrary> MusicLibraryFile::load() {
    fReadOnly = false;
    Result<MusicLibrary> library = read();
    if (!library) {
        // Whatever is there and could not be read is the user's, and stays as it is.
        std::error_code error;
        fReadOnly = std::filesystem::exists(fPath, error) || error;
        return library;
    }
    MusicLibrary& loaded = library.value();
    for (const SInt32 id : loaded.libraryPlaylist().items) {
        LibraryTrack& track = *loaded.track(id);
        for (size_t i = 0;; ++i) {
            std::optional<std::vector<uint8_t>> image = readFile(artworkPath(track.persistentID, i));
            if (!image) break;
            track.artwork.push_back(std::move(*image));
        }
    }
    return library;
}

Result<MusicLibrary> MusicLibraryFile::read() const {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(fPath, error);
    if (error) return Failure{"Cannot read the music library " + fPath + ": " + error.message()};
    if (size > kMaximumFileSize)
        return Failure{"Cannot read the music library " + fPath + ": the file is too large"};
    std::optional<std::vector<uint8_t>> bytes = readFile(fPath);
    if (!bytes) return Failure{"Cannot read the music library " + fPath};
    Result<OrderedPropertyList> contents = readPropertyList(*bytes);
    if (!contents) return Failure{"Cannot read the music library " + fPath + ": " + contents.error()};
    return libraryWithContents(contents.value(), fPath);
}

Result<void> MusicLibraryFile::save(const MusicLibrary& library,
                                    const std::string& applicationVersion) const {
    if (fReadOnly)
        return Failure{
            "The music library " + fPath +
            " could not be read when it was loaded; it is left as it is and changes are not saved"};
    PropertyList::Dictionary root;
    root["Major Version"] = 1;
    root["Minor Version"] = 1;
    if (!applicationVersion.empty()) root["Application Version"] = applicationVersion;
    root["Library Persistent ID"] = PersistentIDString(library.libraryPersistentID);
    if (!library.musicFolder.empty()) root["Music Folder"] = library.musicFolder;
    PropertyList::Dictionary tracks;
    for (const SInt32 id : library.libraryPlaylist().items) {
        if (const LibraryTrack* track = library.track(id)) tracks[std::to_string(id)] = writeTrack(*track);
    }
    root["Tracks"] = std::move(tracks);
    PropertyList::Array playlists;
    for (const LibraryPlaylist* playlist : library.playlists())
        playlists.push_back(writePlaylist(library, *playlist));
    root["Playlists"] = std::move(playlists);

    Result<PropertyList::Data> bytes =
        PropertyListSerialization::dataWithPropertyList(root, PropertyListFormat::XML);
    if (!bytes) return Failure{"Cannot write the music library: " + bytes.error()};
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(fPath).parent_path(), ignored);
    Result<void> written = AtomicFile::write(fPath, bytes.value());
    if (!written) return Failure{"Cannot save the music library: " + written.error()};

    // Artwork: each image file is rewritten only when it differs, and files beyond a track's
    // images are removed.
    const std::filesystem::path folder = std::filesystem::path(fPath).parent_path() / kArtworkFolder;
    for (const SInt32 id : library.libraryPlaylist().items) {
        const LibraryTrack* track = library.track(id);
        if (!track) continue;
        for (size_t i = 0; i < track->artwork.size(); ++i) {
            const std::string path = artworkPath(track->persistentID, i);
            if (readFile(path) == track->artwork[i]) continue;
            std::filesystem::create_directories(folder, ignored);
            Result<void> image = AtomicFile::write(path, track->artwork[i]);
            if (!image) return Failure{"Cannot save artwork: " + image.error()};
        }
        for (size_t i = track->artwork.size();; ++i) {
            if (!std::filesystem::remove(artworkPath(track->persistentID, i), ignored)) break;
        }
    }
    return {};
}

void MusicLibraryFile::saveOnChange(PlayerModel& model,
                                    std::function<void(const std::string&)> onError) const {
    model.setLibraryChangedHandler([file = *this, onError = std::move(onError)](const PlayerModel& changed) {
        if (file.readOnly()) return;  // said when it was loaded
        Result<void> saved = file.save(changed.library(), changed.profile().version());
        if (!saved && onError) onError(saved.error());
    });
}

}  // namespace player
