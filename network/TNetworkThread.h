// The job thread of the network side, bound to one connection: it lends the connection to each
// task, drops it when a stop or a kill error ends the work, and decides which failures are
// reported. A network thread that goes idle announces it on the main thread.
//
// The class-wide notify flags and the busy flag are written by the worker and by the threads
// that schedule, so they are atomic.
#pragma once

#include <atomic>

#include "network/TJobThread.h"

class TConnection;

class TNetworkThread : public TJobThread {
public:
    explicit TNetworkThread(TConnection* connection);
    // Joins the worker while the overrides it calls still exist.
    ~TNetworkThread() override { Stop(); }

    void ScheduleJob(TJob* job) override;
    void ScheduleJobFirst(TJob* job) override;
    TJob* ScheduleTask(TTask* task) override;
    void GoingIdle() override;
    void AbortCurrentOperation() override;
    void DeleteProgress() override {}
    void KillJobs(int error, bool all) override;
    void PreTask(TTask* task) override;
    void PostTask(TTask*) override {}
    void HandleError(int error) override;

    virtual void Disconnect() {}
    virtual void InitQueued() {}

    void HandleErrorNotification(int error);
    bool OKToDelete() const { return !IsBusy() && !fHandlingError; }
    TConnection* GetConnection() const { return fConnection; }

    static std::atomic<bool> sNotifyIfError;
    static std::atomic<bool> sNotifyWhenDone;

protected:
    void SetConnection(TConnection* connection) { fConnection = connection; }
    void DropConnectionQuietly();

private:
    // Reports the failure once, unless it was the user's own stop or close.
    void NotifyOnce(int error);

    std::atomic<TConnection*> fConnection;
    std::atomic<bool> fHandlingError{false};
};
