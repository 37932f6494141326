#include "player/EventDispatcher.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "platform/AppleEvents/AECoercion.h"
#include "platform/AppleEvents/AETextEncoding.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/Carbon/FileReference.h"
#include "player/PlayerModel.h"
#include "player/ScriptingCodes.h"

namespace player {

namespace {

struct Command {
    AEEventID eventID;
    void (PlayerModel::*action)();
};

constexpr Command kCommands[] = {
    {kPause, &PlayerModel::pause},
    {kPlayPause, &PlayerModel::playPause},
    {kStop, &PlayerModel::stop},
    {kNextTrack, &PlayerModel::nextTrack},
    {kPreviousTrack, &PlayerModel::previousTrack},
    {kBackTrack, &PlayerModel::backTrack},
    {kFastForward, &PlayerModel::fastForward},
    {kRewind, &PlayerModel::rewind},
    {kResume, &PlayerModel::resume},
};

// What a search looks at, by the area asked for ('kAll' when none is).
struct SearchArea {
    DescType area;
    DescType fields[5];
};

constexpr DescType kNoField = 0;
constexpr SearchArea kSearchAreas[] = {
    {fourCC("kAll"), {fourCC("pnam"), fourCC("pArt"), fourCC("pAlb"), fourCC("pCmp"), fourCC("pGen")}},
    {fourCC("kSrL"), {fourCC("pAlb"), kNoField, kNoField, kNoField, kNoField}},
    {fourCC("kSrR"), {fourCC("pArt"), kNoField, kNoField, kNoField, kNoField}},
    {fourCC("kSrC"), {fourCC("pCmp"), kNoField, kNoField, kNoField, kNoField}},
    {fourCC("kSrS"), {fourCC("pnam"), kNoField, kNoField, kNoField, kNoField}},
    {fourCC("kSrV"), {fourCC("pnam"), fourCC("pArt"), fourCC("pAlb"), kNoField, kNoField}},
};

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::optional<std::string> readText(const AEDesc& desc) {
    AEDesc coerced;
    if (AECoerceDesc(&desc, typeUTF8Text, &coerced) != noErr) return std::nullopt;
    return std::string(coerced.bytes().begin(), coerced.bytes().end());
}

std::optional<FourCharCode> readCode(const AEDesc& desc, DescType type) {
    AEDesc coerced;
    if (AECoerceDesc(&desc, type, &coerced) != noErr || coerced.bytes().size() != 4) return std::nullopt;
    FourCharCode code;
    std::memcpy(&code, coerced.bytes().data(), 4);
    return code;
}

std::optional<std::string> pathOfFile(const AEDesc& file) {
    const std::vector<uint8_t>& bytes = file.bytes();
    if (file.kind() != AEDescKind::data) return std::nullopt;
    if (file.descriptorType == typeAlias) return PathFromAliasData(bytes.data(), bytes.size());
    if (file.descriptorType == typeFSRef) {
        const std::optional<FSRef> ref = FSRefFromData(bytes.data(), bytes.size());
        if (ref) return ref->path;
    }
    return std::nullopt;
}

AEDesc specifierList(const PlayerModel& model, const std::vector<ObjectRef>& objects) {
    AEDesc list = AEDesc::makeList();
    for (const ObjectRef& object : objects) list.put(0, SpecifierFor(model, object));
    return list;
}

}  // namespace

const EventDispatcher::Route EventDispatcher::kRoutes[] = {
    {kCoreEventClass, kAEGetData, &EventDispatcher::getData},
    {kCoreEventClass, kAESetData, &EventDispatcher::setData},
    {kCoreEventClass, kAECountElements, &EventDispatcher::countElements},
    {kCoreEventClass, kAEDelete, &EventDispatcher::deleteObjects},
    {kPlayerSuite, kPlay, &EventDispatcher::play},
    {kPlayerSuite, kPause, &EventDispatcher::command},
    {kPlayerSuite, kPlayPause, &EventDispatcher::command},
    {kPlayerSuite, kStop, &EventDispatcher::command},
    {kPlayerSuite, kNextTrack, &EventDispatcher::command},
    {kPlayerSuite, kPreviousTrack, &EventDispatcher::command},
    {kPlayerSuite, kBackTrack, &EventDispatcher::command},
    {kPlayerSuite, kFastForward, &EventDispatcher::command},
    {kPlayerSuite, kRewind, &EventDispatcher::command},
    {kPlayerSuite, kResume, &EventDispatcher::command},
    {kPlayerSuite, kSearch, &EventDispatcher::search},
    {kPlayerSuite, kAdd, &EventDispatcher::add},
    {kPlayerSuite, kGenreList, &EventDispatcher::genreList},
    {kPlayerSuite, kShowInfo, &EventDispatcher::showInfo},
};

EventDispatcher::EventDispatcher(PlayerModel& model)
    : fModel(model), fProperties(model), fResolver(model, fProperties) {}

AEEventHandler EventDispatcher::handler() {
    return [this](const AppleEvent& event, AppleEvent& reply) { return handle(event, reply); };
}

OSStatus EventDispatcher::handle(const AppleEvent& event, AppleEvent& reply) {
    const AEEventHeader* header = event.event();
    if (!header) return errAENotAppleEvent;
    fModel.update();
    OSStatus status = errAEEventNotHandled;
    for (const Route& route : kRoutes) {
        if (route.eventClass == header->eventClass && route.eventID == header->eventID) {
            status = (this->*route.method)(event, reply);
            break;
        }
    }
    if (status != noErr) AEDeleteParam(&reply, keyDirectObject);
    fLog.record(event, status);
    return status;
}

OSStatus EventDispatcher::getData(const AppleEvent& event, AppleEvent& reply) {
    AEDesc specifier;
    if (AEGetParamDesc(&event, keyDirectObject, typeWildCard, &specifier) != noErr) return errAEParamMissed;
    Resolution resolution;
    OSStatus status = fResolver.resolve(specifier, &resolution);
    if (status != noErr) return status;
    if (resolution.objects.empty() && !resolution.isList) return errAENoSuchObject;
    if (resolution.property == 0) {
        if (resolution.isList) {
            const AEDesc list = specifierList(fModel, resolution.objects);
            return AEPutParamDesc(&reply, keyDirectObject, &list);
        }
        const AEDesc result = SpecifierFor(fModel, resolution.objects.front());
        return AEPutParamDesc(&reply, keyDirectObject, &result);
    }
    AEDesc list = AEDesc::makeList();
    for (const ObjectRef& object : resolution.objects) {
        AEDesc value;
        if ((status = fProperties.get(object, resolution.property, &value)) != noErr) return status;
        if (!resolution.isList) return AEPutParamDesc(&reply, keyDirectObject, &value);
        list.put(0, std::move(value));
    }
    return AEPutParamDesc(&reply, keyDirectObject, &list);
}

OSStatus EventDispatcher::setData(const AppleEvent& event, AppleEvent&) {
    AEDesc specifier;
    AEDesc value;
    if (AEGetParamDesc(&event, keyDirectObject, typeWildCard, &specifier) != noErr ||
        AEGetParamDesc(&event, keyAEData, typeWildCard, &value) != noErr)
        return errAEParamMissed;
    Resolution resolution;
    OSStatus status = fResolver.resolve(specifier, &resolution);
    if (status != noErr) return status;
    if (resolution.property == 0) return errAENotModifiable;
    bool changed = false;
    for (const ObjectRef& object : resolution.objects) {
        bool libraryChanged = false;
        status = fProperties.set(object, resolution.property, value, &libraryChanged);
        changed = changed || libraryChanged;
        if (status != noErr) break;
    }
    if (changed) fModel.libraryChanged();
    return status;
}

OSStatus EventDispatcher::countElements(const AppleEvent& event, AppleEvent& reply) {
    AEDesc container;
    AEDesc classDesc;
    if (AEGetParamDesc(&event, keyDirectObject, typeWildCard, &container) != noErr ||
        AEGetParamDesc(&event, keyAEObjectClass, typeWildCard, &classDesc) != noErr)
        return errAEParamMissed;
    const std::optional<FourCharCode> desiredClass = readCode(classDesc, typeType);
    if (!desiredClass) return errAEWrongDataType;
    std::vector<ObjectRef> containers;
    bool isList = false;
    OSStatus status = fResolver.resolveObjects(container, &containers, &isList);
    if (status != noErr) return status;
    SInt32 count = 0;
    for (const ObjectRef& object : containers) {
        std::vector<ObjectRef> elements;
        if ((status = fResolver.elements(object, *desiredClass, &elements)) != noErr) return status;
        count += static_cast<SInt32>(elements.size());
    }
    return AEPutParamPtr(&reply, keyDirectObject, typeSInt32, &count, sizeof count);
}

OSStatus EventDispatcher::playlistParameter(const AppleEvent& event, AEKeyword key,
                                            SInt32* playlistID) const {
    AEDesc specifier;
    if (AEGetParamDesc(&event, key, typeWildCard, &specifier) != noErr) return errAEDescNotFound;
    std::vector<ObjectRef> objects;
    bool isList = false;
    const OSStatus status = fResolver.resolveObjects(specifier, &objects, &isList);
    if (status != noErr) return status;
    if (objects.size() != 1 || objects.front().kind != ObjectKind::playlist) return errAENoSuchObject;
    *playlistID = objects.front().playlistID;
    return noErr;
}

OSStatus EventDispatcher::deleteObjects(const AppleEvent& event, AppleEvent&) {
    AEDesc specifier;
    if (AEGetParamDesc(&event, keyDirectObject, typeWildCard, &specifier) != noErr) return errAEParamMissed;
    SInt32 fromPlaylist = 0;
    OSStatus status = playlistParameter(event, keyAEInsertHere, &fromPlaylist);
    if (status != noErr && status != errAEDescNotFound) return status;
    Resolution resolution;
    if ((status = fResolver.resolve(specifier, &resolution)) != noErr) return status;
    if (resolution.property != 0) return errAENotModifiable;

    MusicLibrary& library = fModel.library();
    bool changed = false;
    // Artwork is removed from the highest index down, so earlier indexes stay valid.
    std::map<SInt32, std::vector<SInt32>> artwork;
    for (const ObjectRef& object : resolution.objects) {
        switch (object.kind) {
            case ObjectKind::application:
                status = errAENotModifiable;
                break;
            case ObjectKind::playlist:
                status = library.removePlaylist(object.playlistID) ? OSStatus{noErr}
                                                                   : OSStatus{errAENotModifiable};
                break;
            case ObjectKind::track: {
                LibraryPlaylist* playlist = library.playlist(fromPlaylist ? fromPlaylist : object.playlistID);
                if (!playlist) {
                    status = errAENoSuchObject;
                } else if (playlist->kind == PlaylistKind::library) {
                    library.removeTrack(object.trackID);
                } else if (!playlist->acceptsTracks()) {
                    status = errAENotModifiable;
                } else {
                    std::erase(playlist->items, object.trackID);
                }
                break;
            }
            case ObjectKind::artwork:
                artwork[object.trackID].push_back(object.artworkIndex);
                break;
        }
        if (status != noErr) break;
        changed = true;
    }
    for (auto& [trackID, indexes] : artwork) {
        LibraryTrack* track = library.track(trackID);
        if (!track) continue;
        std::sort(indexes.rbegin(), indexes.rend());
        for (const SInt32 index : indexes) {
            if (index >= 1 && static_cast<size_t>(index) <= track->artwork.size())
                track->artwork.erase(track->artwork.begin() + (index - 1));
        }
    }
    if (changed) fModel.libraryChanged();
    return status;
}

OSStatus EventDispatcher::trackForFile(const AEDesc& file, SInt32* trackID, bool* added) {
    *added = false;
    const std::optional<std::string> path = pathOfFile(file);
    if (!path || path->empty() || path->front() != '/') return errAEWrongDataType;
    const std::string location = FileURLFromPath(*path);
    MusicLibrary& library = fModel.library();
    if (const LibraryTrack* known = library.trackWithLocation(location)) {
        *trackID = known->trackID;
        return noErr;
    }
    FSRef ref;
    Boolean isDirectory = false;
    if (FSPathMakeRef(*path, &ref, &isDirectory) != noErr || isDirectory) return fnfErr;
    LibraryTrack track;
    track.location = location;
    std::string name = path->substr(path->find_last_of('/') + 1);
    if (const size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0) name.erase(dot);
    track.set(fourCC("pnam"), name);
    track.set(fourCC("pAdd"), static_cast<SInt64>(std::time(nullptr)));
    *trackID = library.addTrack(std::move(track)).trackID;
    *added = true;
    return noErr;
}

OSStatus EventDispatcher::play(const AppleEvent& event, AppleEvent&) {
    AEDesc target;
    if (AEGetParamDesc(&event, keyDirectObject, typeWildCard, &target) != noErr ||
        (target.kind() == AEDescKind::data && target.descriptorType == typeNull))
        return fModel.play() ? OSStatus{noErr} : OSStatus{errAENoSuchObject};
    if (target.descriptorType == typeAlias || target.descriptorType == typeFSRef) {
        SInt32 trackID = 0;
        bool added = false;
        const OSStatus status = trackForFile(target, &trackID, &added);
        if (status != noErr) return status;
        if (added) fModel.libraryChanged();
        fModel.playTrack(trackID, fModel.library().libraryPlaylist().playlistID);
        return noErr;
    }
    std::vector<ObjectRef> objects;
    bool isList = false;
    const OSStatus status = fResolver.resolveObjects(target, &objects, &isList);
    if (status != noErr) return status;
    if (objects.empty()) return errAENoSuchObject;
    const ObjectRef& object = objects.front();
    if (object.kind == ObjectKind::track)
        return fModel.playTrack(object.trackID, object.playlistID) ? OSStatus{noErr}
                                                                   : OSStatus{errAENoSuchObject};
    if (object.kind == ObjectKind::playlist) {
        const LibraryPlaylist* playlist = fModel.library().playlist(object.playlistID);
        const std::vector<SInt32> tracks =
            playlist ? fModel.library().tracksOf(*playlist) : std::vector<SInt32>();
        if (tracks.empty()) return errAENoSuchObject;
        fModel.playTrack(tracks.front(), object.playlistID);
        return noErr;
    }
    return errAENoSuchObject;
}

OSStatus EventDispatcher::command(const AppleEvent& event, AppleEvent&) {
    const AEEventID id = event.event()->eventID;
    for (const Command& command : kCommands) {
        if (command.eventID == id) {
            (fModel.*command.action)();
            return noErr;
        }
    }
    return errAEEventNotHandled;
}

OSStatus EventDispatcher::search(const AppleEvent& event, AppleEvent& reply) {
    SInt32 playlistID = 0;
    OSStatus status = playlistParameter(event, keyDirectObject, &playlistID);
    if (status == errAEDescNotFound) return errAEParamMissed;
    if (status != noErr) return status;
    AEDesc termDesc;
    if (AEGetParamDesc(&event, keySearchTerm, typeWildCard, &termDesc) != noErr) return errAEParamMissed;
    const std::optional<std::string> term = readText(termDesc);
    if (!term) return errAEWrongDataType;

    FourCharCode area = kSearchAreas[0].area;
    AEDesc areaDesc;
    if (AEGetParamDesc(&event, keySearchArea, typeWildCard, &areaDesc) == noErr) {
        const std::optional<FourCharCode> asked = readCode(areaDesc, typeEnumerated);
        if (!asked) return errAEWrongDataType;
        area = *asked;
    }
    const auto found = std::find_if(std::begin(kSearchAreas), std::end(kSearchAreas),
                                    [area](const SearchArea& a) { return a.area == area; });
    if (found == std::end(kSearchAreas)) return paramErr;

    // Every word of the text must appear in one of the fields searched.
    std::vector<std::string> words;
    std::istringstream stream(lowered(*term));
    for (std::string word; stream >> word;) words.push_back(word);

    std::vector<ObjectRef> matches;
    const MusicLibrary& library = fModel.library();
    const LibraryPlaylist& playlist = *library.playlist(playlistID);
    for (const SInt32 id : words.empty() ? std::vector<SInt32>() : library.tracksOf(playlist)) {
        const LibraryTrack& track = *library.track(id);
        const bool all = std::all_of(words.begin(), words.end(), [&](const std::string& word) {
            return std::any_of(std::begin(found->fields), std::end(found->fields), [&](DescType field) {
                return field != kNoField && lowered(track.text(field)).find(word) != std::string::npos;
            });
        });
        if (all) matches.push_back(ObjectRef::track(playlistID, id));
    }
    const AEDesc result = specifierList(fModel, matches);
    return AEPutParamDesc(&reply, keyDirectObject, &result);
}

OSStatus EventDispatcher::add(const AppleEvent& event, AppleEvent& reply) {
    AEDesc files;
    if (AEGetParamDesc(&event, keyDirectObject, typeWildCard, &files) != noErr) return errAEParamMissed;
    MusicLibrary& library = fModel.library();
    SInt32 playlistID = library.libraryPlaylist().playlistID;
    OSStatus status = playlistParameter(event, keyAEInsertHere, &playlistID);
    if (status != noErr && status != errAEDescNotFound) return status;
    if (!library.playlist(playlistID)->acceptsTracks()) return errAENotModifiable;

    AEDesc list;
    if ((status = AECoerceDesc(&files, typeAEList, &list)) != noErr) return status;
    std::vector<ObjectRef> tracks;
    bool changed = false;
    for (size_t i = 0; i < list.count() && status == noErr; ++i) {
        SInt32 trackID = 0;
        bool added = false;
        status = trackForFile(list.at(i), &trackID, &added);
        if (status != noErr) break;
        LibraryPlaylist& playlist = *library.playlist(playlistID);
        if (playlist.kind != PlaylistKind::library) playlist.items.push_back(trackID);
        changed = changed || added || playlist.kind != PlaylistKind::library;
        tracks.push_back(ObjectRef::track(playlistID, trackID));
    }
    if (changed) fModel.libraryChanged();
    if (status != noErr) return status;
    const AEDesc result = specifierList(fModel, tracks);
    return AEPutParamDesc(&reply, keyDirectObject, &result);
}

}  // namespace player

