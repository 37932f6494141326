#include "sockets/Thread.h"

#include <cerrno>
#include <cstdio>

Thread::Thread(bool release) {
    const int result = pthread_create(&m_thread, nullptr, StartThread, this);
    if (result != 0) {
        errno = result;
        perror("Thread: create failed");
        m_running = false;
    } else {
        m_created = true;
    }
    SetRelease(release);
}

Thread::~Thread() {
    m_destructor = true;
    if (m_running) {
        m_released = true;
        SetRunning(false);
    }
    if (m_created && !m_joined.exchange(true)) {
        if (pthread_equal(pthread_self(), m_thread)) {
            // Deleted from its own start routine on exit: nobody is left to join it.
            pthread_detach(m_thread);
        } else {
            pthread_join(m_thread, nullptr);
        }
    }
}

void Thread::SetRunning(bool running) {
    // Notified under the lock: a thread that deletes itself on exit cannot be gone before this
    // call has finished with the object.
    std::lock_guard<std::mutex> guard(m_wait_mutex);
    m_running = running;
    m_wake.notify_all();
}

void Thread::SetRelease(bool released) {
    std::lock_guard<std::mutex> guard(m_wait_mutex);
    m_released = released;
    m_wake.notify_all();
}

void Thread::Join() {
    if (m_created && !pthread_equal(pthread_self(), m_thread) && !m_joined.exchange(true)) {
        pthread_join(m_thread, nullptr);
    }
}

void Thread::WaitForRelease() {
    std::unique_lock<std::mutex> guard(m_wait_mutex);
    m_wake.wait(guard, [this] { return !m_running || m_released; });
}

void* Thread::StartThread(void* self) {
    auto* thread = static_cast<Thread*>(self);
    thread->WaitForRelease();
    if (thread->m_running) thread->Run();
    thread->m_running = false;
    if (thread->m_delete_on_exit && !thread->m_destructor) delete thread;
    return nullptr;
}
