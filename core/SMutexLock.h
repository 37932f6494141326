// Scoped holders of the core library's mutexes. Lock results are not checked.
#pragma once

#include "core/TMutex.h"

// Locks a TMutex for its scope; UnLock releases it early, once.
class SMutexLock {
public:
    explicit SMutexLock(TMutex& mutex) : fMutex(mutex) {
        fMutex.Lock();
        fLocked = true;
    }
    ~SMutexLock() { UnLock(); }
    SMutexLock(const SMutexLock&) = delete;
    SMutexLock& operator=(const SMutexLock&) = delete;

    void UnLock() {
        if (fLocked) {
            fMutex.Unlock();
            fLocked = false;
        }
    }

private:
    TMutex& fMutex;
    bool fLocked{false};
};

// Tries to lock a TMutex; holds it for its scope only when that succeeded.
class SMutexTryLock {
public:
    explicit SMutexTryLock(TMutex& mutex) : fMutex(mutex), fLocked(mutex.TryLock() == 0) {}
    ~SMutexTryLock() { UnLock(); }
    SMutexTryLock(const SMutexTryLock&) = delete;
    SMutexTryLock& operator=(const SMutexTryLock&) = delete;

    bool IsLocked() const { return fLocked; }
    void UnLock() {
        if (fLocked) {
            fMutex.Unlock();
            fLocked = false;
        }
    }

private:
    TMutex& fMutex;
    bool fLocked;
};

// Locks a TRecursiveMutex for its scope; UnLock releases this hold early, once.
class SRecursiveMutexLock {
public:
    explicit SRecursiveMutexLock(TRecursiveMutex& mutex) : fMutex(mutex) {
        fMutex.Lock();
        fLocked = true;
    }
    ~SRecursiveMutexLock() { UnLock(); }
    SRecursiveMutexLock(const SRecursiveMutexLock&) = delete;
    SRecursiveMutexLock& operator=(const SRecursiveMutexLock&) = delete;

    void UnLock() {
        if (fLocked) {
            fMutex.Unlock();
            fLocked = false;
        }
    }

private:
    TRecursiveMutex& fMutex;
    bool fLocked{false};
};
