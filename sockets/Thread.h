// A thread base class: the thread starts at construction, waits until it is released, runs
// Run() once and ends. Destroying the object stops a thread that has not run yet and joins it.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

class Thread {
public:
    // With `release` false the thread waits for SetRelease(true), which a derived class calls
    // once it is fully built; released earlier, Run() could be reached before the derived
    // object exists.
    explicit Thread(bool release = false);
    // Stops a thread still waiting for release, then joins it; a thread deleting itself on exit
    // is detached instead. May not be called from Run() except through delete-on-exit.
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // The flags may be read and set from any thread.
    bool IsRunning() const { return m_running; }
    void SetRunning(bool running);
    bool IsReleased() const { return m_released; }
    void SetRelease(bool released);
    bool DeleteOnExit() const { return m_delete_on_exit; }
    void SetDeleteOnExit(bool deleteOnExit = true) { m_delete_on_exit = deleteOnExit; }
    bool IsDestructor() const { return m_destructor; }

    // Waits until the start routine has ended. A derived class whose Run() uses its own members
    // calls SetRunning(false) and Join() in its own destructor, before those members go.
    void Join();

protected:
    virtual void Run() = 0;

private:
    static void* StartThread(void* self);
    void WaitForRelease();

    pthread_t m_thread{};
    bool m_created{false};
    std::atomic<bool> m_joined{false};
    std::atomic<bool> m_running{true};
    std::atomic<bool> m_released{false};
    std::atomic<bool> m_delete_on_exit{false};
    std::atomic<bool> m_destructor{false};
    std::mutex m_wait_mutex;
    std::condition_variable m_wake;
};
