#include "sockets/Semaphore.h"

Semaphore::Semaphore() : Semaphore(0) {}

Semaphore::Semaphore(unsigned int value) {
    sem_init(&m_sem, 0, value);
}

Semaphore::~Semaphore() {
    sem_destroy(&m_sem);
}

int Semaphore::Post() {
    return sem_post(&m_sem);
}

int Semaphore::Wait() {
    return sem_wait(&m_sem);
}

int Semaphore::TryWait() {
    return sem_trywait(&m_sem);
}

int Semaphore::GetValue(int& value) {
    return sem_getvalue(&m_sem, &value);
}
