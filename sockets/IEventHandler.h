// Schedules timed events for their owners; the library has no implementation of its own.
#pragma once

class IEventOwner;

class IEventHandler {
public:
    virtual ~IEventHandler() = default;

    // Schedules an event for `owner` after the given time and answers its id.
    virtual long AddEvent(IEventOwner* owner, long sec, long usec) = 0;
    // Removes every event of `owner`.
    virtual void ClearEvents(IEventOwner* owner) = 0;
    // Removes one event of `owner`.
    virtual void RemoveEvent(IEventOwner* owner, long eid) = 0;
};
