// Reading and writing the properties of the stand-in's objects, in the descriptor types the
// player replies with and accepts.
//
// Replies: texts as 'utxt', integers and truth values as 'long', special kinds and the play
// state as 'enum', dates as 'ldt ' (missing value, type('msng'), when a track has none), a
// track's file as 'fsrf', the version as a 'vers' record, a persistent ID as 'comp' or as 16
// hexadecimal digits of 'utxt' as the version profile says, objects as their specifiers.
// A property the object does not have at the profile's version is errAENoSuchObject.
#pragma once

#include <vector>

#include "platform/AppleEvents/AEDescriptor.h"
#include "player/ObjectRef.h"

namespace player {

class PlayerModel;

class PropertyAccessor {
public:
    explicit PropertyAccessor(PlayerModel& model) : fModel(model) {}
    PropertyAccessor(const PropertyAccessor&) = delete;
    PropertyAccessor& operator=(const PropertyAccessor&) = delete;

    OSStatus get(const ObjectRef& object, DescType property, AEDesc* value) const;
    // The objects a property refers to: the current track and playlist, a playlist's parent,
    // the selection (a list). errAENoSuchObject when the property names no object.
    OSStatus referencedObjects(const ObjectRef& object, DescType property, std::vector<ObjectRef>* objects,
                               bool* isList) const;
    // errAENotModifiable for a property scripts cannot set, errAEWrongDataType for a value of
    // the wrong type, errAEWriteDenied for one out of range. *libraryChanged tells whether the
    // library (rather than the player's state) was changed.
    OSStatus set(const ObjectRef& object, DescType property, const AEDesc& value, bool* libraryChanged);

private:
    OSStatus getApplication(DescType property, AEDesc* value) const;
    OSStatus getPlaylist(const ObjectRef& object, DescType property, AEDesc* value) const;
    OSStatus getTrack(const ObjectRef& object, DescType property, AEDesc* value) const;
    OSStatus getArtwork(const ObjectRef& object, DescType property, AEDesc* value) const;
    OSStatus getPersistentID(UInt64 persistentID, DescType property, AEDesc* value) const;
    OSStatus setApplication(DescType property, const AEDesc& value);
    OSStatus setTrack(const ObjectRef& object, DescType property, const AEDesc& value);

    PlayerModel& fModel;
};

}  // namespace player
