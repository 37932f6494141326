// A counting semaphore on one unnamed POSIX semaphore, private to the process.
#pragma once

#include <semaphore.h>

// Every call may be made from any thread and returns the POSIX result (0 on success).
class Semaphore {
public:
    Semaphore();
    explicit Semaphore(unsigned int value);
    ~Semaphore();
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    int Post();
    int Wait();
    int TryWait();
    int GetValue(int& value);

private:
    sem_t m_sem;
};
