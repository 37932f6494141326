#include "network/TJobThread.h"

#include "core/SMutexLock.h"
#include "network/NetworkErrors.h"
#include "network/TJob.h"
#include "network/TTask.h"

TJobThread::TJobThread() : fJobQueue(this) {}

TJobThread::~TJobThread() {
    // Joined before the members the loop uses go.
    Stop();
}

void TJobThread::WakeForStop() {
    AbortCurrentOperation();
    fJobQueue.Close();
    SConditionLock lock(fPauseCondition);
    fPauseCondition.Broadcast();
}

void TJobThread::ScheduleJob(TJob* job) {
    fJobQueue.NextPut(job);
}

void TJobThread::ScheduleJobFirst(TJob* job) {
    fJobQueue.AddAtFront(job);
}

TJob* TJobThread::ScheduleTask(TTask* task) {
    if (!task) throw kMissingObjectErr;
    auto* job = new TJob(kOwningJobID, task);
    ScheduleJob(job);
    return job;
}

void TJobThread::CancelJob(TJob* job) {
    if (!job) return;
    switch (fJobQueue.TakeOut(job)) {
        case TJobQueue::TakeOutResult::kCurrent:
            SetStopped(true);
            AbortCurrentOperation();
            break;
        case TJobQueue::TakeOutResult::kRemoved:
            delete job;
            break;
        case TJobQueue::TakeOutResult::kNotQueued:
            break;
    }
}

void TJobThread::KillJobs(int error, bool all) {
    if (all) {
        if (TTask* task = fCurrentTask) task->CancelProgress();
        if (TJob* job = fCurrentJob) job->CancelProgress();
        fJobQueue.KillJobs(error, nullptr);
        SetCurrentJob(nullptr);
        fCurrentTask = nullptr;
    } else {
        fJobQueue.KillJobs(error, fCurrentJob);
    }
    DeleteProgress();
}

void TJobThread::SetCurrentJob(TJob* job) {
    if (job) {
        fCurrentJob = job;
        return;
    }
    SMutexLock lock(fMutex);
    fCurrentJob = nullptr;
}

void TJobThread::TaskGoingAway(TTask* task) {
    TTask* expected = task;
    fCurrentTask.compare_exchange_strong(expected, nullptr);
}

void TJobThread::HandleSuccess() {
    TTask* task = fCurrentTask;
    if (task) task->TaskFinished(true);
    if (TJob* job = fCurrentJob) job->TaskSucceeded(task);
}

void TJobThread::HandleError(int error) {
    TTask* task = fCurrentTask;
    if (task) task->TaskFinished(false);
    if (TJob* job = fCurrentJob) job->TaskFailed(task, error);
}

void TJobThread::Pause() {
    if (fPaused) return;
    SConditionLock lock(fPauseCondition);
    fPaused = true;
    AbortCurrentOperation();
}

void TJobThread::Resume() {
    if (!fPaused) return;
    SConditionLock lock(fPauseCondition);
    fPaused = false;
    fErrorWhilePaused = false;
    fPauseCondition.Signal();
}

void TJobThread::StopAll() {
    // Set in the order the worker clears them in reverse, so that a stop finishing meanwhile
    // never leaves a stopped flag without its kill-all.
    fStopped = true;
    fKillAll = true;
    if (fJobQueue.IsEmpty() && !fCurrentJob) {
        fKillAll = false;
        fStopped = false;
        return;
    }
    // The current task and job are the worker's to tell and to delete: it finishes the stop at
    // the top of its next pass, also when paused.
    AbortCurrentOperation();
    SConditionLock lock(fPauseCondition);
    fPauseCondition.Broadcast();
}

void TJobThread::StopAllWhilePaused() {
    SetCurrentJob(nullptr);
    fCurrentTask = nullptr;
    fJobQueue.KillJobsQuietly();
    fKillAll = false;
    fStopped = false;
    Resume();
}

void TJobThread::ReallyStopAll() {
    if (TTask* task = fCurrentTask) task->CancelProgress();
    if (TJob* job = fCurrentJob) job->CancelProgress();
    DeleteProgress();
    KillJobs(kUserCanceledErr, true);
    Resume();
    fKillAll = false;
    fStopped = false;
}

void TJobThread::WaitWhilePaused() {
    SConditionLock lock(fPauseCondition);
    while (fPaused && !fKillAll && !StopRequested()) fPauseCondition.Wait();
}

void TJobThread::ClearStops() {
    fStopped = false;
    fStoppedCurrent = false;
}

void TJobThread::DropTask(TTask* task) {
    TJob* job = task->GetJob();
    if (job && job == fCurrentJob && job->GetCurrentTask() == task) {
        job->KillCurrentTask();
        return;
    }
    TaskGoingAway(task);
    delete task;
}

void TJobThread::Run() {
    // A task taken while kill-all was set: the top of the next pass tells it, then it goes.
    TTask* killed = nullptr;
    while (!StopRequested()) {
        if (fKillAll) {
            if (TTask* task = fCurrentTask) task->TaskFinished(false);
            if (fPaused)
                StopAllWhilePaused();
            else
                ReallyStopAll();
        }
        if (killed) {
            TaskGoingAway(killed);
            delete killed;
            killed = nullptr;
        }
        WaitWhilePaused();
        if (StopRequested()) break;
        if (fKillAll) continue;

        TTask* task = fJobQueue.GetNextTask(this);
        fCurrentTask = task;
        if (!task) {
            ClearStops();
            continue;
        }
        TJob* job = task->GetJob();
        if (fStopped || fStoppedCurrent || fKillAll) {
            if (fKillAll) {
                if (job) job->JobFailed(kUserCanceledErr);
                killed = task;
            } else {
                DropTask(task);
            }
            ClearStops();
            continue;
        }
        if (!job) {
            ClearStops();
            DropTask(task);
            continue;
        }
        WaitWhilePaused();
        if (fKillAll) {
            killed = task;
            continue;
        }
        if (fStopped || StopRequested()) {
            DropTask(task);
            ClearStops();
            continue;
        }

        int error = 0;
        bool failed = false;
        try {
            PreTask(task);
            error = task->PerformTask();
            failed = error != 0;
            if (!failed) {
                PostTask(task);
                HandleSuccess();
            }
        } catch (int code) {
            error = code;
            failed = true;
        } catch (...) {
            error = kTaskExceptionErr;
            failed = true;
        }
        if (failed) {
            try {
                HandleError(error);
            } catch (...) {
                // The worker must outlive a failing report; the task is dropped just below.
            }
        }
        // A failure the handler left alone still leaves nothing behind.
        if (fCurrentTask == task) DropTask(task);
        fCurrentTask = nullptr;
        SetCurrentJob(nullptr);
    }
    if (killed) delete killed;
}
