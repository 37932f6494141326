// The blocking queue of jobs that feeds one worker. Every change of the queue happens under the
// mutex of its condition; the worker waits on that condition while the queue is empty. Hooks of
// jobs and of the thread are called with the lock released, so they may schedule more work.
//
// NextPut, AddAtFront, KillJobs, KillJobsQuietly, TakeOut, Close and the size queries may be
// called from any thread; PeekNextJob, GetNextTask and KillJob only from the worker, since they
// may touch the job the worker is on.
#pragma once

#include <atomic>

#include "network/TCondition.h"
#include "network/TQueue.h"

class TJob;
class TJobThread;
class TTask;

class TJobQueue : public TQueue {
public:
    // What TakeOut found for a job.
    enum class TakeOutResult { kCurrent, kRemoved, kNotQueued };

    explicit TJobQueue(TJobThread* owner);
    // Jobs still queued fail with 30001.
    ~TJobQueue() override;

    SInt32 GetSize() const override;
    bool IsEmpty() const override;
    void NextPut(TLink* job) override;
    bool Remove(TLink* job) override;
    // Moves a queued job to the front, or puts a new one there.
    void AddAtFront(TJob* job);
    // Waits while the queue is empty; the head, left queued; null once the queue is closed.
    TJob* PeekNextJob();
    // Blocks until a task is there; jobs without tasks left are completed and deleted on the way.
    // Null when the thread is paused or stopped after a failed take, or the queue was closed.
    TTask* GetNextTask(TJobThread* thread);
    // Every job but `kept` fails with the error and goes; `kept` is queued again afterwards.
    void KillJobs(int error, TJob* kept);
    void KillJobsQuietly();
    void KillJob(int error, TJob* job);
    // Unlinks a job the worker is not on. The head and the owner's current job count as the
    // worker's: it may hold either without the lock.
    TakeOutResult TakeOut(TJob* job);
    // Wakes the worker for good: PeekNextJob answers null from now on.
    void Close();

private:
    void DetachAll(TQueue& detached);

    TJobThread* fOwner;
    mutable TCondition fCondition;
    std::atomic<bool> fClosed{false};
};