namespace player {

OSStatus EventDispatcher::genreList(const AppleEvent&, AppleEvent& reply) {
    const MusicLibrary& library = fModel.library();
    std::set<std::string> seen;
    AEDesc list = AEDesc::makeList();
    for (const SInt32 trackID : library.tracksOf(library.libraryPlaylist())) {
        const LibraryTrack* track = library.track(trackID);
        if (!track) continue;
        const std::string genre = track->genre();
        if (genre.empty() || !seen.insert(genre).second) continue;
        const std::vector<uint8_t> text = UTF16BytesFromUTF8(genre);
        list.put(0, AEDesc::makeData(typeUnicodeText, text));
    }
    return AEPutParamDesc(&reply, keyDirectObject, &list);
}

// The stand-in has no window to show: the request is answered and stays in the log.
OSStatus EventDispatcher::showInfo(const AppleEvent& event, AppleEvent&) {
    AEDesc specifier;
    if (AEGetParamDesc(&event, keyDirectObject, typeWildCard, &specifier) != noErr)
        return fModel.currentTrack() ? OSStatus{noErr} : OSStatus{errAENoSuchObject};
    std::vector<ObjectRef> objects;
    bool isList = false;
    if (OSStatus status = fResolver.resolveObjects(specifier, &objects, &isList); status != noErr)
        return status;
    const bool tracks =
        !objects.empty() && std::all_of(objects.begin(), objects.end(),
                                        [](const ObjectRef& o) { return o.kind == ObjectKind::track; });
    return tracks ? OSStatus{noErr} : OSStatus{errAENoSuchObject};
}

}  // namespace player
