// Something that receives timed events from an IEventHandler; its events go with it.
#pragma once

class IEventHandler;

class IEventOwner {
public:
    explicit IEventOwner(IEventHandler& handler);
    // Clears this owner's events at the handler unless the handler is gone.
    virtual ~IEventOwner();
    IEventOwner(const IEventOwner&) = delete;
    IEventOwner& operator=(const IEventOwner&) = delete;

    IEventHandler& GetEventHandler() { return m_event_handler; }
    long AddEvent(long sec, long usec);
    void ClearEvents();
    void RemoveEvent(long eid);

    // Called by the handler when the event with id `eid` is due.
    virtual void OnEvent(int eid) = 0;

private:
    IEventHandler& m_event_handler;
    bool m_handler_released{false};
};
