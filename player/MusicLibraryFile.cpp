#include "player/MusicLibraryFile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "platform/Foundation/AtomicFile.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "player/PlayerModel.h"
#include "player/XMLPropertyListReader.h"
#include "player/XMLPropertyListWriter.h"

namespace player {

namespace {

using Dictionary = OrderedPropertyList::Dictionary;

// Seconds from 1970-01-01 to 2001-01-01, the epoch of property-list dates.
constexpr SInt64 kSecondsFrom1970To2001 = 978307200;

// Library files of real players run to tens of megabytes; beyond this one is refused unread.
constexpr std::uintmax_t kMaximumFileSize = std::uintmax_t{512} << 20;

const OrderedPropertyList* field(const OrderedPropertyList& dictionary, const char* key) {
    return dictionary.objectForKey(key);
}

std::optional<UInt64> persistentIDOf(const OrderedPropertyList* value) {
    if (!value || !value->string()) return std::nullopt;
    return ParsePersistentID(*value->string());
}

std::optional<UInt64> persistentIDField(const OrderedPropertyList& dictionary, const char* key) {
    return persistentIDOf(field(dictionary, key));
}

bool flagField(const OrderedPropertyList& dictionary, const char* key) {
    const OrderedPropertyList* value = field(dictionary, key);
    return value && value->boolean().value_or(false);
}

// A track or playlist id: a positive 32-bit integer.
std::optional<SInt32> idOf(const OrderedPropertyList* value) {
    const std::optional<int64_t> number = value ? value->integer() : std::nullopt;
    if (!number || *number <= 0 || *number > std::numeric_limits<SInt32>::max()) return std::nullopt;
    return static_cast<SInt32>(*number);
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
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return std::nullopt;
    return bytes;
}

// The keys of a track dictionary the library models, besides the property table's.
enum class TrackKey { trackID, persistentID, location };

const std::unordered_map<std::string_view, const TrackProperty*>& propertiesByKey() {
    static const auto* table = [] {
        auto* map = new std::unordered_map<std::string_view, const TrackProperty*>;
        for (const TrackProperty& property : TrackProperties()) map->emplace(property.key, &property);
        return map;
    }();
    return *table;
}

// What a value of the file becomes in the track, or nullopt when it is none the track takes.
std::optional<LibraryTrack::Value> trackValue(const TrackProperty& property,
                                              const OrderedPropertyList& value) {
    switch (property.type) {
        case TrackValueType::text:
            if (value.string()) return *value.string();
            break;
        case TrackValueType::integer:
            if (const std::optional<int64_t> number = value.integer()) return SInt64{*number};
            break;
        case TrackValueType::boolean:
            // Only true is kept: false and absent read the same.
            if (value.boolean().value_or(false)) return true;
            break;
        case TrackValueType::date:
            if (const std::optional<PropertyList::Date> date = value.date())
                return static_cast<SInt64>(date->seconds) + kSecondsFrom1970To2001;
            break;
    }
    return std::nullopt;
}

std::optional<OrderedPropertyList> fileValue(const TrackProperty& property,
                                             const LibraryTrack::Value& value) {
    switch (property.type) {
        case TrackValueType::text:
            if (const auto* text = std::get_if<std::string>(&value)) return PropertyList(*text);
            break;
        case TrackValueType::integer:
            if (const auto* number = std::get_if<SInt64>(&value))
                return PropertyList(static_cast<long long>(*number));
            break;
        case TrackValueType::boolean:
            if (const auto* flag = std::get_if<bool>(&value); flag && *flag) return PropertyList(true);
            break;
        case TrackValueType::date:
            if (const auto* seconds = std::get_if<SInt64>(&value))
                return PropertyList(
                    PropertyList::Date{static_cast<double>(*seconds - kSecondsFrom1970To2001)});
            break;
    }
    return std::nullopt;
}

std::optional<LibraryTrack> readTrack(const OrderedPropertyList& entry) {
    const Dictionary* entries = entry.dictionary();
    if (!entries) return std::nullopt;
    const std::optional<SInt32> trackID = idOf(field(entry, "Track ID"));
    if (!trackID) return std::nullopt;
    LibraryTrack track;
    track.trackID = *trackID;
    track.persistentID = persistentIDField(entry, "Persistent ID").value_or(0);
    if (const OrderedPropertyList* location = field(entry, "Location"); location && location->string())
        track.location = *location->string();
    const auto& properties = propertiesByKey();
    for (const auto& [key, value] : *entries) {
        const auto found = properties.find(key);
        if (found == properties.end()) continue;
        if (std::optional<LibraryTrack::Value> taken = trackValue(*found->second, value))
            track.set(found->second->code, std::move(*taken));
    }
    return track;
}

std::optional<LibraryPlaylist> readPlaylist(const OrderedPropertyList& entry) {
    if (!entry.dictionary()) return std::nullopt;
    LibraryPlaylist playlist;
    if (const OrderedPropertyList* name = field(entry, "Name"); name && name->string())
        playlist.name = *name->string();
    playlist.playlistID = idOf(field(entry, "Playlist ID")).value_or(0);
    playlist.persistentID = persistentIDField(entry, "Playlist Persistent ID").value_or(0);
    playlist.parentPersistentID = persistentIDField(entry, "Parent Persistent ID");
    const OrderedPropertyList* distinguished = field(entry, "Distinguished Kind");
    const OrderedPropertyList* smartInfo = field(entry, "Smart Info");
    if (flagField(entry, "Master")) {
        playlist.kind = PlaylistKind::library;
    } else if (flagField(entry, "Folder")) {
        playlist.kind = PlaylistKind::folder;
    } else if (distinguished && distinguished->integer()) {
        playlist.kind = PlaylistKind::special;
        playlist.distinguishedKind = static_cast<SInt32>(*distinguished->integer());
    } else if (smartInfo && smartInfo->data()) {
        playlist.kind = PlaylistKind::smart;
    }
    if (smartInfo && smartInfo->data()) playlist.smartInfo = *smartInfo->data();
    if (const OrderedPropertyList* criteria = field(entry, "Smart Criteria"); criteria && criteria->data())
        playlist.smartCriteria = *criteria->data();
    if (const OrderedPropertyList* items = field(entry, "Playlist Items"); items && items->array()) {
        for (const OrderedPropertyList& item : *items->array()) {
            if (const std::optional<SInt32> id = idOf(item.objectForKey("Track ID")))
                playlist.items.push_back(*id);
        }
    }
    return playlist;
}

OrderedPropertyList itemsValue(const std::vector<SInt32>& ids) {
    OrderedPropertyList::Array items;
    items.reserve(ids.size());
    for (const SInt32 id : ids)
        items.emplace_back(
            Dictionary{{"Track ID", OrderedPropertyList(PropertyList(static_cast<int64_t>(id)))}});
    return items;
}

// Puts one value into a dictionary being written; nullopt leaves the key out.
void put(Dictionary& out, std::string key, std::optional<OrderedPropertyList> value) {
    if (value) out.emplace_back(std::move(key), std::move(*value));
}

std::optional<OrderedPropertyList> textValue(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return PropertyList(text);
}

std::optional<OrderedPropertyList> dataValue(const std::vector<uint8_t>& data) {
    if (data.empty()) return std::nullopt;
    return PropertyList(data);
}

}  // namespace

// What the file held when it was loaded, so that a save writes back as it was everything the
// library did not change: keys it does not model, values it did not touch, and the order of all.
struct MusicLibraryFile::Contents {
    struct Track {
        SInt32 trackID{0};  // 0: an entry the library could not take, written back as read
        UInt64 persistentID{0};
        std::string key;
        OrderedPropertyList value;
    };
    struct Playlist {
        SInt32 playlistID{0};  // 0: an entry the library could not take
        UInt64 persistentID{0};
        std::vector<SInt32> tracks;  // its tracks as loaded
        OrderedPropertyList value;
    };
    OrderedPropertyList root;  // "Tracks" and "Playlists" hold nothing here: their entries are below
    std::vector<Track> tracks;
    std::vector<Playlist> playlists;
};

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

Result<MusicLibrary> MusicLibraryFile::libraryWithContents(OrderedPropertyList contents,
                                                           const std::string& source, Contents* record) {
    Dictionary* root = contents.dictionary();
    Dictionary noEntries;
    OrderedPropertyList* tracks = nullptr;
    OrderedPropertyList* playlists = nullptr;
    for (auto& [key, value] : root ? *root : noEntries) {
        if (key == "Tracks" && !tracks) tracks = &value;
        if (key == "Playlists" && !playlists) playlists = &value;
    }
    if (!tracks || !tracks->dictionary() || (playlists && !playlists->array()))
        return Failure{"Not a music library (no \"Tracks\" dictionary): " + source};

    MusicLibrary library;
    library.libraryPersistentID = persistentIDField(contents, "Library Persistent ID").value_or(0);
    if (const OrderedPropertyList* folder = field(contents, "Music Folder"); folder && folder->string())
        library.musicFolder = *folder->string();
    for (auto& [key, entry] : *tracks->dictionary()) {
        Contents::Track read;
        if (std::optional<LibraryTrack> track = readTrack(entry)) {
            const LibraryTrack& added = library.addTrack(std::move(*track));
            read.trackID = added.trackID;
            read.persistentID = added.persistentID;
        }
        if (record) {
            read.key = std::move(key);
            read.value = std::move(entry);
            record->tracks.push_back(std::move(read));
        }
    }
    if (playlists) {
        std::unordered_set<const LibraryPlaylist*> taken;
        for (OrderedPropertyList& entry : *playlists->array()) {
            Contents::Playlist read;
            if (std::optional<LibraryPlaylist> playlist = readPlaylist(entry)) {
                // A second library playlist merges into the first; its entry is kept as read.
                const LibraryPlaylist& added = library.addPlaylist(std::move(*playlist));
                if (taken.insert(&added).second) {
                    read.playlistID = added.playlistID;
                    read.persistentID = added.persistentID;
                }
            }
            if (record) {
                read.value = std::move(entry);
                record->playlists.push_back(std::move(read));
            }
        }
    }
    if (record) {
        // A playlist's tracks are known once every playlist is there (a folder's are its children's).
        for (Contents::Playlist& read : record->playlists) {
            if (const LibraryPlaylist* playlist = library.playlist(read.playlistID))
                read.tracks = library.tracksOf(*playlist);
        }
        *tracks = Dictionary();
        if (playlists) *playlists = OrderedPropertyList::Array();
        record->root = std::move(contents);
    }
    return library;
}

Result<MusicLibrary> MusicLibraryFile::libraryWithData(std::span<const uint8_t> bytes) {
    Result<OrderedPropertyList> read = readPropertyList(bytes);
    if (!read) return Failure{"Cannot read the music library: " + read.error()};
    return libraryWithContents(std::move(read).value(), "the data given", nullptr);
}

Result<MusicLibrary> MusicLibraryFile::load() {
    fReadOnly = false;
    fContents.reset();
    auto record = std::make_shared<Contents>();
    Result<MusicLibrary> library = read(*record);
    if (!library) {
        // Whatever is there and could not be read is the user's, and stays as it is.
        std::error_code error;
        fReadOnly = std::filesystem::exists(fPath, error) || error;
        return library;
    }
    fContents = std::move(record);
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

Result<MusicLibrary> MusicLibraryFile::read(Contents& record) const {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(fPath, error);
    if (error) return Failure{"Cannot read the music library " + fPath + ": " + error.message()};
    if (size > kMaximumFileSize)
        return Failure{"Cannot read the music library " + fPath + ": the file is too large"};
    std::optional<std::vector<uint8_t>> bytes = readFile(fPath);
    if (!bytes) return Failure{"Cannot read the music library " + fPath};
    Result<OrderedPropertyList> contents = readPropertyList(*bytes);
    if (!contents) return Failure{"Cannot read the music library " + fPath + ": " + contents.error()};
    return libraryWithContents(std::move(contents).value(), fPath, &record);
}

namespace {

// A track's dictionary: each entry read is written back as it was unless the track's value for
// its key changed; values the file did not have follow.
OrderedPropertyList writeTrack(const LibraryTrack& track, const OrderedPropertyList* read) {
    Dictionary out;
    const auto& properties = propertiesByKey();
    std::vector<bool> done(TrackProperties().size());
    bool doneID = false, donePersistentID = false, doneLocation = false;
    const auto index = [](const TrackProperty* property) {
        return static_cast<size_t>(property - TrackProperties().data());
    };
    const auto current = [&](const TrackProperty& property) -> std::optional<OrderedPropertyList> {
        const auto found = track.values().find(property.code);
        if (found == track.values().end()) return std::nullopt;
        return fileValue(property, found->second);
    };
    if (read && read->dictionary()) {
        for (const auto& [key, value] : *read->dictionary()) {
            if (key == "Track ID") {
                doneID = true;
                out.emplace_back(
                    key, idOf(&value) == track.trackID
                             ? value
                             : OrderedPropertyList(PropertyList(static_cast<int64_t>(track.trackID))));
            } else if (key == "Persistent ID") {
                donePersistentID = true;
                out.emplace_back(
                    key, persistentIDOf(&value) == track.persistentID
                             ? value
                             : OrderedPropertyList(PropertyList(PersistentIDString(track.persistentID))));
            } else if (key == "Location") {
                doneLocation = true;
                if (value.string() && *value.string() == track.location)
                    out.emplace_back(key, value);
                else
                    put(out, key, textValue(track.location));
            } else if (const auto found = properties.find(key); found != properties.end()) {
                const TrackProperty& property = *found->second;
                done[index(&property)] = true;
                const auto now = track.values().find(property.code);
                const std::optional<LibraryTrack::Value> was = trackValue(property, value);
                if (now == track.values().end() ? !was : was == now->second)
                    out.emplace_back(key, value);
                else
                    put(out, key, current(property));
            } else {
                out.emplace_back(key, value);
            }
        }
    }
    if (!doneID) out.emplace(out.begin(), "Track ID", PropertyList(static_cast<int64_t>(track.trackID)));
    for (const TrackProperty& property : TrackProperties()) {
        if (!done[index(&property)]) put(out, property.key, current(property));
    }
    if (!donePersistentID)
        out.emplace_back("Persistent ID", PropertyList(PersistentIDString(track.persistentID)));
    if (!read) out.emplace_back("Track Type", PropertyList("File"));
    if (!doneLocation) put(out, "Location", textValue(track.location));
    return out;
}

// A folder's tracks in the order the file had them, those it did not list after.
std::vector<SInt32> inReadOrder(const std::vector<SInt32>& tracks, const OrderedPropertyList* readItems) {
    std::unordered_set<SInt32> remaining(tracks.begin(), tracks.end());
    std::vector<SInt32> ordered;
    ordered.reserve(tracks.size());
    if (readItems && readItems->array()) {
        for (const OrderedPropertyList& item : *readItems->array()) {
            const std::optional<SInt32> id = idOf(item.objectForKey("Track ID"));
            if (id && remaining.erase(*id)) ordered.push_back(*id);
        }
    }
    for (const SInt32 id : tracks) {
        if (remaining.erase(id)) ordered.push_back(id);
    }
    return ordered;
}

// A playlist's dictionary, written back as read (readTracks: its tracks when loaded) except
// where the playlist changed.
OrderedPropertyList writePlaylist(const MusicLibrary& library, const LibraryPlaylist& playlist,
                                  const OrderedPropertyList* read, const std::vector<SInt32>* readTracks) {
    const LibraryPlaylist* parent = library.parentOf(playlist);
    const std::vector<SInt32> tracks = library.tracksOf(playlist);
    const auto items = [&](const OrderedPropertyList* readItems) -> std::optional<OrderedPropertyList> {
        if (tracks.empty()) return std::nullopt;
        return itemsValue(playlist.isFolder() ? inReadOrder(tracks, readItems) : tracks);
    };
    const auto parentValue = [&]() -> std::optional<OrderedPropertyList> {
        if (!parent) return std::nullopt;
        return PropertyList(PersistentIDString(parent->persistentID));
    };
    Dictionary out;
    if (!read || !read->dictionary()) {
        out.emplace_back("Name", PropertyList(playlist.name));
        out.emplace_back("Playlist ID", PropertyList(static_cast<int64_t>(playlist.playlistID)));
        out.emplace_back("Playlist Persistent ID", PropertyList(PersistentIDString(playlist.persistentID)));
        put(out, "Parent Persistent ID", parentValue());
        out.emplace_back("All Items", PropertyList(true));
        switch (playlist.kind) {
            case PlaylistKind::library:
                out.emplace_back("Master", PropertyList(true));
                out.emplace_back("Visible", PropertyList(false));
                break;
            case PlaylistKind::folder:
                out.emplace_back("Folder", PropertyList(true));
                break;
            case PlaylistKind::special:
                out.emplace_back("Distinguished Kind",
                                 PropertyList(static_cast<int64_t>(playlist.distinguishedKind)));
                break;
            case PlaylistKind::plain:
            case PlaylistKind::smart:
                break;
        }
        put(out, "Smart Info", dataValue(playlist.smartInfo));
        put(out, "Smart Criteria", dataValue(playlist.smartCriteria));
        put(out, "Playlist Items", items(nullptr));
        return out;
    }
    // The kind a playlist has never changes: "Master", "Folder" and "Distinguished Kind" stay as read.
    bool doneName = false, doneID = false, donePersistentID = false, doneParent = false, doneInfo = false,
         doneCriteria = false, doneItems = false;
    for (const auto& [key, value] : *read->dictionary()) {
        if (key == "Name") {
            doneName = true;
            out.emplace_back(key, value.string() && *value.string() == playlist.name
                                      ? value
                                      : OrderedPropertyList(PropertyList(playlist.name)));
        } else if (key == "Playlist ID") {
            doneID = true;
            out.emplace_back(
                key, idOf(&value) == playlist.playlistID
                         ? value
                         : OrderedPropertyList(PropertyList(static_cast<int64_t>(playlist.playlistID))));
        } else if (key == "Playlist Persistent ID") {
            donePersistentID = true;
            out.emplace_back(
                key, persistentIDOf(&value) == playlist.persistentID
                         ? value
                         : OrderedPropertyList(PropertyList(PersistentIDString(playlist.persistentID))));
        } else if (key == "Parent Persistent ID") {
            doneParent = true;
            if (persistentIDOf(&value) == playlist.parentPersistentID)
                out.emplace_back(key, value);
            else
                put(out, key, parentValue());
        } else if (key == "Smart Info" || key == "Smart Criteria") {
            (key == "Smart Info" ? doneInfo : doneCriteria) = true;
            const std::vector<uint8_t>& now =
                key == "Smart Info" ? playlist.smartInfo : playlist.smartCriteria;
            if (value.data() ? *value.data() == now : now.empty())
                out.emplace_back(key, value);
            else
                put(out, key, dataValue(now));
        } else if (key == "Playlist Items") {
            doneItems = true;
            if (readTracks && tracks == *readTracks)
                out.emplace_back(key, value);
            else
                put(out, key, items(&value));
        } else {
            out.emplace_back(key, value);
        }
    }
    if (!doneName) out.emplace_back("Name", PropertyList(playlist.name));
    if (!doneID) out.emplace_back("Playlist ID", PropertyList(static_cast<int64_t>(playlist.playlistID)));
    if (!donePersistentID)
        out.emplace_back("Playlist Persistent ID", PropertyList(PersistentIDString(playlist.persistentID)));
    if (!doneParent) put(out, "Parent Persistent ID", parentValue());
    if (!doneInfo) put(out, "Smart Info", dataValue(playlist.smartInfo));
    if (!doneCriteria) put(out, "Smart Criteria", dataValue(playlist.smartCriteria));
    if (!doneItems) put(out, "Playlist Items", items(nullptr));
    return out;
}

}  // namespace

OrderedPropertyList MusicLibraryFile::contentsOf(const MusicLibrary& library,
                                                 const std::string& applicationVersion) const {
    const Contents* read = fContents.get();

    // Each track under its id; an entry kept as read cannot keep a key a track now has.
    std::unordered_set<std::string> trackKeys;
    for (const SInt32 id : library.libraryPlaylist().items) trackKeys.insert(std::to_string(id));
    Dictionary tracks;
    std::unordered_set<SInt32> written;
    tracks.reserve(library.trackCount() + (read ? read->tracks.size() : 0));
    if (read) {
        for (const Contents::Track& entry : read->tracks) {
            const LibraryTrack* track = entry.trackID ? library.track(entry.trackID) : nullptr;
            if (track && track->persistentID == entry.persistentID && written.insert(track->trackID).second)
                tracks.emplace_back(std::to_string(track->trackID), writeTrack(*track, &entry.value));
            else if (!entry.trackID && !trackKeys.count(entry.key))
                tracks.emplace_back(entry.key, entry.value);
        }
    }
    for (const SInt32 id : library.libraryPlaylist().items) {
        if (written.count(id)) continue;
        if (const LibraryTrack* track = library.track(id))
            tracks.emplace_back(std::to_string(id), writeTrack(*track, nullptr));
    }

    OrderedPropertyList::Array playlists;
    std::unordered_set<const LibraryPlaylist*> done;
    const LibraryPlaylist& libraryPlaylist = library.libraryPlaylist();
    const bool libraryRead =
        read && std::any_of(read->playlists.begin(), read->playlists.end(), [&](const auto& p) {
            return p.playlistID == libraryPlaylist.playlistID &&
                   p.persistentID == libraryPlaylist.persistentID;
        });
    if (!libraryRead) {
        playlists.push_back(writePlaylist(library, libraryPlaylist, nullptr, nullptr));
        done.insert(&libraryPlaylist);
    }
    if (read) {
        for (const Contents::Playlist& entry : read->playlists) {
            const LibraryPlaylist* playlist = entry.playlistID ? library.playlist(entry.playlistID) : nullptr;
            if (playlist && playlist->persistentID == entry.persistentID && done.insert(playlist).second)
                playlists.push_back(writePlaylist(library, *playlist, &entry.value, &entry.tracks));
            else if (!entry.playlistID)
                playlists.push_back(entry.value);
        }
    }
    for (const LibraryPlaylist* playlist : library.playlists()) {
        if (done.insert(playlist).second)
            playlists.push_back(writePlaylist(library, *playlist, nullptr, nullptr));
    }

    Dictionary root;
    bool doneVersion = false, donePersistentID = false, doneFolder = false, doneTracks = false,
         donePlaylists = false;
    if (read && read->root.dictionary()) {
        for (const auto& [key, value] : *read->root.dictionary()) {
            if (key == "Application Version") {
                doneVersion = true;
                root.emplace_back(key, applicationVersion.empty() ? value : PropertyList(applicationVersion));
            } else if (key == "Library Persistent ID") {
                donePersistentID = true;
                root.emplace_back(key, persistentIDOf(&value) == library.libraryPersistentID
                                           ? value
                                           : PropertyList(PersistentIDString(library.libraryPersistentID)));
            } else if (key == "Music Folder") {
                doneFolder = true;
                if (value.string() && *value.string() == library.musicFolder)
                    root.emplace_back(key, value);
                else
                    put(root, key, textValue(library.musicFolder));
            } else if (key == "Tracks" && !doneTracks) {
                doneTracks = true;
                root.emplace_back(key, std::move(tracks));
            } else if (key == "Playlists" && !donePlaylists) {
                donePlaylists = true;
                root.emplace_back(key, std::move(playlists));
            } else {
                root.emplace_back(key, value);
            }
        }
    } else {
        root.emplace_back("Major Version", PropertyList(1));
        root.emplace_back("Minor Version", PropertyList(1));
    }
    if (!doneVersion) put(root, "Application Version", textValue(applicationVersion));
    if (!donePersistentID)
        root.emplace_back("Library Persistent ID",
                          PropertyList(PersistentIDString(library.libraryPersistentID)));
    if (!doneFolder) put(root, "Music Folder", textValue(library.musicFolder));
    if (!doneTracks) root.emplace_back("Tracks", std::move(tracks));
    if (!donePlaylists) root.emplace_back("Playlists", std::move(playlists));
    return root;
}

Result<void> MusicLibraryFile::save(const MusicLibrary& library,
                                    const std::string& applicationVersion) const {
    if (fReadOnly)
        return Failure{
            "The music library " + fPath +
            " could not be read when it was loaded; it is left as it is and changes are not saved"};
    Result<std::vector<uint8_t>> bytes =
        XMLPropertyListWriter::write(contentsOf(library, applicationVersion));
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
