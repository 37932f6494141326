#include "core/TMutex.h"

#include <cerrno>

namespace {

void DestroyMutex(pthread_mutex_t& mutex) {
    if (pthread_mutex_destroy(&mutex) == EBUSY) {
        pthread_mutex_unlock(&mutex);
        pthread_mutex_destroy(&mutex);
    }
}

}  // namespace

TMutex::TMutex() {
    pthread_mutex_init(&fMutex, nullptr);
}

TMutex::~TMutex() {
    DestroyMutex(fMutex);
}

int TMutex::Lock() {
    return pthread_mutex_lock(&fMutex);
}

int TMutex::Unlock() {
    return pthread_mutex_unlock(&fMutex);
}

int TMutex::TryLock() {
    return pthread_mutex_trylock(&fMutex);
}

TRecursiveMutex::TRecursiveMutex() {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&fMutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

TRecursiveMutex::~TRecursiveMutex() {
    DestroyMutex(fMutex);
}

int TRecursiveMutex::Lock() {
    return pthread_mutex_lock(&fMutex);
}

int TRecursiveMutex::Unlock() {
    return pthread_mutex_unlock(&fMutex);
}

int TRecursiveMutex::TryLock() {
    return pthread_mutex_trylock(&fMutex);
}
