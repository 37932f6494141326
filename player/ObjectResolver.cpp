#include "player/ObjectResolver.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>

#include "platform/AppleEvents/AECoercion.h"
#include "player/PlayerModel.h"
#include "player/PropertyAccessor.h"
#include "player/ScriptingCodes.h"

namespace player {

namespace {

constexpr int kMaximumDepth = 32;

constexpr DescType kPlaylistClasses[] = {cPlaylist, cLibraryPlaylist, cUserPlaylist, cFolderPlaylist};
constexpr DescType kTrackClasses[] = {cTrack, cFileTrack};
constexpr DescType kTextTypes[] = {typeChar, typeUTF8Text, typeUnicodeText};
constexpr DescType kNumberTypes[] = {typeSInt16, typeSInt32, typeSInt64, typeIEEE64BitFloatingPoint,
                                     typeBoolean};
constexpr DescType kCodeTypes[] = {typeEnumerated, typeType, typeKeyword, typeProperty};

template <typename Table>
bool contains(const Table& table, DescType type) {
    return std::find(std::begin(table), std::end(table), type) != std::end(table);
}

std::optional<FourCharCode> readCode(const AEDesc* desc, DescType type) {
    AEDesc coerced;
    if (!desc || AECoerceDesc(desc, type, &coerced) != noErr || coerced.bytes().size() != 4)
        return std::nullopt;
    FourCharCode code;
    std::memcpy(&code, coerced.bytes().data(), 4);
    return code;
}

template <typename T>
std::optional<T> readNumber(const AEDesc& desc, DescType type) {
    AEDesc coerced;
    if (AECoerceDesc(&desc, type, &coerced) != noErr || coerced.bytes().size() != sizeof(T))
        return std::nullopt;
    T value;
    std::memcpy(&value, coerced.bytes().data(), sizeof value);
    return value;
}

std::string lowered(const AEDesc& text) {
    AEDesc coerced;
    if (AECoerceDesc(&text, typeUTF8Text, &coerced) != noErr) return {};
    std::string result(coerced.bytes().begin(), coerced.bytes().end());
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// Equality as the player's comparisons see it: texts without regard to case, numbers by value
// whatever their type, codes by their four characters; anything else only when identical.
// A text never equals a number.
bool equalValues(const AEDesc& a, const AEDesc& b) {
    const DescType ta = a.descriptorType;
    const DescType tb = b.descriptorType;
    if (contains(kTextTypes, ta) && contains(kTextTypes, tb)) return lowered(a) == lowered(b);
    if (contains(kNumberTypes, ta) && contains(kNumberTypes, tb)) {
        const std::optional<SInt64> ia = readNumber<SInt64>(a, typeSInt64);
        const std::optional<SInt64> ib = readNumber<SInt64>(b, typeSInt64);
        if (ia && ib) return *ia == *ib;
        const std::optional<double> da = readNumber<double>(a, typeIEEE64BitFloatingPoint);
        const std::optional<double> db = readNumber<double>(b, typeIEEE64BitFloatingPoint);
        return da && db && *da == *db;
    }
    if (contains(kCodeTypes, ta) && contains(kCodeTypes, tb)) return a.bytes() == b.bytes();
    return a == b;
}

bool isSpecifier(const AEDesc& desc) {
    return (desc.kind() == AEDescKind::record && desc.descriptorType == typeObjectSpecifier) ||
           (desc.kind() == AEDescKind::data && desc.descriptorType == typeObjectBeingExamined);
}

}  // namespace

OSStatus ObjectResolver::resolve(const AEDesc& specifier, Resolution* result) const {
    return resolve(specifier, nullptr, 0, result);
}

OSStatus ObjectResolver::resolveObjects(const AEDesc& specifier, std::vector<ObjectRef>* objects,
                                        bool* isList) const {
    Resolution resolution;
    OSStatus status = resolve(specifier, nullptr, 0, &resolution);
    Resolution followed;
    if (status == noErr) status = follow(resolution, &followed);
    if (status != noErr) return status;
    *objects = std::move(followed.objects);
    *isList = followed.isList;
    return noErr;
}

OSStatus ObjectResolver::follow(const Resolution& resolution, Resolution* objects) const {
    objects->objects.clear();
    objects->property = 0;
    objects->isList = resolution.isList;
    if (resolution.property == 0) {
        objects->objects = resolution.objects;
        return noErr;
    }
    for (const ObjectRef& owner : resolution.objects) {
        std::vector<ObjectRef> referenced;
        bool isList = false;
        const OSStatus status =
            fProperties.referencedObjects(owner, resolution.property, &referenced, &isList);
        if (status != noErr) return status;
        objects->isList = objects->isList || isList;
        objects->objects.insert(objects->objects.end(), referenced.begin(), referenced.end());
    }
    return noErr;
}

OSStatus ObjectResolver::elements(const ObjectRef& container, DescType desiredClass,
                                  std::vector<ObjectRef>* result) const {
    result->clear();
    const MusicLibrary& library = fModel.library();
    switch (container.kind) {
        case ObjectKind::application:
            if (!contains(kPlaylistClasses, desiredClass)) return errAENoSuchObject;
            for (const LibraryPlaylist* playlist : library.playlists()) {
                const ObjectRef object = ObjectRef::playlist(playlist->playlistID);
                if (AnswersToClass(fModel, object, desiredClass)) result->push_back(object);
            }
            return noErr;
        case ObjectKind::playlist: {
            const LibraryPlaylist* playlist = library.playlist(container.playlistID);
            if (!playlist) return errAENoSuchObject;
            if (!contains(kTrackClasses, desiredClass)) return errAENoSuchObject;
            for (const SInt32 id : library.tracksOf(*playlist))
                result->push_back(ObjectRef::track(playlist->playlistID, id));
            return noErr;
        }
        case ObjectKind::track: {
            const LibraryTrack* track = library.track(container.trackID);
            if (!track || desiredClass != cArtwork) return errAENoSuchObject;
            for (size_t i = 1; i <= track->artwork.size(); ++i)
                result->push_back(
                    ObjectRef::artwork(container.playlistID, track->trackID, static_cast<SInt32>(i)));
            return noErr;
        }
        case ObjectKind::artwork:
            break;
    }
    return errAENoSuchObject;
}

OSStatus ObjectResolver::resolve(const AEDesc& specifier, const ObjectRef* examined, int depth,
                                 Resolution* result) const {
    *result = Resolution();
    if (depth > kMaximumDepth) return errAENotAnObjSpec;
    if (specifier.kind() == AEDescKind::data && specifier.descriptorType == typeNull) {
        result->objects.push_back(ObjectRef::application());
        return noErr;
    }
    if (specifier.kind() == AEDescKind::data && specifier.descriptorType == typeObjectBeingExamined) {
        if (!examined) return errAENotAnObjSpec;
        result->objects.push_back(*examined);
        return noErr;
    }
    if (specifier.kind() != AEDescKind::record || specifier.descriptorType != typeObjectSpecifier)
        return errAENotAnObjSpec;

    const std::optional<FourCharCode> desiredClass = readCode(specifier.find(keyAEDesiredClass), typeType);
    const std::optional<FourCharCode> form = readCode(specifier.find(keyAEKeyForm), typeEnumerated);
    const AEDesc* key = specifier.find(keyAEKeyData);
    const AEDesc* from = specifier.find(keyAEContainer);
    if (!desiredClass || !form || !key || !from) return errAENotAnObjSpec;

    Resolution owner;
    OSStatus status = resolve(*from, examined, depth + 1, &owner);
    Resolution container;
    if (status == noErr) status = follow(owner, &container);
    if (status != noErr) return status;

    switch (*form) {
        case formPropertyID: {
            const std::optional<FourCharCode> property = readCode(key, typeType);
            if (!property) return errAENotAnObjSpec;
            result->objects = std::move(container.objects);
            result->isList = container.isList;
            result->property = *property;
            return noErr;
        }
        case formAbsolutePosition:
            return resolveIndex(*key, *desiredClass, container, result);
        case formTest:
            return resolveTest(*key, *desiredClass, container, depth, result);
        case formUniqueID: {
            const std::optional<SInt64> id = readNumber<SInt64>(*key, typeSInt64);
            if (!id) return errAENotAnObjSpec;
            result->isList = container.isList;
            for (const ObjectRef& object : container.objects) {
                std::vector<ObjectRef> candidates;
                if ((status = elements(object, *desiredClass, &candidates)) != noErr) return status;
                const auto found =
                    std::find_if(candidates.begin(), candidates.end(), [&](const ObjectRef& c) {
                        return (c.kind == ObjectKind::playlist ? c.playlistID : c.trackID) == *id &&
                               c.kind != ObjectKind::artwork;
                    });
                if (found == candidates.end()) return errAENoSuchObject;
                result->objects.push_back(*found);
            }
            return noErr;
        }
        default:
            return errAEBadKeyForm;
    }
}

OSStatus ObjectResolver::resolveIndex(const AEDesc& key, DescType desiredClass, const Resolution& container,
                                      Resolution* result) const {
    // Picks one or all of the candidates by the key.
    const auto pick = [&](const std::vector<ObjectRef>& candidates, bool* all) -> OSStatus {
        *all = false;
        if (key.descriptorType == typeAbsoluteOrdinal) {
            std::optional<FourCharCode> ordinal;
            if (key.bytes().size() == 4) {
                FourCharCode code;
                std::memcpy(&code, key.bytes().data(), 4);
                ordinal = code;
            }
            if (ordinal == kAEAll) {
                *all = true;
                result->objects.insert(result->objects.end(), candidates.begin(), candidates.end());
                return noErr;
            }
            if (ordinal != kAEAny && ordinal != kAEFirst && ordinal != kAELast) return errAEBadKeyForm;
            if (candidates.empty()) return errAENoSuchObject;
            result->objects.push_back(ordinal == kAELast ? candidates.back() : candidates.front());
            return noErr;
        }
        const std::optional<SInt64> index = readNumber<SInt64>(key, typeSInt64);
        if (!index) return errAENotAnObjSpec;
        const auto size = static_cast<SInt64>(candidates.size());
        const SInt64 position = *index > 0 ? *index - 1 : size + *index;
        if (*index == 0 || position < 0 || position >= size) return errAENoSuchObject;
        result->objects.push_back(candidates[static_cast<size_t>(position)]);
        return noErr;
    };

    const bool pickWithinSet =
        container.isList &&
        std::all_of(container.objects.begin(), container.objects.end(),
                    [&](const ObjectRef& o) { return AnswersToClass(fModel, o, desiredClass); });
    bool all = false;
    if (pickWithinSet) {
        const OSStatus status = pick(container.objects, &all);
        result->isList = all;
        return status;
    }
    for (const ObjectRef& object : container.objects) {
        std::vector<ObjectRef> candidates;
        OSStatus status = elements(object, desiredClass, &candidates);
        if (status == noErr) status = pick(candidates, &all);
        if (status != noErr) return status;
    }
    result->isList = all || container.isList;
    return noErr;
}

OSStatus ObjectResolver::resolveTest(const AEDesc& key, DescType desiredClass, const Resolution& container,
                                     int depth, Resolution* result) const {
    if (key.kind() != AEDescKind::record || key.descriptorType != typeCompDescriptor) return errAEBadKeyForm;
    result->isList = true;
    for (const ObjectRef& object : container.objects) {
        std::vector<ObjectRef> candidates;
        OSStatus status = elements(object, desiredClass, &candidates);
        if (status != noErr) return status;
        for (const ObjectRef& candidate : candidates) {
            bool holds = false;
            if ((status = test(key, candidate, depth, &holds)) != noErr) return status;
            if (holds) result->objects.push_back(candidate);
        }
    }
    return noErr;
}

OSStatus ObjectResolver::test(const AEDesc& comparison, const ObjectRef& examined, int depth,
                              bool* holds) const {
    const std::optional<FourCharCode> relation = readCode(comparison.find(keyAECompOperator), typeEnumerated);
    const AEDesc* first = comparison.find(keyAEObject1);
    const AEDesc* second = comparison.find(keyAEObject2);
    if (!relation || !first || !second) return errAENotAnObjSpec;
    if (*relation != kAEEquals) return errAEBadKeyForm;
    AEDesc a;
    AEDesc b;
    OSStatus status = operand(*first, examined, depth, &a);
    if (status == noErr) status = operand(*second, examined, depth, &b);
    // An object without the property compared simply does not match.
    if (status == errAENoSuchObject) {
        *holds = false;
        return noErr;
    }
    if (status != noErr) return status;
    *holds = equalValues(a, b);
    return noErr;
}

OSStatus ObjectResolver::operand(const AEDesc& operand, const ObjectRef& examined, int depth,
                                 AEDesc* value) const {
    if (!isSpecifier(operand)) {
        *value = operand.clone();
        return noErr;
    }
    Resolution resolution;
    const OSStatus status = resolve(operand, &examined, depth + 1, &resolution);
    if (status != noErr) return status;
    if (resolution.objects.size() != 1 || resolution.isList) return errAENoSuchObject;
    if (resolution.property == 0) {
        *value = SpecifierFor(fModel, resolution.objects.front());
        return noErr;
    }
    return fProperties.get(resolution.objects.front(), resolution.property, value);
}

}  // namespace player
