#include "network/TThread.h"

#include "core/SMutexLock.h"

TMutex TThread::sMutex;
SInt16 TThread::sThreadCount = 0;
std::atomic<pthread_t> TThread::sMainThread{TThread::NULLID};

TThread::~TThread() {
    Stop();
}

void TThread::Start() {
    SMutexLock state(fStateMutex);
    if (fJoinable) return;
    fStopRequested = false;
    fRunning = true;
    {
        // Counted before the thread can end and uncount itself.
        SMutexLock lock(sMutex);
        ++sThreadCount;
    }
    if (pthread_create(&fThread, nullptr, &TThread::GetOnWithIt, this) != 0) {
        fThread = NULLID;
        fRunning = false;
        SMutexLock lock(sMutex);
        --sThreadCount;
        return;
    }
    fJoinable = true;
}

void TThread::Stop() {
    pthread_t thread;
    {
        SMutexLock state(fStateMutex);
        if (!fJoinable) return;
        fStopRequested = true;
        if (SameThread(fThread, GetCurrentThreadID())) return;
        // Claimed here, so a second caller does not join as well.
        thread = fThread;
        fJoinable = false;
        fThread = NULLID;
    }
    WakeForStop();
    pthread_join(thread, nullptr);
}

pthread_t TThread::GetThreadID() {
    SMutexLock state(fStateMutex);
    return fThread;
}

void TThread::SetMainThread() {
    sMainThread = GetCurrentThreadID();
}

bool TThread::InMainThread() {
    return SameThread(sMainThread.load(), GetCurrentThreadID());
}

SInt16 TThread::GetThreadCount() {
    SMutexLock lock(sMutex);
    return sThreadCount;
}

void* TThread::GetOnWithIt(void* self) {
    auto* thread = static_cast<TThread*>(self);
    thread->Run();
    thread->fRunning = false;
    SMutexLock lock(sMutex);
    --sThreadCount;
    return nullptr;
}
