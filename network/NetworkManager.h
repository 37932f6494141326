// The one network worker of the application: made and started with the first HTTP task, which
// it then queues; stopped and joined at quit. Main thread only.
#pragma once

#include <memory>

class THTTPTask;
class THTTPThread;

class NetworkManager {
public:
    static constexpr unsigned long kStopWaitTicks = 120;

    static NetworkManager& sharedNetworkManager();
    ~NetworkManager();
    NetworkManager(const NetworkManager&) = delete;
    NetworkManager& operator=(const NetworkManager&) = delete;

    // Takes the task. Null does nothing. A worker that cannot be started leaves nothing
    // queued: the task answers at once (WorkerUnavailable) and goes. Other failures throw.
    void scheduleHTTPTask(THTTPTask* task);
    // Stops the work, waits up to 2 seconds for the queue to empty, then joins the worker.
    void safeDestroyThreads();
    void destroyThreads();
    THTTPThread* httpThread() const { return fHTTPThread.get(); }

private:
    NetworkManager();

    std::unique_ptr<THTTPThread> fHTTPThread;
};
