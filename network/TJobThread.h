// A thread that runs queued jobs one task at a time, in order. A task's failure never ends the
// loop: every code and every exception becomes HandleError and the loop goes on. No lock is held
// while a task runs.
//
// Scheduling, cancelling, StopAll, Pause, Resume and the queries may be called from any thread;
// the hooks (PreTask, HandleError, GoingIdle…) run on the worker. The flags both sides touch are
// atomic. Destroying the thread stops it cooperatively and joins it; jobs still queued then fail
// with 30001.
#pragma once

#include <atomic>

#include "core/TMutex.h"
#include "network/TCondition.h"
#include "network/TJobQueue.h"
#include "network/TThread.h"

class TJob;
class TTask;

class TJobThread : public TThread {
public:
    TJobThread();
    ~TJobThread() override;

    virtual void ScheduleJob(TJob* job);
    virtual void ScheduleJobFirst(TJob* job);
    // Ignores null. The job the worker is on (or is about to take) is stopped: the task in hand
    // is not run and the current operation is aborted; a job further back is removed and deleted.
    virtual void CancelJob(TJob* job);
    // Wraps the task in a new 'Sjob' job and queues it; null throws 'nilP'.
    virtual TJob* ScheduleTask(TTask* task);

    virtual void GoingIdle() {}
    virtual void DoProgress(int, int) {}
    virtual void DoSpeed(int) {}
    virtual void DoHideSpeed() {}
    virtual void DoDescription(const char*) {}
    virtual void DoNotification(bool) {}
    virtual void AbortCurrentOperation() {}
    virtual void DeleteProgress() {}
    // With `all`, the current job goes too; otherwise it stays queued.
    virtual void KillJobs(int error, bool all);
    virtual void SetCurrentJob(TJob* job);
    virtual TJob* GetCurrentJob() const { return fCurrentJob; }
    virtual void TaskGoingAway(TTask* task);
    virtual TTask* GetCurrentTask() const { return fCurrentTask; }
    virtual bool AbortNow() const { return fStopped || fPaused || fKillAll; }
    virtual bool GetStopped() const { return fStopped; }
    virtual void SetStopped(bool stopped) { fStopped = stopped; }
    virtual void SetStoppedCurrent(bool stopped) { fStoppedCurrent = stopped; }
    virtual void PreTask(TTask*) {}
    virtual void PostTask(TTask*) {}
    virtual void HandleSuccess();
    // Tells the task it failed and gives the error to its job as the job's result.
    virtual void HandleError(int error);

    bool IsBusy() const { return !fJobQueue.IsEmpty(); }
    bool IsActive() const { return IsBusy(); }
    bool IsPaused() const { return fPaused; }
    bool IsStopped() const { return GetStopped(); }
    bool StillBeingKilled() const { return fStopped && fKillAll; }
    bool KillAllPending() const { return fKillAll; }
    bool IsErrorWhilePaused() const { return fErrorWhilePaused; }

    void Pause();
    void Resume();
    // Asks the worker to drop everything: queued jobs fail with -128 (or go quietly while
    // paused). Changes nothing when idle. Only raises flags and aborts the current operation;
    // the worker finishes the stop on its own thread.
    void StopAll();
    // The worker's side of StopAll, at the top of a pass.
    void ReallyStopAll();

protected:
    void Run() override;
    void WakeForStop() override;
    TJobQueue& GetJobQueue() { return fJobQueue; }
    void SetErrorWhilePaused(bool error) { fErrorWhilePaused = error; }
    bool GetKillAll() const { return fKillAll; }

private:
    void WaitWhilePaused();
    void ClearStops();
    // The worker's side of a StopAll that came while paused.
    void StopAllWhilePaused();
    // Releases a task that was taken but not run.
    void DropTask(TTask* task);

    TMutex fMutex;
    TJobQueue fJobQueue;
    std::atomic<TTask*> fCurrentTask{nullptr};
    std::atomic<TJob*> fCurrentJob{nullptr};
    TCondition fPauseCondition;
    std::atomic<bool> fKillAll{false};
    std::atomic<bool> fStopped{false};
    std::atomic<bool> fStoppedCurrent{false};
    std::atomic<bool> fPaused{false};
    std::atomic<bool> fErrorWhilePaused{false};
};
