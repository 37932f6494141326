#include "network/NetworkManager.h"

#include "network/NetworkErrors.h"
#include "network/THTTPTask.h"
#include "network/THTTPThread.h"
#include "platform/Carbon/Delay.h"
#include "platform/Carbon/TickClock.h"

NetworkManager& NetworkManager::sharedNetworkManager() {
    static NetworkManager manager;
    return manager;
}

NetworkManager::NetworkManager() {
    TThread::SetMainThread();
}

NetworkManager::~NetworkManager() {
    destroyThreads();
}

void NetworkManager::scheduleHTTPTask(THTTPTask* task) {
    if (!task) return;
    std::unique_ptr<THTTPTask> owned(task);
    if (!fHTTPThread) {
        auto thread = std::make_unique<THTTPThread>();
        thread->Start();
        if (!thread->IsRunning()) {
            owned->WorkerUnavailable();
            return;
        }
        fHTTPThread = std::move(thread);
    }
    if (!fHTTPThread->ScheduleTask(owned.get())) throw kMissingObjectErr;
    owned.release();
}

void NetworkManager::safeDestroyThreads() {
    if (!fHTTPThread) return;
    try {
        fHTTPThread->StopAll();
        const UInt32 start = TickCount();
        while (fHTTPThread->IsBusy() && TickCount() - start < kStopWaitTicks) Delay(1, nullptr);
    } catch (...) {
        // Quitting: the worker is stopped and joined below whether or not it took the request.
    }
    destroyThreads();
}

void NetworkManager::destroyThreads() {
    try {
        fHTTPThread.reset();
    } catch (...) {
        // Quitting: nobody waits for an answer, and the worker's end must not stop the quit.
    }
}
