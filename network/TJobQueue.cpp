#include "network/TJobQueue.h"

#include "network/NetworkErrors.h"
#include "network/TJob.h"
#include "network/TJobThread.h"
#include "network/TTask.h"

TJobQueue::TJobQueue(TJobThread* owner) : fOwner(owner) {}

TJobQueue::~TJobQueue() {
    KillJobs(kJobStillQueuedErr, nullptr);
}

SInt32 TJobQueue::GetSize() const {
    SConditionLock lock(fCondition);
    return TQueue::GetSize();
}

bool TJobQueue::IsEmpty() const {
    SConditionLock lock(fCondition);
    return TQueue::IsEmpty();
}

void TJobQueue::NextPut(TLink* job) {
    if (!job) return;
    SConditionLock lock(fCondition);
    TQueue::NextPut(job);
    fCondition.Signal();
}

bool TJobQueue::Remove(TLink* job) {
    SConditionLock lock(fCondition);
    return TQueue::Remove(job);
}

void TJobQueue::AddAtFront(TJob* job) {
    if (!job) return;
    SConditionLock lock(fCondition);
    TQueue::Remove(job);
    job->SetNext(fHead);
    fHead = job;
    if (!fTail) fTail = job;
    ++fCount;
    fCondition.Signal();
}

TJob* TJobQueue::PeekNextJob() {
    SConditionLock lock(fCondition);
    while (TQueue::IsEmpty() && !fClosed) fCondition.Wait();
    if (fClosed) return nullptr;
    return static_cast<TJob*>(fHead);
}

TTask* TJobQueue::GetNextTask(TJobThread* thread) {
    for (;;) {
        TJob* job = nullptr;
        {
            SConditionLock lock(fCondition);
            while (TQueue::IsEmpty() && !fClosed) fCondition.Wait();
            if (fClosed) return nullptr;
            job = static_cast<TJob*>(fHead);
            // Made current under the lock, so a cancel from another thread sees the job as taken.
            if (thread) {
                job->SetThread(thread);
                thread->SetCurrentJob(job);
                if (thread->GetStopped()) thread->SetStoppedCurrent(true);
            }
        }
        try {
            if (TTask* task = job->GetNextTask()) return task;
        } catch (int error) {
            job->TaskFailed(nullptr, error);
            if (thread && (thread->IsPaused() || thread->GetStopped())) return nullptr;
        }
        bool found = false;
        bool nowEmpty = false;
        {
            SConditionLock lock(fCondition);
            found = TQueue::Remove(job);
            nowEmpty = TQueue::IsEmpty();
        }
        if (!found) continue;
        if (thread) thread->SetCurrentJob(nullptr);
        job->HandleCompletion();
        delete job;
        if (nowEmpty && thread) {
            thread->DeleteProgress();
            thread->GoingIdle();
            thread->Resume();
            // A stop that came as the last job went is finished before the wait, not on the
            // next job to arrive.
            if (thread->KillAllPending()) return nullptr;
        }
    }
}

void TJobQueue::DetachAll(TQueue& detached) {
    SConditionLock lock(fCondition);
    while (TLink* job = TQueue::NextGet()) detached.NextPut(job);
}

void TJobQueue::KillJobs(int error, TJob* kept) {
    TQueue detached;
    DetachAll(detached);
    bool keptWasQueued = false;
    while (TLink* link = detached.NextGet()) {
        auto* job = static_cast<TJob*>(link);
        if (job == kept) {
            keptWasQueued = true;
            continue;
        }
        job->JobFailed(error);
        delete job;
    }
    if (keptWasQueued) NextPut(kept);
}

void TJobQueue::KillJobsQuietly() {
    TQueue detached;
    DetachAll(detached);
    while (TLink* job = detached.NextGet()) delete job;
}

void TJobQueue::KillJob(int error, TJob* job) {
    if (!job || !Remove(job)) return;
    job->JobFailed(error);
    delete job;
}

TJobQueue::TakeOutResult TJobQueue::TakeOut(TJob* job) {
    SConditionLock lock(fCondition);
    if (job == fHead || (fOwner && job == fOwner->GetCurrentJob())) return TakeOutResult::kCurrent;
    return TQueue::Remove(job) ? TakeOutResult::kRemoved : TakeOutResult::kNotQueued;
}

void TJobQueue::Close() {
    SConditionLock lock(fCondition);
    fClosed = true;
    fCondition.Broadcast();
}
