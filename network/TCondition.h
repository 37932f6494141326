// A POSIX mutex with its condition variable. The mutex is the lock of whatever the condition
// guards; Wait and TimedWait must be called with it held.
#pragma once

#include <pthread.h>

class TCondition {
public:
    TCondition();
    // Threads still waiting are woken before the condition goes.
    ~TCondition();
    TCondition(const TCondition&) = delete;
    TCondition& operator=(const TCondition&) = delete;

    void Lock() { pthread_mutex_lock(&fMutex); }
    void Unlock() { pthread_mutex_unlock(&fMutex); }
    void Wait() { pthread_cond_wait(&fCondition, &fMutex); }
    // Waits until now + `seconds` whole seconds; returns the POSIX result (ETIMEDOUT when it ran out).
    int TimedWait(int seconds);
    void Signal() { pthread_cond_signal(&fCondition); }
    void Broadcast() { pthread_cond_broadcast(&fCondition); }

private:
    pthread_mutex_t fMutex;
    pthread_cond_t fCondition;
};

// Holds a condition's mutex for its scope.
class SConditionLock {
public:
    explicit SConditionLock(TCondition& condition) : fCondition(condition) { fCondition.Lock(); }
    ~SConditionLock() { fCondition.Unlock(); }
    SConditionLock(const SConditionLock&) = delete;
    SConditionLock& operator=(const SConditionLock&) = delete;

private:
    TCondition& fCondition;
};
