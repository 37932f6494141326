#include "network/TCondition.h"

#include <cerrno>
#include <ctime>

TCondition::TCondition() {
    pthread_mutex_init(&fMutex, nullptr);
    pthread_cond_init(&fCondition, nullptr);
}

TCondition::~TCondition() {
    if (pthread_cond_destroy(&fCondition) == EBUSY) {
        Lock();
        Broadcast();
        pthread_cond_destroy(&fCondition);
        Unlock();
    }
    pthread_mutex_destroy(&fMutex);
}

int TCondition::TimedWait(int seconds) {
    timespec until{};
    until.tv_sec = std::time(nullptr) + seconds;
    return pthread_cond_timedwait(&fCondition, &fMutex, &until);
}
