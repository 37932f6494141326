// The stand-in's answer to Apple events: each event is applied to the model and its result put
// into the reply.
//
// Events: 'core' getd, setd, cnte, delo; the player's commands 'hook' Play (nothing, a track,
// a playlist or a file alias), Paus, PlPs, Stop, Next, Prev, Back, Fast, Rwnd, Resu; search
// ('hook'/'Srch', '----' a playlist, pTrm the text, pAre an optional field) and add
// ('hook'/'Add ', '----' an alias or a list of them, insh an optional playlist), the library's
// genres ('hook'/'Gnrs': a list of texts, each once, in library order) and the info window
// ('hook'/'Info', '----' an optional track, else the current one). A failed event
// is answered with 'errn' and no direct parameter. Every event received goes into the log with
// its result. Runs on the thread that owns the model.
#pragma once

#include "platform/AppleEvents/AEEventLog.h"
#include "platform/AppleEvents/AEReceive.h"
#include "player/ObjectResolver.h"
#include "player/PropertyAccessor.h"

namespace player {

class PlayerModel;

class EventDispatcher {
public:
    explicit EventDispatcher(PlayerModel& model);
    EventDispatcher(const EventDispatcher&) = delete;
    EventDispatcher& operator=(const EventDispatcher&) = delete;

    OSStatus handle(const AppleEvent& event, AppleEvent& reply);
    // A handler for a transport; the dispatcher must outlive it.
    AEEventHandler handler();

    AEEventLog& log() { return fLog; }
    const ObjectResolver& resolver() const { return fResolver; }

private:
    using Method = OSStatus (EventDispatcher::*)(const AppleEvent&, AppleEvent&);
    struct Route {
        AEEventClass eventClass;
        AEEventID eventID;
        Method method;
    };
    static const Route kRoutes[];

    OSStatus getData(const AppleEvent& event, AppleEvent& reply);
    OSStatus setData(const AppleEvent& event, AppleEvent& reply);
    OSStatus countElements(const AppleEvent& event, AppleEvent& reply);
    OSStatus deleteObjects(const AppleEvent& event, AppleEvent& reply);
    OSStatus play(const AppleEvent& event, AppleEvent& reply);
    OSStatus command(const AppleEvent& event, AppleEvent& reply);
    OSStatus search(const AppleEvent& event, AppleEvent& reply);
    OSStatus add(const AppleEvent& event, AppleEvent& reply);
    OSStatus genreList(const AppleEvent& event, AppleEvent& reply);
    OSStatus showInfo(const AppleEvent& event, AppleEvent& reply);

    // The library track of a file, added to the library when it is new; fnfErr when neither.
    OSStatus trackForFile(const AEDesc& file, SInt32* trackID, bool* added);
    OSStatus playlistParameter(const AppleEvent& event, AEKeyword key, SInt32* playlistID) const;

    PlayerModel& fModel;
    PropertyAccessor fProperties;
    ObjectResolver fResolver;
    AEEventLog fLog;
};

}  // namespace player
