#include "sockets/IEventOwner.h"

#include "sockets/IEventHandler.h"

IEventOwner::IEventOwner(IEventHandler& handler) : m_event_handler(handler) {}

IEventOwner::~IEventOwner() {
    if (!m_handler_released) m_event_handler.ClearEvents(this);
}

long IEventOwner::AddEvent(long sec, long usec) {
    return m_event_handler.AddEvent(this, sec, usec);
}

void IEventOwner::ClearEvents() {
    m_event_handler.ClearEvents(this);
}

void IEventOwner::RemoveEvent(long eid) {
    m_event_handler.RemoveEvent(this, eid);
}
