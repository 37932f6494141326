// Holds an IMutex for a scope.
#pragma once

#include "sockets/IMutex.h"

class Lock {
public:
    explicit Lock(IMutex& mutex) : m_mutex(mutex) { m_mutex.Lock(); }
    ~Lock() { m_mutex.Unlock(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    IMutex& m_mutex;
};
