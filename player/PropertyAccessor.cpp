#include "player/PropertyAccessor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/AppleEvents/AECoercion.h"
#include "platform/AppleEvents/AETextEncoding.h"
#include "platform/Carbon/FileReference.h"
#include "player/PlayerModel.h"
#include "player/ScriptingCodes.h"

namespace player {

namespace {

// Seconds from 1904-01-01 (long date-times) to 1970-01-01.
constexpr SInt64 kSecondsFrom1904To1970 = 2082844800;

AEDesc textDesc(const std::string& text) {
    return AEDesc::makeData(typeUnicodeText, UTF16BytesFromUTF8(text));
}

AEDesc integerDesc(SInt64 value) {
    const auto clamped = static_cast<SInt32>(
        std::clamp<SInt64>(value, std::numeric_limits<SInt32>::min(), std::numeric_limits<SInt32>::max()));
    return AEDesc::makeData(typeSInt32, &clamped, sizeof clamped);
}

AEDesc codeDesc(DescType type, FourCharCode code) {
    return AEDesc::makeData(type, &code, sizeof code);
}

AEDesc missingValue() {
    return codeDesc(typeType, cMissingValue);
}

bool readInteger(const AEDesc& value, SInt64* result) {
    AEDesc coerced;
    if (AECoerceDesc(&value, typeSInt64, &coerced) != noErr || coerced.bytes().size() != sizeof(SInt64))
        return false;
    std::memcpy(result, coerced.bytes().data(), sizeof(SInt64));
    return true;
}

bool readText(const AEDesc& value, std::string* result) {
    AEDesc coerced;
    if (AECoerceDesc(&value, typeUTF8Text, &coerced) != noErr) return false;
    *result = std::string(coerced.bytes().begin(), coerced.bytes().end());
    return IsValidUTF8(*result);
}

bool readDate(const AEDesc& value, SInt64* secondsSince1970) {
    if (value.descriptorType != typeLongDateTime || value.bytes().size() != sizeof(SInt64)) return false;
    SInt64 since1904;
    std::memcpy(&since1904, value.bytes().data(), sizeof since1904);
    if (since1904 < std::numeric_limits<SInt64>::min() + kSecondsFrom1904To1970) return false;
    *secondsSince1970 = since1904 - kSecondsFrom1904To1970;
    return true;
}

// "3:07", or "1:02:03" from an hour on.
std::string timeText(SInt64 seconds) {
    char text[32];
    seconds = std::max<SInt64>(seconds, 0);
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

bool offeredAt(const TrackProperty& property, const VersionProfile& profile, bool writing) {
    switch (property.gate) {
        case TrackPropertyGate::always:
            return true;
        case TrackPropertyGate::lyrics:
            return profile.hasLyrics();
        case TrackPropertyGate::longDescription:
            return writing ? profile.writesLongDescription() : profile.readsLongDescription();
    }
    return false;
}

}  // namespace

OSStatus PropertyAccessor::get(const ObjectRef& object, DescType property, AEDesc* value) const {
    if (property == pClass) {
        *value = codeDesc(typeType, ClassOf(fModel, object));
        return noErr;
    }
    switch (object.kind) {
        case ObjectKind::application:
            return getApplication(property, value);
        case ObjectKind::playlist:
            return getPlaylist(object, property, value);
        case ObjectKind::track:
            return getTrack(object, property, value);
        case ObjectKind::artwork:
            return getArtwork(object, property, value);
    }
    return errAENoSuchObject;
}

OSStatus PropertyAccessor::referencedObjects(const ObjectRef& object, DescType property,
                                             std::vector<ObjectRef>* objects, bool* isList) const {
    const PlayerModel& model = fModel;
    objects->clear();
    *isList = false;
    if (object.kind == ObjectKind::application) {
        if (property == pCurrentTrack) {
            const LibraryTrack* track = model.currentTrack();
            const LibraryPlaylist* playlist = model.currentPlaylist();
            if (!track || !playlist) return errAENoSuchObject;
            objects->push_back(ObjectRef::track(playlist->playlistID, track->trackID));
            return noErr;
        }
        if (property == pCurrentPlaylist) {
            const LibraryPlaylist* playlist = model.currentPlaylist();
            if (!playlist) return errAENoSuchObject;
            objects->push_back(ObjectRef::playlist(playlist->playlistID));
            return noErr;
        }
        if (property == pSelection) {
            const SInt32 library = model.library().libraryPlaylist().playlistID;
            for (const SInt32 id : model.selection()) {
                if (model.library().track(id)) objects->push_back(ObjectRef::track(library, id));
            }
            *isList = true;
            return noErr;
        }
    }
    if (object.kind == ObjectKind::playlist && property == pParentPlaylist) {
        const LibraryPlaylist* playlist = model.library().playlist(object.playlistID);
        const LibraryPlaylist* parent = playlist ? model.library().parentOf(*playlist) : nullptr;
        if (!parent) return errAENoSuchObject;
        objects->push_back(ObjectRef::playlist(parent->playlistID));
        return noErr;
    }
    return errAENoSuchObject;
}

OSStatus PropertyAccessor::getApplication(DescType property, AEDesc* value) const {
    const PlayerModel& model = fModel;
    switch (property) {
        case pName:
            *value = textDesc(kPlayerName);
            return noErr;
        case pVersion: {
            const std::vector<uint8_t> record = model.profile().versionRecord();
            *value = AEDesc::makeData(typeVersion, record);
            return noErr;
        }
        case pSoundVolume:
            *value = integerDesc(model.volume());
            return noErr;
        case pPlayerPosition:
            if (!model.currentTrack()) return errAENoSuchObject;
            *value = integerDesc(model.positionMilliseconds() / 1000);
            return noErr;
        case pPlayerState:
            *value = codeDesc(typeEnumerated, PlayStateCode(model.playState()));
            return noErr;
        case pFixedIndexing:
            *value = integerDesc(model.fixedIndexing() ? 1 : 0);
            return noErr;
        default:
            break;
    }
    std::vector<ObjectRef> objects;
    bool isList = false;
    const OSStatus status = referencedObjects(ObjectRef::application(), property, &objects, &isList);
    if (status != noErr) return status;
    if (!isList) {
        *value = SpecifierFor(fModel, objects.front());
        return noErr;
    }
    AEDesc list = AEDesc::makeList();
    for (const ObjectRef& object : objects) list.put(0, SpecifierFor(fModel, object));
    *value = std::move(list);
    return noErr;
}

OSStatus PropertyAccessor::getPersistentID(UInt64 persistentID, DescType property, AEDesc* value) const {
    const VersionProfile& profile = fModel.profile();
    if (property == pPersistentIDString) {
        if (!profile.hasPersistentIDString()) return errAENoSuchObject;
        *value = textDesc(PersistentIDString(persistentID));
        return noErr;
    }
    if (!profile.hasPersistentID()) return errAENoSuchObject;
    if (profile.persistentIDIsText()) {
        *value = textDesc(PersistentIDString(persistentID));
    } else {
        *value = AEDesc::makeData(typeSInt64, &persistentID, sizeof persistentID);
    }
    return noErr;
}

OSStatus PropertyAccessor::getPlaylist(const ObjectRef& object, DescType property, AEDesc* value) const {
    const MusicLibrary& library = fModel.library();
    const LibraryPlaylist* playlist = library.playlist(object.playlistID);
    if (!playlist) return errAENoSuchObject;
    switch (property) {
        case pName:
            *value = textDesc(playlist->name);
            return noErr;
        case pSpecialKind:
            *value = codeDesc(typeEnumerated, playlist->specialKind(fModel.profile().noneKind()));
            return noErr;
        case pSmart:
            *value = integerDesc(playlist->isSmart() ? 1 : 0);
            return noErr;
        case pPersistentID:
        case pPersistentIDString:
            return getPersistentID(playlist->persistentID, property, value);
        case pIndex: {
            const std::vector<const LibraryPlaylist*> all = library.playlists();
            *value = integerDesc(std::find(all.begin(), all.end(), playlist) - all.begin() + 1);
            return noErr;
        }
        case pParentPlaylist: {
            const LibraryPlaylist* parent = library.parentOf(*playlist);
            if (!parent) return errAENoSuchObject;
            *value = SpecifierFor(fModel, ObjectRef::playlist(parent->playlistID));
            return noErr;
        }
        default:
            return errAENoSuchObject;
    }
}

OSStatus PropertyAccessor::getTrack(const ObjectRef& object, DescType property, AEDesc* value) const {
    const MusicLibrary& library = fModel.library();
    const LibraryTrack* track = library.track(object.trackID);
    if (!track) return errAENoSuchObject;
    if (const TrackProperty* entry = FindTrackProperty(property)) {
        if (!offeredAt(*entry, fModel.profile(), false)) return errAENoSuchObject;
        switch (entry->type) {
            case TrackValueType::text:
                *value = textDesc(track->text(property));
                break;
            case TrackValueType::integer:
                *value = integerDesc(track->integer(property) / entry->scale);
                break;
            case TrackValueType::boolean:
                *value = integerDesc(track->flag(property) ? 1 : 0);
                break;
            case TrackValueType::date: {
                const std::optional<SInt64> date = track->date(property);
                if (!date) {
                    *value = missingValue();
                    break;
                }
                const SInt64 since1904 = *date + kSecondsFrom1904To1970;
                *value = AEDesc::makeData(typeLongDateTime, &since1904, sizeof since1904);
                break;
            }
        }
        return noErr;
    }
    switch (property) {
        case pDatabaseID:
            *value = integerDesc(track->trackID);
            return noErr;
        case pPersistentID:
        case pPersistentIDString:
            return getPersistentID(track->persistentID, property, value);
        case pTime:
            *value = textDesc(timeText(track->durationMilliseconds() / 1000));
            return noErr;
        case pIndex: {
            const LibraryPlaylist* playlist = library.playlist(object.playlistID);
            if (!playlist) return errAENoSuchObject;
            const std::vector<SInt32> tracks = library.tracksOf(*playlist);
            const auto found = std::find(tracks.begin(), tracks.end(), track->trackID);
            if (found == tracks.end()) return errAENoSuchObject;
            *value = integerDesc(found - tracks.begin() + 1);
            return noErr;
        }
        case pLocation: {
            const std::string path = track->path();
            if (path.empty()) {
                *value = missingValue();
                return noErr;
            }
            // A file that is not there still has its path; device and inode are then 0.
            FSRef ref;
            if (FSPathMakeRef(path, &ref) != noErr) ref = FSRef{0, 0, path};
            *value = AEDesc::makeData(typeFSRef, FSRefData(ref));
            return noErr;
        }
        default:
            return errAENoSuchObject;
    }
}

OSStatus PropertyAccessor::getArtwork(const ObjectRef& object, DescType property, AEDesc* value) const {
    const LibraryTrack* track = fModel.library().track(object.trackID);
    if (!track || object.artworkIndex < 1 || static_cast<size_t>(object.artworkIndex) > track->artwork.size())
        return errAENoSuchObject;
    switch (property) {
        case pPictureData:
            *value = AEDesc::makeData(typePNG, track->artwork[static_cast<size_t>(object.artworkIndex - 1)]);
            return noErr;
        case pFormat:
            *value = codeDesc(typeType, typePNG);
            return noErr;
        default:
            return errAENoSuchObject;
    }
}

OSStatus PropertyAccessor::set(const ObjectRef& object, DescType property, const AEDesc& value,
                               bool* libraryChanged) {
    *libraryChanged = false;
    switch (object.kind) {
        case ObjectKind::application:
            return setApplication(property, value);
        case ObjectKind::playlist: {
            LibraryPlaylist* playlist = fModel.library().playlist(object.playlistID);
            if (!playlist) return errAENoSuchObject;
            if (property != pName || playlist->kind == PlaylistKind::library) return errAENotModifiable;
            std::string name;
            if (!readText(value, &name)) return errAEWrongDataType;
            playlist->name = std::move(name);
            *libraryChanged = true;
            return noErr;
        }
        case ObjectKind::track: {
            const OSStatus status = setTrack(object, property, value);
            *libraryChanged = status == noErr;
            return status;
        }
        case ObjectKind::artwork:
            break;
    }
    return errAENotModifiable;
}

OSStatus PropertyAccessor::setApplication(DescType property, const AEDesc& value) {
    SInt64 number = 0;
    switch (property) {
        case pSoundVolume:
            if (!readInteger(value, &number)) return errAEWrongDataType;
            fModel.setVolume(static_cast<SInt32>(std::clamp<SInt64>(number, 0, 100)));
            return noErr;
        case pPlayerPosition:
            if (!readInteger(value, &number)) return errAEWrongDataType;
            if (number < 0 || number > std::numeric_limits<SInt32>::max()) return errAEWriteDenied;
            return fModel.setPosition(number * 1000) ? OSStatus{noErr} : OSStatus{errAENoSuchObject};
        case pFixedIndexing:
            if (!readInteger(value, &number)) return errAEWrongDataType;
            fModel.setFixedIndexing(number != 0);
            return noErr;
        default:
            return errAENotModifiable;
    }
}

OSStatus PropertyAccessor::setTrack(const ObjectRef& object, DescType property, const AEDesc& value) {
    LibraryTrack* track = fModel.library().track(object.trackID);
    if (!track) return errAENoSuchObject;
    const TrackProperty* entry = FindTrackProperty(property);
    if (!entry) {
        const bool known = property == pDatabaseID || property == pPersistentID ||
                           property == pPersistentIDString || property == pTime || property == pIndex ||
                           property == pLocation;
        return known ? errAENotModifiable : errAENoSuchObject;
    }
    if (!offeredAt(*entry, fModel.profile(), true)) return errAENoSuchObject;
    if (!entry->writable) return errAENotModifiable;
    switch (entry->type) {
        case TrackValueType::text: {
            std::string text;
            if (!readText(value, &text)) return errAEWrongDataType;
            if (text.empty()) {
                track->clear(property);
            } else {
                track->set(property, std::move(text));
            }
            return noErr;
        }
        case TrackValueType::integer: {
            SInt64 number = 0;
            if (!readInteger(value, &number)) return errAEWrongDataType;
            if (number < entry->minimum || number > entry->maximum) return errAEWriteDenied;
            if (number == 0) {
                track->clear(property);
            } else {
                track->set(property, number * entry->scale);
            }
            return noErr;
        }
        case TrackValueType::boolean: {
            SInt64 number = 0;
            if (!readInteger(value, &number)) return errAEWrongDataType;
            track->setFlag(property, number != 0);
            return noErr;
        }
        case TrackValueType::date: {
            SInt64 seconds = 0;
            if (!readDate(value, &seconds)) return errAEWrongDataType;
            track->set(property, seconds);
            return noErr;
        }
    }
    return errAENotModifiable;
}

}  // namespace player
