// A reference to one object of the stand-in: the application, a playlist, a track reached
// through a playlist, or an artwork of such a track; and the specifier the player hands out
// for it.
//
// The specifiers use the player's own id form: a playlist is
//   obj { want:type(cUPl), form:'ID  ', seld:long(id), from:'null'() }
// a track is obj { want:type(cFlT), form:'ID  ', seld:long(track id), from:<its playlist> },
// an artwork obj { want:type(cArt), form:indx, seld:long(n), from:<its track> }.
#pragma once

#include "platform/AppleEvents/AEDescriptor.h"

namespace player {

class PlayerModel;

enum class ObjectKind : UInt8 { application, playlist, track, artwork };

struct ObjectRef {
    ObjectKind kind{ObjectKind::application};
    SInt32 playlistID{0};    // the playlist, or the one the track is reached through
    SInt32 trackID{0};       // tracks and artwork
    SInt32 artworkIndex{0};  // 1-based

    static ObjectRef application() { return {}; }
    static ObjectRef playlist(SInt32 playlistID) { return {ObjectKind::playlist, playlistID, 0, 0}; }
    static ObjectRef track(SInt32 playlistID, SInt32 trackID) {
        return {ObjectKind::track, playlistID, trackID, 0};
    }
    static ObjectRef artwork(SInt32 playlistID, SInt32 trackID, SInt32 index) {
        return {ObjectKind::artwork, playlistID, trackID, index};
    }

    bool operator==(const ObjectRef&) const = default;
};

// The most specific scripting class of the object ('capp', 'cLiP', 'cUPl', 'cFoP', 'cFlT',
// 'cArt'), and whether it answers to a class a specifier asks for ('cPly' for every playlist,
// 'cTrk' for every track).
DescType ClassOf(const PlayerModel& model, const ObjectRef& object);
bool AnswersToClass(const PlayerModel& model, const ObjectRef& object, DescType desiredClass);

AEDesc SpecifierFor(const PlayerModel& model, const ObjectRef& object);

}  // namespace player
