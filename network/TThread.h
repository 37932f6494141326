// A thin owner of one POSIX thread that runs Run() once. Stopping is cooperative: Stop() raises
// the stop request, lets the subclass wake its thread (WakeForStop) and joins it, so a thread is
// never cancelled while it holds a lock or waits on a condition.
#pragma once

#include <pthread.h>

#include <atomic>

#include "core/TMutex.h"
#include "platform/Carbon/MacTypes.h"

class TThread {
public:
    TThread() = default;
    // A subclass whose Run() uses its own members calls Stop() in its own destructor.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts the thread; a failed creation leaves the running flag clear and reports nothing.
    void Start();
    // May be called from any thread. From another thread it waits until Run() has returned; on
    // the thread itself it only raises the request, which Run() must notice.
    void Stop();

    bool IsRunning() const { return fRunning; }
    bool StopRequested() const { return fStopRequested; }
    pthread_t GetThreadID();

    static pthread_t GetCurrentThreadID() { return pthread_self(); }
    static bool SameThread(pthread_t a, pthread_t b) { return pthread_equal(a, b) != 0; }
    static constexpr pthread_t NULLID = 0;
    // Called once on the main thread.
    static void SetMainThread();
    static bool InMainThread();
    static SInt16 GetThreadCount();

protected:
    virtual void Run() = 0;
    // Wakes Run() out of whatever it waits on once StopRequested() is true.
    virtual void WakeForStop() {}

private:
    static void* GetOnWithIt(void* self);

    // Guards the handle, so Start and a Stop from the new thread itself do not race.
    TMutex fStateMutex;
    pthread_t fThread{NULLID};
    bool fJoinable{false};
    std::atomic<bool> fRunning{false};
    std::atomic<bool> fStopRequested{false};

    static TMutex sMutex;
    static SInt16 sThreadCount;
    static std::atomic<pthread_t> sMainThread;
};
