#include "player/ObjectRef.h"

#include "player/PlayerModel.h"
#include "player/ScriptingCodes.h"

namespace player {

namespace {

AEDesc codeDesc(DescType type, FourCharCode code) {
    return AEDesc::makeData(type, &code, sizeof code);
}

AEDesc specifier(DescType desiredClass, DescType form, SInt32 key, AEDesc container) {
    AEDesc spec = AEDesc::makeRecord(typeObjectSpecifier);
    spec.put(keyAEDesiredClass, codeDesc(typeType, desiredClass));
    spec.put(keyAEKeyForm, codeDesc(typeEnumerated, form));
    spec.put(keyAEKeyData, AEDesc::makeData(typeSInt32, &key, sizeof key));
    spec.put(keyAEContainer, std::move(container));
    return spec;
}

}  // namespace

DescType ClassOf(const PlayerModel& model, const ObjectRef& object) {
    switch (object.kind) {
        case ObjectKind::application:
            return cApplication;
        case ObjectKind::playlist: {
            const LibraryPlaylist* playlist = model.library().playlist(object.playlistID);
            return playlist ? playlist->scriptingClass() : cPlaylist;
        }
        case ObjectKind::track:
            return cFileTrack;
        case ObjectKind::artwork:
            return cArtwork;
    }
    return typeNull;
}

bool AnswersToClass(const PlayerModel& model, const ObjectRef& object, DescType desiredClass) {
    if (desiredClass == typeWildCard) return true;
    const DescType own = ClassOf(model, object);
    if (own == desiredClass) return true;
    switch (object.kind) {
        case ObjectKind::playlist:
            // Folders are user playlists too.
            return desiredClass == cPlaylist || (own == cFolderPlaylist && desiredClass == cUserPlaylist);
        case ObjectKind::track:
            return desiredClass == cTrack;
        default:
            return false;
    }
}

AEDesc SpecifierFor(const PlayerModel& model, const ObjectRef& object) {
    switch (object.kind) {
        case ObjectKind::application:
            break;
        case ObjectKind::playlist:
            return specifier(ClassOf(model, object), formUniqueID, object.playlistID, AEDesc());
        case ObjectKind::track:
            return specifier(cFileTrack, formUniqueID, object.trackID,
                             SpecifierFor(model, ObjectRef::playlist(object.playlistID)));
        case ObjectKind::artwork:
            return specifier(cArtwork, formAbsolutePosition, object.artworkIndex,
                             SpecifierFor(model, ObjectRef::track(object.playlistID, object.trackID)));
    }
    return AEDesc();
}

}  // namespace player
