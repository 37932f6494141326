// The socket library's mutex: one POSIX mutex with default attributes.
#pragma once

#include <pthread.h>

#include "sockets/IMutex.h"

// Not recursive: a thread must not lock it twice. May be used from any thread.
class Mutex : public IMutex {
public:
    Mutex();
    ~Mutex() override;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    int Lock() override;
    int Unlock() override;

private:
    pthread_mutex_t m_mutex;
};
