// Thin wrappers over POSIX thread mutexes, the only locking primitives of the core library.
//
// Class-wide mutexes are constructed at program load and destroyed at exit. Every call may be
// made from any thread.
#pragma once

#include <pthread.h>

// A non-recursive mutex: a thread must not lock it twice.
class TMutex {
public:
    TMutex();
    // Destroying a mutex still held by the destroying thread unlocks it first.
    ~TMutex();
    TMutex(const TMutex&) = delete;
    TMutex& operator=(const TMutex&) = delete;

    // Each returns the POSIX result: 0 on success; TryLock gives EBUSY when another thread holds it.
    int Lock();
    int Unlock();
    int TryLock();

private:
    pthread_mutex_t fMutex;
};

// A recursive mutex: its owner may lock it again and must unlock it as often.
class TRecursiveMutex {
public:
    TRecursiveMutex();
    ~TRecursiveMutex();
    TRecursiveMutex(const TRecursiveMutex&) = delete;
    TRecursiveMutex& operator=(const TRecursiveMutex&) = delete;

    int Lock();
    int Unlock();
    int TryLock();

private:
    pthread_mutex_t fMutex;
};
